// Painting one full view of the editor's grids must stay under 8 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>

#include "core/messages/message_sink.h"
#include "ui/image/dump_grid.h"
#include "ui/image/hex_edit.h"

namespace {

class SilentSink : public jqz::MessageSink {
public:
    void showError(const std::string&) override {}
    jqz::Answer askQuestion(const std::string&, jqz::QuestionButtons) override {
        return jqz::Answer::No;
    }
};

// An editor of the given height over an image of varied bytes and colours, with a selection.
struct Editor {
    jqz::HexEditModel model;
    SilentSink sink;
    std::unique_ptr<jqz::THexEdit> window;
    explicit Editor(int height) {
        for (int a = 0; a <= jqz::MemoryImage::LastAddress(); ++a) {
            model.image.WriteData(a, static_cast<std::uint8_t>(a * 7 + (a >> 8)));
            if (a % 5 == 0) model.image.SetCellColor(a, jqz::ColorIndexToColor(a % 64));
        }
        window = std::make_unique<jqz::THexEdit>(model, sink);
        window->resize(565, height);
        window->show();
        QApplication::processEvents();
        window->editor().selection().moveTo(0x120, 3, false);
        window->editor().selection().moveTo(0x12F, 12, true);
        window->hexGrid()->setTopRow(0x118);
    }
};

void paintGrid(benchmark::State& state, jqz::DumpGrid* grid) {
    QImage target(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        grid->viewport()->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["rows"] = grid->visibleRows();
}

void BM_PaintHexGrid(benchmark::State& state) {
    Editor e(static_cast<int>(state.range(0)));
    paintGrid(state, e.window->hexGrid());
}
BENCHMARK(BM_PaintHexGrid)->Arg(480)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_PaintCharGrid(benchmark::State& state) {
    Editor e(static_cast<int>(state.range(0)));
    paintGrid(state, e.window->charGrid());
}
BENCHMARK(BM_PaintCharGrid)->Arg(480)->Arg(1000)->Unit(benchmark::kMillisecond);

// Both grids and the status bar, as one repaint of the window after an edit.
void BM_PaintWholeWindow(benchmark::State& state) {
    Editor e(static_cast<int>(state.range(0)));
    QImage target(e.window->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        e.window->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_PaintWholeWindow)->Arg(480)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
