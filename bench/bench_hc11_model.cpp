// The HC11 model's speed: a program in RAM that writes all 512 EEPROM bytes with 10 ms
// pulses timed by a delay loop, about 10.3 million E cycles (5.1 s of the part's time).
#include <benchmark/benchmark.h>

#include "sim/hc11/machine.h"

namespace {

const std::vector<std::uint8_t> kProgramAll = {
    0xCE, 0x10, 0x00,        // ldx #$1000
    0x6F, 0x35,              // clr BPROT,x
    0x18, 0xCE, 0xB6, 0x00,  // ldy #$B600
    0x86, 0x02, 0xA7, 0x3B,  // loop: EELAT
    0x86, 0x00, 0x18, 0xA7, 0x00,  // latch 0 at 0,y
    0x86, 0x03, 0xA7, 0x3B,  // EEPGM
    0x18, 0x3C,              // pshy
    0x18, 0xCE, 0x0B, 0x2C,  // ldy #2860
    0x18, 0x09, 0x26, 0xFC,  // dey; bne
    0x18, 0x38,              // puly
    0x6F, 0x3B,              // clr PPROG,x
    0x18, 0x08,              // iny
    0x18, 0x8C, 0xB8, 0x00,  // cpy #$B800
    0x26, 0xDD,              // bne loop
    0x20, 0xFE,              // bra *
};

void BM_Hc11ProgramsWholeEeprom(benchmark::State& state) {
    long long cycles = 0;
    for (auto _ : state) {
        jqz::sim::hc11::Machine m(jqz::sim::Hc11Options{});
        m.load(0x0000, kProgramAll);
        m.registers().pc = 0x0000;
        m.registers().sp = 0x01FF;
        m.runUntil(m.cycle() + 10'500'000);
        cycles += m.cycle();
        benchmark::DoNotOptimize(m.eepromCells().data());
    }
    // The part's seconds simulated per second.
    state.counters["model_s_per_s"] =
        benchmark::Counter(static_cast<double>(cycles) / 2e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Hc11ProgramsWholeEeprom)->Unit(benchmark::kMillisecond);

}  // namespace
