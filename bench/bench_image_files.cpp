// Reading and writing a full 64 KiB image in each format (target: under 3 ms each), and
// parsing a 16 MB S28 file (target: above 150 MB/s). The 16 MB file is left in the temporary
// folder as jqz_bench_16mb.s28 so that bench/srec_cat_compare.sh can time srec_cat on it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "core/platform/atomic_file.h"
#include "core/messages/log_model.h"
#include "core/files/image_files.h"
#include "core/files/records.h"
#include "core/image/hex_edit_model.h"

namespace {

using namespace jqz;

class NullLog : public LogSink {
public:
    void AddLogLine(const std::string&, int) override { ++lines; }
    long long lines = 0;
};

// A full image of random bytes with a described cell or two.
HexEditModel& sourceImage() {
    static HexEditModel model;
    static bool filled = false;
    if (!filled) {
        std::mt19937 random(5);
        model.image.BeginBulk();
        for (int a = 0; a <= 0xFFFF; ++a) model.image.WriteData(a, static_cast<std::uint8_t>(random()));
        model.image.EndBulk();
        model.description.setProjectName("benchmark");
        model.description.putRow(0, {0xB600, 3, true, "CONFIG"});
        filled = true;
    }
    return model;
}

enum Format { Extended, S1, S2, Binary };

std::string fileText(Format f) {
    HexEditModel& m = sourceImage();
    std::string out;
    std::string error;
    switch (f) {
        case Extended: formatExtendedText(m.image, m.description, {}, out, error); break;
        case S1: formatMotorolaText(m.image, m.description, MotorolaVariant::S1, {}, out); break;
        case S2: formatMotorolaText(m.image, m.description, MotorolaVariant::S2, {}, out); break;
        case Binary: formatBinaryBytes(m.image, 0, 0xFFFF, out); break;
    }
    return out;
}

void readInto(Format f, const std::string& text, HexEditModel& m, NullLog& log) {
    m.description.clear();
    m.image.BeginBulk();
    switch (f) {
        case Extended: readExtendedText(text, {}, m.image, m.description, log); break;
        case S1:
        case S2: readMotorolaText(text, {}, m.image, m.description, log); break;
        case Binary: readBinaryBytes(text, 0, {}, m.image); break;
    }
    m.image.EndBulk();
}

void BM_ReadFullImage(benchmark::State& state) {
    const auto f = static_cast<Format>(state.range(0));
    const std::string text = fileText(f);
    HexEditModel model;
    NullLog log;
    for (auto _ : state) readInto(f, text, model, log);
    if (log.lines != 0 || model.image.ReadData(0x1234) != sourceImage().image.ReadData(0x1234))
        state.SkipWithError("the image did not read back");
    state.SetBytesProcessed(static_cast<long long>(state.iterations() * text.size()));
}

void BM_WriteFullImage(benchmark::State& state) {
    const auto f = static_cast<Format>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(fileText(f));
}

// The same through the file system: a whole-file write with fsync and rename, and a read.
void BM_WriteFullImageFile(benchmark::State& state) {
    const auto f = static_cast<Format>(state.range(0));
    const std::string path =
        (std::filesystem::temp_directory_path() / ("jqz_bench_image_" + std::to_string(f))).string();
    HexEditModel& m = sourceImage();
    for (auto _ : state) {
        std::string error;
        switch (f) {
            case Extended: error = writeExtendedFile(path, m.image, m.description, {}); break;
            case S1: error = writeMotorolaFile(path, m.image, m.description, MotorolaVariant::S1, {}); break;
            case S2: error = writeMotorolaFile(path, m.image, m.description, MotorolaVariant::S2, {}); break;
            case Binary: error = writeBinaryFile(path, m.image, 0, 0xFFFF); break;
        }
        if (!error.empty()) state.SkipWithError(error.c_str());
    }
    std::filesystem::remove(path);
}

void BM_ReadFullImageFile(benchmark::State& state) {
    const auto f = static_cast<Format>(state.range(0));
    const std::string path =
        (std::filesystem::temp_directory_path() / ("jqz_bench_read_" + std::to_string(f))).string();
    (void)WriteFileAtomically(path, fileText(f));
    HexEditModel model;
    NullLog log;
    for (auto _ : state) {
        model.description.clear();
        model.image.BeginBulk();
        std::string error;
        switch (f) {
            case Extended: error = readExtendedFile(path, {}, model.image, model.description, log); break;
            case S1:
            case S2: error = readMotorolaFile(path, {}, model.image, model.description, log); break;
            case Binary: error = readBinaryFile(path, {}, model.image); break;
        }
        model.image.EndBulk();
        if (!error.empty()) state.SkipWithError(error.c_str());
    }
    std::filesystem::remove(path);
}

#define EACH_FORMAT ArgName("format")->Arg(Extended)->Arg(S1)->Arg(S2)->Arg(Binary)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_ReadFullImage)->EACH_FORMAT;
BENCHMARK(BM_WriteFullImage)->EACH_FORMAT;
BENCHMARK(BM_ReadFullImageFile)->EACH_FORMAT;
BENCHMARK(BM_WriteFullImageFile)->EACH_FORMAT;

// 16 MiB of S2 records of 32 bytes from address 0, as srec_cat writes them (-obs=32).
const std::string& bigS28() {
    static const std::string text = [] {
        std::string out;
        out.reserve(16u << 20);
        std::mt19937 random(9);
        std::uint8_t chunk[32];
        std::uint32_t address = 0;
        AppendMotorolaRecord(out, '0', 2, 0, {reinterpret_cast<const std::uint8_t*>("HDR"), 3});
        while (out.size() + 78 + 14 <= (16u << 20)) {
            for (auto& b : chunk) b = static_cast<std::uint8_t>(random());
            AppendMotorolaRecord(out, '2', 3, address, chunk);
            address += 32;
        }
        AppendMotorolaRecord(out, '8', 3, 0, {});
        return out;
    }();
    return text;
}

void BM_ParseS28_16MB(benchmark::State& state) {
    const std::string& text = bigS28();
    HexEditModel model;
    NullLog log;
    for (auto _ : state) readInto(S2, text, model, log);
    if (log.lines != 0) state.SkipWithError("records were rejected");
    state.SetBytesProcessed(static_cast<long long>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseS28_16MB)->Unit(benchmark::kMillisecond);

void BM_ReadS28File_16MB(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() / "jqz_bench_16mb.s28").string();
    (void)WriteFileAtomically(path, bigS28());
    HexEditModel model;
    NullLog log;
    for (auto _ : state) {
        model.image.BeginBulk();
        const std::string error = readMotorolaFile(path, {}, model.image, model.description, log);
        model.image.EndBulk();
        if (!error.empty()) state.SkipWithError(error.c_str());
    }
    state.SetBytesProcessed(static_cast<long long>(state.iterations() * bigS28().size()));
}
BENCHMARK(BM_ReadS28File_16MB)->Unit(benchmark::kMillisecond);

}  // namespace
