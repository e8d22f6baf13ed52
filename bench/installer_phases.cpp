// Measures the installer's phase actions (payload written and opened, both libraries extracted
// and registered) against the sequence's own fixed pauses, measured in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/Installer.h"
#include "app/Sequencer.h"
#include "framework/FrameworkSession.h"

namespace {

using Clock = std::chrono::steady_clock;

// The real environment, except that pauses are only added up: what is left is the actions.
class TimingEnvironment : public QRV2::RealInstallerEnvironment {
public:
    double actionSeconds[3] = {0, 0, 0};
    double pauseSeconds = 0;

    QRV2::ActionResult RunPhaseAction(int phase, QRV2::InstallState* state) override {
        const auto start = Clock::now();
        QRV2::ActionResult result = RealInstallerEnvironment::RunPhaseAction(phase, state);
        actionSeconds[phase] += std::chrono::duration<double>(Clock::now() - start).count();
        return result;
    }
    void Sleep(std::uint32_t milliseconds) override { pauseSeconds += milliseconds / 1000.0; }
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<double> totals, phases[3];
    double pauses = 0;
    for (int i = 0; i < rounds; ++i) {
        QRV2::FrameworkSession framework;
        if (framework.StartProgram(nullptr, "", 1) == nullptr) return 1;
        QRV2::InstallState state;
        TimingEnvironment environment;
        const std::int32_t result = QRV2::RunInstaller(&state, environment);
        framework.Stop();
        if (result != 0) {
            std::fprintf(stderr, "installer_phases: run %d ended with %d\n", i, result);
            return 1;
        }
        double total = 0;
        for (int p = 0; p < 3; ++p) {
            phases[p].push_back(environment.actionSeconds[p]);
            total += environment.actionSeconds[p];
        }
        totals.push_back(total);
        pauses = environment.pauseSeconds;
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf(
        "installer phase actions, median of %d runs (baseline: the sequence's pauses, %.3f s)\n",
        rounds, pauses);
    const char* names[3] = {"payload written, opened, checked", "Mozilla plug-in installed",
                            "ActiveX control installed"};
    for (int p = 0; p < 3; ++p) {
        const double m = median(phases[p]);
        std::printf("  phase %d %-34s %8.3f ms  %6.3f%% of pauses\n", p, names[p], m * 1000,
                    100 * m / pauses);
    }
    const double m = median(totals);
    std::printf("  all actions %40.3f ms  ratio %.4f (target < 0.05)\n", m * 1000, m / pauses);
    return 0;
}
