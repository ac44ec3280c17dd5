// A full WVGA display scan (800 column exchanges) through the Scan button
// against the simulated device, beside a minimal blocking client that does
// the same exchanges and the same pixel conversion on its own connection.
// Reports both times per scan and their ratio (tool / client). The same over
// a link that delays every answer 2 ms, as the device's access point does
// (BM_DisplayScanOverWifi).
#include "BaselineClient.h"
#include "BenchSupport.h"
#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "core/display/ScanLogic.h"
#include "link/LinkClient.h"
#include "sim/ZelSim.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <ctime>
#include <memory>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The baseline: blocking socket calls, one column frame read, converted and
// acknowledged at a time.
class BlockingScanClient {
 public:
  explicit BlockingScanClient(uint16_t port) : client_(port) {
    if (!client_.ok()) throw std::runtime_error("client cannot connect");
    picture_ = QImage(SCAN_PICTURE_WIDTH, SCAN_PICTURE_HEIGHT, QImage::Format_RGB888);
  }

  // Scans the whole WVGA screen; returns the number of columns drawn.
  int Scan() {
    const int width = 800, height = 480;
    const int32_t expected = ColumnPayloadLength(height);
    if (!client_.Send(ScanRequest(0, 0, width, height))) throw std::runtime_error("write failed");
    int columns = 0;
    const uint8_t zero = 0;
    std::vector<uint8_t> payload;
    for (;;) {
      if (!client_.Frame(payload)) throw std::runtime_error("no answer");
      const TScanFrame f = ReadScanFrame(payload.data(), int32_t(payload.size()), expected, width);
      if (f.kind == TScanFrame::Status) {
        if (f.status != 0) throw std::runtime_error("device refused the scan");
        continue;
      }
      if (f.kind != TScanFrame::Column) throw std::runtime_error("bad column frame");
      DrawColumn(picture_, f.column, payload.data() + 2, height);
      ++columns;
      if (f.column + 1 >= width) return columns;
      if (!client_.Send(&zero, 1)) throw std::runtime_error("write failed");
    }
  }

 private:
  TBaselineClient client_;
  QImage picture_;
};

void ScanVsClient(benchmark::State& state, int latencyMs) {
  TBenchRig rig(false);
  if (!rig.Open(state)) return;
  rig.sim.SetLatency(latencyMs);
  TBenchPrompter& prompter = rig.prompter;
  TFMain* w = rig.window.get();
  w->show();  // the user watches the page: counter and bar are painted
  w->SelectVisiblePage(PAGE_DISPCPY);
  BlockingScanClient client(rig.sim.Port());

  double toolSeconds = 0, clientSeconds = 0, toolCpu = 0, clientCpu = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    double cpu = ThreadCpuSeconds();
    t.start();
    prompter.last.clear();
    RunToEnd(*w, &TFMain::B_DispcpyClick);
    const double tool = double(t.nsecsElapsed()) * 1e-9;
    toolCpu += ThreadCpuSeconds() - cpu;
    if (prompter.last != QStringLiteral("All data received!")) {
      state.SkipWithError(("tool scan ended with: " + prompter.last).toStdString().c_str());
      break;
    }
    cpu = ThreadCpuSeconds();
    t.restart();
    const int columns = client.Scan();
    const double baseline = double(t.nsecsElapsed()) * 1e-9;
    clientCpu += ThreadCpuSeconds() - cpu;
    if (columns != 800) {
      state.SkipWithError("client scan incomplete");
      break;
    }
    toolSeconds += tool;
    clientSeconds += baseline;
    state.SetIterationTime(tool);
  }
  const double n = double(state.iterations());
  if (n > 0 && clientSeconds > 0) {
    state.counters["tool_ms"] = toolSeconds / n * 1e3;
    state.counters["client_ms"] = clientSeconds / n * 1e3;
    state.counters["ratio"] = toolSeconds / clientSeconds;
    state.counters["tool_cpu_ms"] = toolCpu / n * 1e3;
    state.counters["client_cpu_ms"] = clientCpu / n * 1e3;
  }
}

void BM_DisplayScanWVGA(benchmark::State& state) { ScanVsClient(state, 0); }
void BM_DisplayScanOverWifi(benchmark::State& state) { ScanVsClient(state, 2); }

}  // namespace

BENCHMARK(BM_DisplayScanWVGA)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DisplayScanOverWifi)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(4.0);
