// The recording decoder's speed, and a 16 MiB recording copied through the
// window's handler against a minimal blocking client doing the same
// exchanges with the same decoder; plus the copy's peak memory. The copy also
// with 1 MiB over a link that delays every answer 2 ms, as the device's
// access point does (BM_CopyOverWifi).
#include "BaselineClient.h"
#include "BenchSupport.h"
#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "link/LinkClient.h"
#include "window/recorder/FileBoxes.h"
#include "core/recorder/StreamDecoder.h"
#include "core/recorder/WavFormat.h"
#include "sim/RecordingEncoder.h"
#include "sim/Recordings.h"
#include "sim/ZelSim.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// --- the decoder on one core --------------------------------------------------

void BM_DecodeBlock(benchmark::State& state) {
  const auto flags = uint8_t(state.range(0));
  std::vector<QByteArray> blocks;
  zelsim::TRecordingEncoder encoder(flags, 3);
  for (int i = 0; i < 64; ++i) blocks.push_back(encoder.NextBlock());
  const uint64_t codesPerRound = encoder.PairsEncoded() * 2;
  std::vector<uint8_t> out(kMaxDecodedBlockBytes);
  uint64_t codes = 0;
  for (auto _ : state) {
    for (const QByteArray& b : blocks) {
      benchmark::DoNotOptimize(DecodeBlock(reinterpret_cast<const uint8_t*>(b.constData()), flags, out.data()));
      benchmark::ClobberMemory();
    }
    codes += codesPerRound;
  }
  state.counters["codes/s"] = benchmark::Counter(double(codes), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(int64_t(state.iterations()) * 64 * kRecordingBlockBytes);
}
BENCHMARK(BM_DecodeBlock)->Arg(0)->Arg(1)->Arg(0 | kShortSubBlocks)->Arg(3 | kShortSubBlocks);

// --- the copy (the blocking client is written against POSIX sockets) ---------------
#ifndef _WIN32

constexpr uint32_t kUnits = 65536;     // 16 MiB of recording data
constexpr uint32_t kWifiUnits = 4096;  // 1 MiB

// One application, simulator and window for every copy benchmark.
struct CopyRig {
  TBenchPrompter prompter{false};
  zelsim::TSimulator sim;
  QTemporaryDir dir;
  std::unique_ptr<TFMain> window;
  uint32_t units;

  explicit CopyRig(uint32_t recordingUnits, int latencyMs = 0) : units(recordingUnits) {
    BenchApplication();
    SetPrompter(&prompter);
    sim.Start();
    sim.Function<zelsim::TRecordings>()->SetRecordings({zelsim::TRecording{"bench", 1, units, 11, 16}});
    window = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim.Port()});
    window->show();  // the user watches the page: the rate and the bar are painted
    PumpUntilSettled(*window);
    window->SelectVisiblePage(PAGE_RECORDER);
    SetRecorderDirectory(*window, dir.path());
    window->CB_Deco->setChecked(true);
    window->SG_Files->setCurrentCell(0, 0);
    sim.SetLatency(latencyMs);
  }
  ~CopyRig() { SetPrompter(nullptr); }
  static CopyRig& Get() {
    static CopyRig rig(kUnits);
    return rig;
  }
};

// A client as plain as can be: blocking socket, one request, read the frame,
// decode, write, next.

// Copies recording 0 into `path` as a WAV; the sample bytes written, or 0.
// Like the window, it leaves the file only when complete and on the disk:
// written beside its place, synced, then renamed over it.
uint64_t ClientCopy(uint16_t port, const std::string& path) {
  TBaselineClient c(port);
  if (!c.ok()) return 0;
  std::vector<uint8_t> payload;
  const uint8_t start[5] = {0x0D, 0x02, 0, 0, 0};
  const uint8_t next[5] = {0x00, 0x02, 0, 0, 0};
  if (!c.Send(start, 5) || !c.Frame(payload) || payload.size() != 8) return 0;
  const uint8_t flags = payload[3];
  const uint32_t units = ReadLE32(payload.data() + 4);
  const std::string partial = path + ".part";
  std::FILE* f = std::fopen(partial.c_str(), "wb");
  if (!f) return 0;
  QByteArray header = WavHeader(flags, 0);
  std::fwrite(header.constData(), 1, size_t(header.size()), f);
  std::vector<uint8_t> out(kMaxDecodedBlockBytes);
  uint64_t written = 0;
  for (uint32_t received = 0; received < units; received += 16) {
    if (!c.Send(next, 5) || !c.Frame(payload) || payload.size() != 4100 ||
        ReadLE16(payload.data() + 2) != (received & 0xFFFF)) {
      std::fclose(f);
      return 0;
    }
    const size_t n = DecodeBlock(payload.data() + 4, flags, out.data());
    std::fwrite(out.data(), 1, n, f);
    written += n;
  }
  header = WavHeader(flags, uint32_t(written));
  std::fseek(f, 0, SEEK_SET);
  std::fwrite(header.constData(), 1, size_t(header.size()), f);
  const bool stored = std::fflush(f) == 0 && ::fdatasync(::fileno(f)) == 0;
  std::fclose(f);
  return stored && std::rename(partial.c_str(), path.c_str()) == 0 ? written : 0;
}

// The window's handler and the blocking client copy in turn, so both see
// the same load on the machine; which of them goes first alternates, so that
// neither always meets the other's file still being written back. The
// iteration time is the window's copy; the fastest of each is compared.
void CopyThroughWindow(benchmark::State& state, CopyRig& rig) {
  SetPrompter(&rig.prompter);
  // The window's link stays open; the client uses a connection of its own.
  const std::string clientPath = rig.dir.filePath(QStringLiteral("client.wav")).toStdString();
  double bestWindow = 1e9, bestClient = 1e9;
  int round = 0;
  for (auto _ : state) {
    double window = 0, client = 0;
    auto timeClient = [&] {
      QElapsedTimer t;
      t.start();
      if (ClientCopy(rig.sim.Port(), clientPath) == 0) state.SkipWithError("client copy failed");
      client = double(t.nsecsElapsed()) / 1e9;
    };
    auto timeWindow = [&] {
      QElapsedTimer t;
      t.start();
      RunToEnd(*rig.window, &TFMain::B_FilesClick);
      window = double(t.nsecsElapsed()) / 1e9;
      if (rig.prompter.last != QStringLiteral("File loaded successfully!"))
        state.SkipWithError(rig.prompter.last.toStdString().c_str());
    };
    if (round++ % 2 == 0) {
      timeClient();
      timeWindow();
    } else {
      timeWindow();
      timeClient();
    }
    state.SetIterationTime(window);
    bestWindow = std::min(bestWindow, window);
    bestClient = std::min(bestClient, client);
  }
  state.counters["window_ms"] = bestWindow * 1e3;
  state.counters["client_ms"] = bestClient * 1e3;
  state.counters["vs_client"] = bestWindow / bestClient;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rig.units) * 256);
}
void BM_CopyThroughWindow(benchmark::State& state) { CopyThroughWindow(state, CopyRig::Get()); }
// Its own rig, gone when done: no second window stays open beside the others.
void BM_CopyOverWifi(benchmark::State& state) {
  CopyRig rig(kWifiUnits, 2);
  CopyThroughWindow(state, rig);
}
BENCHMARK(BM_CopyThroughWindow)->Iterations(6)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CopyOverWifi)->Iterations(6)->Unit(benchmark::kMillisecond)->UseManualTime();

// Resident-set figures of this process, in kB, from /proc/self/status.
long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
  return -1;
}

void BM_CopyPeakMemory(benchmark::State& state) {
  CopyRig& rig = CopyRig::Get();
  SetPrompter(&rig.prompter);
  for (auto _ : state) {
    // Forget the peak so far (earlier benchmarks), then copy once.
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    const long idle = StatusKb("VmRSS");
    const long idlePeak = StatusKb("VmHWM");
    RunToEnd(*rig.window, &TFMain::B_FilesClick);
    const long peak = StatusKb("VmHWM");
    state.counters["idle_MB"] = double(idle) / 1024.0;
    state.counters["peak_above_idle_MB"] = double(peak - idle) / 1024.0;
    state.counters["peak_reset"] = idlePeak <= idle + 1024 ? 1 : 0;
  }
}
BENCHMARK(BM_CopyPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif  // _WIN32

}  // namespace
