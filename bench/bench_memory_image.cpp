// The image's whole-image operations must stay well under a millisecond.
#include <benchmark/benchmark.h>

#include "core/image/hex_edit_model.h"

namespace {

void BM_EndBulk(benchmark::State& state) {
    jqz::HexEditModel model;
    for (auto _ : state) {
        model.image.BeginBulk();
        model.image.EndBulk();
    }
}
BENCHMARK(BM_EndBulk)->Unit(benchmark::kMicrosecond);

void BM_EndBulkWithDescription(benchmark::State& state) {
    jqz::HexEditModel model;
    for (int i = 0; i < 64; ++i) model.description.putRow(i, {i * 17, 3, i % 2 == 0, "cell"});
    for (auto _ : state) {
        model.image.BeginBulk();
        model.image.EndBulk();
    }
}
BENCHMARK(BM_EndBulkWithDescription)->Unit(benchmark::kMicrosecond);

void BM_ApplyAppearance(benchmark::State& state) {
    jqz::HexEditModel model;
    jqz::EditorAppearance a = model.image.GetAppearance();
    for (auto _ : state) {
        a.WorkColor = a.WorkColor == jqz::ColorIndexToColor(48) ? jqz::ColorIndexToColor(12)
                                                                : jqz::ColorIndexToColor(48);
        model.image.ApplyAppearance(a);
    }
}
BENCHMARK(BM_ApplyAppearance)->Unit(benchmark::kMicrosecond);

void BM_WriteDataSweep(benchmark::State& state) {
    jqz::HexEditModel model;
    std::uint8_t v = 0;
    for (auto _ : state) {
        for (int a = 0; a <= jqz::MemoryImage::LastAddress(); ++a) model.image.WriteData(a, v);
        ++v;
        benchmark::DoNotOptimize(model.image.ReadData(0x1234));
    }
}
BENCHMARK(BM_WriteDataSweep)->Unit(benchmark::kMicrosecond);

}  // namespace
