// The editor's whole-image commands: each must stay well under 5 ms.
#include <benchmark/benchmark.h>

#include "core/image/clipboard.h"
#include "core/image/clipboard_text.h"
#include "core/image/copy_as.h"
#include "core/image/hex_editor.h"
#include "core/image/range_commands.h"

namespace {

using jqz::CellSet;

void BM_UndoWholeImageStep(benchmark::State& state) {
    jqz::HexEditModel model;
    for (auto _ : state) {
        state.PauseTiming();
        jqz::FillCells(model.image, model.undo, CellSet::Range(0, 0xFFFF), 0x5A);
        state.ResumeTiming();
        benchmark::DoNotOptimize(model.undo.Undo());
    }
}
BENCHMARK(BM_UndoWholeImageStep)->Unit(benchmark::kMillisecond);

void BM_Swap(benchmark::State& state) {
    jqz::HexEditModel model;
    const auto mode = static_cast<jqz::SwapMode>(state.range(0));
    for (auto _ : state) jqz::SwapImage(model.image, model.undo, mode);
}
BENCHMARK(BM_Swap)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_FillWholeImage(benchmark::State& state) {
    jqz::HexEditModel model;
    std::uint8_t v = 0;
    for (auto _ : state) jqz::FillCells(model.image, model.undo, CellSet::Range(0, 0xFFFF), ++v);
}
BENCHMARK(BM_FillWholeImage)->Unit(benchmark::kMillisecond);

void BM_FillWholeImageAsSelection(benchmark::State& state) {
    jqz::HexEditModel model;
    std::uint8_t v = 0;
    const CellSet all = CellSet::Selection({0, 0, 4095, 15});
    for (auto _ : state) jqz::FillCells(model.image, model.undo, all, ++v);
}
BENCHMARK(BM_FillWholeImageAsSelection)->Unit(benchmark::kMillisecond);

// A 32-character text that nearly matches everywhere: the worst case of the search.
void BM_SearchFindingNothing(benchmark::State& state) {
    jqz::HexEditModel model;
    const auto type = static_cast<jqz::SearchType>(state.range(0));
    const auto pattern = jqz::MakeSearchPattern(
        type == jqz::SearchType::Hex ? "0000000000000000000000000000001F"
                                     : std::string(31, '\0') + "x",
        type);
    for (auto _ : state)
        benchmark::DoNotOptimize(jqz::FindPattern(model.image, *pattern.pattern, 0, 1));
}
BENCHMARK(BM_SearchFindingNothing)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CopyAsWholeImage(benchmark::State& state) {
    jqz::HexEditModel model;
    const auto format = static_cast<jqz::CopyAsFormat>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            jqz::CopyAsText(model.image, CellSet::Range(0, 0xFFFF), format, "Project Device"));
}
BENCHMARK(BM_CopyAsWholeImage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_DumpTextWholeImage(benchmark::State& state) {
    jqz::HexEditModel model;
    for (auto _ : state) benchmark::DoNotOptimize(model.DumpText(0, 0xFFFF, 16));
}
BENCHMARK(BM_DumpTextWholeImage)->Unit(benchmark::kMillisecond);

void BM_CopyWholeImage(benchmark::State& state) {
    jqz::HexEditModel model;
    for (auto _ : state)
        benchmark::DoNotOptimize(jqz::SelectionText(model.image, {0, 0, 4095, 15}));
}
BENCHMARK(BM_CopyWholeImage)->Unit(benchmark::kMillisecond);

// Pasting back the whole image as Copy wrote it.
void BM_PasteWholeImage(benchmark::State& state) {
    jqz::HexEditModel model;
    const std::string text = jqz::SelectionText(model.image, {0, 0, 4095, 15});
    for (auto _ : state) benchmark::DoNotOptimize(jqz::PasteText(model.image, model.undo, text, 0));
}
BENCHMARK(BM_PasteWholeImage)->Unit(benchmark::kMillisecond);

}  // namespace
