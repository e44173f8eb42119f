// FIGURE sms-tap-seconds and sms-emi-seconds: one message of 160
// characters to capisim's TAP and EMI centres over a 64 kbit/s line, as
// velo sends it: dial, log on, the message, log off, hang up.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <map>

#include "capisim_process.h"
#include "corvane.h"
#include "mobile_networks.h"
#include "settings_file.h"
#include "sms_centre_link.h"
#include "sms_sender.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kTapCentre = "01712521002";
constexpr const char* kEmiCentre = "01722278020";

std::map<int, double> seconds;

struct SilentProgress : SmsProgress {
    void Status(const std::string&) override {}
    void Report(bool ok, const std::string& text) override {
        success = ok;
        result = text;
    }
    bool success = false;
    std::string result;
};

// The exchange and the line for the whole run: the link library binds to
// CAPI once per process.
struct Line {
    capitest::TempDir dir;
    capitest::CapisimProcess capisim;
    bool ready = false;
    Line() {
        ready = capisim.Start({"--line", "A:0:02211111", "--rate", "64000", "--sms-centre",
                               std::string(kTapCentre) + "=sms-tap", "--sms-centre",
                               std::string(kEmiCentre) + "=sms-emi"});
        if (!ready) return;
        setenv("HOME", capitest::MakeCapiHome(dir.Path(), "home", capisim.Port("A")).c_str(), 1);
        std::FILE* cfg = std::fopen(dir.File("Telvora.cfg").c_str(), "w");
        std::fprintf(cfg, "[Sender]\nmsn=02211111\n[Parameters]\nD1SMSCenter=%s\nD2SMSCenter=%s\n",
                     kTapCentre, kEmiCentre);
        std::fclose(cfg);
        ready = RCOInitLinkDLL(TRUE) != FALSE;
    }
    ~Line() {
        if (ready) RCOExitLinkDLL();
    }
};

Line& TheLine() {
    static Line line;
    return line;
}

void OneSms(benchmark::State& state, int network) {
    Line& line = TheLine();
    if (!line.ready) {
        state.SkipWithError(("capisim or CAPI could not start: " + line.capisim.Error()).c_str());
        return;
    }
    SettingsFile settings(line.dir.File("Telvora.cfg"));
    std::string text;
    for (int i = 0; i < 160; ++i) text += static_cast<char>('a' + i % 26);
    for (auto _ : state) {
        SmsSender sender(settings, CentreSmsLinkFactory(nullptr));
        SilentProgress progress;
        auto start = Clock::now();
        bool sent = sender.Connect(network, progress) &&
                    sender.Send({"0170 1234567", text, ""}, progress);
        sender.Disconnect(progress);
        double s = std::chrono::duration<double>(Clock::now() - start).count();
        if (!sent) {
            state.SkipWithError(("not sent: " + progress.result + sender.Reason()).c_str());
            return;
        }
        state.SetIterationTime(s);
        seconds[network] = s;
    }
}

void TapSms(benchmark::State& state) {
    OneSms(state, note_kind::kD1Sms);
}
void EmiSms(benchmark::State& state) {
    OneSms(state, note_kind::kD2Sms);
}

BENCHMARK(TapSms)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(EmiSms)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bool both = seconds.count(note_kind::kD1Sms) && seconds.count(note_kind::kD2Sms);
    if (seconds.count(note_kind::kD1Sms))
        std::printf("FIGURE sms-tap-seconds %.2f\n", seconds[note_kind::kD1Sms]);
    if (seconds.count(note_kind::kD2Sms))
        std::printf("FIGURE sms-emi-seconds %.2f\n", seconds[note_kind::kD2Sms]);
    return both ? 0 : 1;
}
