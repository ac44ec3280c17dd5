// The window itself: how long from nothing to the main window shown beside a
// started simulated device, and how much of a core the window's thread uses
// while an exchange waits out its watchdog on a device that never answers.
#include "BenchSupport.h"
#include "window/Main_eng.h"
#include "core/Timings.h"
#include "link/LinkClient.h"
#include "core/frames/LinkState.h"
#include "sim/ZelSim.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QWindow>

#include <memory>

namespace {

// Simulated device started, window made and shown, until the platform says
// it is on screen.
void BM_StartToWindowShown(benchmark::State& state) {
  BenchApplication();
  TBenchPrompter prompter;
  SetPrompter(&prompter);
  double best = 1e9;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    auto sim = std::make_unique<zelsim::TSimulator>();
    if (!sim->Start()) {
      state.SkipWithError("simulator did not start");
      break;
    }
    auto w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim->Port()});
    w->show();
    PumpWhile([&] { return !(w->windowHandle() && w->windowHandle()->isExposed()); });
    const double s = double(t.nsecsElapsed()) * 1e-9;
    state.SetIterationTime(s);
    best = std::min(best, s);
    state.PauseTiming();
    PumpUntilSettled(*w);  // the start-up exchange runs out
    w.reset();
    sim.reset();
    state.ResumeTiming();
  }
  state.counters["best_s"] = best;
  SetPrompter(nullptr);
}
BENCHMARK(BM_StartToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Synchronise against a device that stays silent: the exchange waits its
// whole watchdog time (3 s as shipped) in the event loop.
void BM_SilentDeviceWait(benchmark::State& state) {
  TBenchRig rig;
  if (!rig.Open(state)) return;
  TFMain& w = *rig.window;
  rig.sim.SetFault(zelsim::TFault::Silent(std::nullopt));
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    const double cpu0 = ThreadCpuSeconds();
    w.B_Sync->click();
    PumpWhile([&] { return w.Operation != TDeviceOperation::None; });
    cpu += ThreadCpuSeconds() - cpu0;
    const double s = double(t.nsecsElapsed()) * 1e-9;
    wall += s;
    state.SetIterationTime(s);
  }
  state.counters["wait_s"] = wall / double(state.iterations());
  state.counters["cpu_share_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
}
BENCHMARK(BM_SilentDeviceWait)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
