// A 1 MiB "Pocket Software" upload to the simulated device, through the
// window's Start handler and through a minimal blocking client that sends the
// same requests and waits for each acknowledgement. Reported: the fastest of
// each, their ratio `handler_vs_minimal`, the timer ticks the window handled
// per second meanwhile (it stays responsive), and the CPU time of the
// window's thread per wall time (its waits sleep rather than spin). The same
// with 64 KiB over a link that delays every answer 2 ms, as the device's
// access point does (BM_UploadOverWifi).
#include "BaselineClient.h"
#include "BenchSupport.h"
#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "core/Timings.h"
#include "sim/Upload.h"
#include "sim/ZelSim.h"
#include "core/update/UploadRequests.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#ifndef _WIN32  // the minimal client is written against POSIX sockets
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr int kFileSize = 1 << 20;
constexpr int kWifiFileSize = 64 << 10;
constexpr int kWifiLatencyMs = 2;
const char* const kName = "ZEL74_V119.RPD";

struct Setup {
  QTemporaryDir dir;
  QString path;
  QByteArray image;
  zelsim::TSimulator sim;
  TBenchPrompter prompter;
  explicit Setup(int fileSize, int latencyMs = 0) {
    BenchApplication();
    image.resize(fileSize);
    for (int i = 0; i < fileSize; ++i) image[i] = char(i * 13 + 5);
    path = dir.filePath(QString::fromLatin1(kName));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(image);
    f.close();
    prompter.openPath = path;
    SetPrompter(&prompter);
    sim.Start();
    sim.Function<zelsim::TUploadFunction>()->SetClearingMs(20);
    sim.SetLatency(latencyMs);
  }
  ~Setup() { SetPrompter(nullptr); }
};

Setup& Shared() {
  static Setup s(kFileSize);
  return s;
}

Setup& SharedOverWifi() {
  static Setup s(kWifiFileSize, kWifiLatencyMs);
  return s;
}

double Seconds(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e9; }

// The same upload as the Start handler's, written as plainly as possible:
// blocking send, blocking receive, nothing else.
bool BaselineUpload(uint16_t port, const QByteArray& image) {
  TBaselineClient c(port);
  std::vector<uint8_t> frame;
  auto answered = [&](uint8_t code) { return c.Frame(frame) && !frame.empty() && frame[0] == code; };
  bool ok = c.ok() && c.Send(StartRequest(REQ_UPDATE_POCKET, uint64_t(image.size()))) && answered(STATUS_FACTORY) &&
            answered(STATUS_OK);
  TUploadRequests requests(TUpdateTarget::Pocket, image, kName);
  for (int i = 0; ok && i < 3 + int(image.size() / UPLOAD_BLOCK); ++i) {
    bool caption = false;
    ok = c.Send(requests.Next(&caption)) && answered(STATUS_OK);
  }
  return ok;
}

// Each iteration uploads the file once with the minimal client and once
// through the window's Start handler, one right after the other, so both see
// the same load on the machine. The fastest of each is compared.
void UploadHandlerVsMinimal(benchmark::State& state, Setup& s) {
  SetPrompter(&s.prompter);
  TFMain w(TFMainOptions{QStringLiteral("127.0.0.1"), s.sim.Port()});
  // The start-up version query holds the link until its watchdog ends it;
  // over a delayed link its answer is still on its way here.
  PumpUntilSettled(w);
  w.show();
  w.MI_OeffnenClick();
  w.RB_Pocket->setChecked(true);
  // Counts how often the window handled a timer while the upload ran.
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
  tick.start(10);
  auto* device = s.sim.Function<zelsim::TUploadFunction>();

  double bestHandler = 1e9, bestMinimal = 1e9, handlerTotal = 0, handlerCpu = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    const bool minimalOk = BaselineUpload(s.sim.Port(), s.image);
    bestMinimal = std::min(bestMinimal, Seconds(t));
    if (!minimalOk || device->Image() != s.image) {
      state.SkipWithError("minimal upload failed");
      break;
    }

    s.prompter.last.clear();
    const int ticksBefore = ticks;
    const double cpu0 = ThreadCpuSeconds();
    t.restart();
    RunToEnd(w, &TFMain::B_StartClick);
    const double took = Seconds(t);
    bestHandler = std::min(bestHandler, took);
    handlerTotal += took;
    handlerCpu += ThreadCpuSeconds() - cpu0;
    if (s.prompter.last != QStringLiteral("File transfer finished successfully!") || device->Image() != s.image) {
      state.SkipWithError(qPrintable(QStringLiteral("upload failed: ") + s.prompter.last));
      break;
    }
    state.counters["timer_ticks_per_s"] = double(ticks - ticksBefore) / took;
  }
  state.counters["handler_ms"] = bestHandler * 1000;
  state.counters["minimal_ms"] = bestMinimal * 1000;
  state.counters["handler_vs_minimal"] = bestHandler / bestMinimal;
  // Near 1 would mean the window's thread spins while it waits.
  state.counters["ui_thread_cpu_per_wall"] = handlerCpu / handlerTotal;
}

void BM_UploadHandlerVsMinimal(benchmark::State& state) { UploadHandlerVsMinimal(state, Shared()); }
void BM_UploadOverWifi(benchmark::State& state) { UploadHandlerVsMinimal(state, SharedOverWifi()); }

BENCHMARK(BM_UploadHandlerVsMinimal)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(9);
BENCHMARK(BM_UploadOverWifi)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(9);

}  // namespace
#endif  // _WIN32
