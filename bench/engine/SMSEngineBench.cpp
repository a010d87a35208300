// Encoding and decoding a full single message: 160 default-alphabet characters.
#include "engine/SMSEngine.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace SMSEngine;

namespace {

const std::string Text =
    "The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor jugs! "
    "Sphinx of black quartz, judge my vow. How vexingly quick daft zebras jump!";

std::string EncodeText(const std::string& UD) {
    int Length = 0;
    std::string PDU;
    EncodeSubmitPDU("+4912345678", false, 2, false, 0, "+4915112345678", false, 173, 0, 0, UD, Length, PDU);
    return PDU;
}

void BM_EncodeSubmit160(benchmark::State& State) {
    int Length = 0;
    std::string PDU;
    for (auto _ : State) {
        EncodeSubmitPDU("+4912345678", false, 2, false, 0, "+4915112345678", false, 173, 0, 0, Text, Length, PDU);
        benchmark::DoNotOptimize(PDU);
    }
    State.SetLabel(std::to_string(Text.size()) + " characters");
}
BENCHMARK(BM_EncodeSubmit160);

void BM_DecodeSubmit160(benchmark::State& State) {
    const std::string PDU = EncodeText(Text);
    std::string SCA, DA, UD;
    bool SRR, RD, Flash;
    int VPF, MR, VPRelative, VPTZ;
    TDateTime VPAbsolute;
    for (auto _ : State) {
        DecodeSubmitPDU(PDU, SCA, SRR, VPF, RD, MR, DA, Flash, VPRelative, VPAbsolute, VPTZ, UD);
        benchmark::DoNotOptimize(UD);
    }
    if (UD != Text) State.SkipWithError("the text did not come back");
}
BENCHMARK(BM_DecodeSubmit160);

void BM_DecodeDeliver160(benchmark::State& State) {
    // A received message: SCA, first octet, OA, PID, DCS, time stamp, then the same user data.
    const std::string Submit = EncodeText(Text);
    const std::string PDU = "07919471060040F4040C919471234567F80000" "62105121100540" +
                            Submit.substr(Submit.size() - 2 - 280);
    std::string SCA, OA, UD;
    bool Flash;
    TDateTime SCTS;
    for (auto _ : State) {
        DecodeDeliverPDU(PDU, SCA, OA, Flash, SCTS, UD);
        benchmark::DoNotOptimize(UD);
    }
    if (UD != Text) State.SkipWithError("the text did not come back");
}
BENCHMARK(BM_DecodeDeliver160);

}  // namespace

int main(int argc, char** argv) {
    SetErrorReporter([](const std::string&) {});
    SetClock([] { return EncodeDate(2026, 1, 15) + 0.5; });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
