// A 1 MiB "Pocket Software" upload to the simulated device, once through the
// window's Start handler and once through a minimal blocking client that
// sends the same requests and waits for each acknowledgement. The ratio of
// the two is reported as `handler_vs_minimal`; the handler's CPU time shows
// that its waits sleep rather than spin.
#include "app/Main_eng.h"
#include "app/Prompter.h"
#include "app/Timings.h"
#include "sim/Upload.h"
#include "sim/ZelSim.h"
#include "update/UploadRequests.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

constexpr int kFileSize = 1 << 20;
const char* const kName = "ZEL74_V119.RPD";

// Answers every prompt at once: the outcome box, and nothing else is asked.
class TQuietPrompter : public TPrompter {
 public:
  QString last;
  void Information(QWidget*, const QString& text) override { last = text; }
  bool Confirm(QWidget*, const QString&) override { return true; }
  void QuestionOk(QWidget*, const QString& text) override { last = text; }
  void Error(QWidget*, const QString& text) override { last = text; }
  QString OpenFile(QWidget*, const TFileDialogSpec&) override { return path; }
  QString SaveFile(QWidget*, const TFileDialogSpec&) override { return {}; }
  std::optional<QColor> ChooseColor(QWidget*, const QColor&) override { return std::nullopt; }
  int ShowModal(QDialog*) override { return 0; }
  QString path;
};

// The window needs an application object; the benchmark program's entry is
// shared, so it is made here, on first use, with the offscreen platform.
QApplication& App() {
  static int argc = 1;
  static char name[] = "zel_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

struct Setup {
  QTemporaryDir dir;
  QString path;
  QByteArray image;
  zelsim::Simulator sim;
  TQuietPrompter prompter;
  Setup() {
    App();
    image.resize(kFileSize);
    for (int i = 0; i < kFileSize; ++i) image[i] = char(i * 13 + 5);
    path = dir.filePath(QString::fromLatin1(kName));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(image);
    f.close();
    prompter.path = path;
    SetPrompter(&prompter);
    sim.start();
    sim.function<zelsim::UploadFunction>()->setClearingMs(1);
  }
  ~Setup() { SetPrompter(nullptr); }
};

Setup& Shared() {
  static Setup s;
  return s;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double handlerSeconds = 0;
double minimalSeconds = 0;

void BM_UploadThroughHandler(benchmark::State& state) {
  Setup& s = Shared();
  TFMain w(TFMainOptions{QStringLiteral("127.0.0.1"), s.sim.port()});
  w.MI_OeffnenClick();
  w.RB_Pocket->setChecked(true);
  // Counts how often the window got to handle a timer while the upload ran.
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
  tick.start(10);
  double cpu = 0;
  double total = 0;
  for (auto _ : state) {
    s.prompter.last.clear();
    const double c0 = CpuSeconds();
    QElapsedTimer t;
    t.start();
    w.B_StartClick();
    total += double(t.nsecsElapsed()) / 1e9;
    cpu += CpuSeconds() - c0;
    if (s.prompter.last != QStringLiteral("File transfer finished successfully!") ||
        s.sim.function<zelsim::UploadFunction>()->image() != s.image) {
      state.SkipWithError(qPrintable(QStringLiteral("upload failed: ") + s.prompter.last));
      break;
    }
  }
  handlerSeconds = total / double(state.iterations());
  state.counters["cpu_per_wall"] = cpu / total;  // the process, simulator thread included
  state.counters["timer_ticks_per_s"] = double(ticks) / total;
  state.SetBytesProcessed(int64_t(state.iterations()) * kFileSize);
  if (minimalSeconds > 0) state.counters["handler_vs_minimal"] = handlerSeconds / minimalSeconds;
}

// Blocking: one read until the whole frame is in.
bool ReadFrame(int fd, uint8_t* code) {
  uint8_t buf[64];
  int got = 0;
  int length = 4;
  while (got < length) {
    const auto n = ::recv(fd, buf + got, size_t(std::min<int>(int(sizeof buf), length) - got), 0);
    if (n <= 0) return false;
    got += int(n);
    if (got >= 2) length = std::min<int>(buf[0] | buf[1] << 8, int(sizeof buf));
  }
  *code = buf[4];
  return true;
}

void BM_UploadMinimalClient(benchmark::State& state) {
  Setup& s = Shared();
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(s.sim.port());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    state.SkipWithError("connect");
    return;
  }
  auto send = [fd](const QByteArray& r) { return ::send(fd, r.constData(), size_t(r.size()), 0) == r.size(); };
  double total = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    uint8_t code = 0xEE;
    bool ok = send(StartRequest(UPDATE_POCKET_CODE, kFileSize)) && ReadFrame(fd, &code) && code == 90 &&
              ReadFrame(fd, &code) && code == 0;
    TUploadRequests requests(TUpdateTarget::Pocket, s.image, kName);
    for (int i = 0; ok && i < 3 + kFileSize / UPLOAD_BLOCK; ++i) {
      bool caption = false;
      ok = send(requests.Next(&caption)) && ReadFrame(fd, &code) && code == 0;
    }
    total += double(t.nsecsElapsed()) / 1e9;
    if (!ok || s.sim.function<zelsim::UploadFunction>()->image() != s.image) {
      state.SkipWithError("minimal upload failed");
      break;
    }
  }
  ::close(fd);
  minimalSeconds = total / double(state.iterations());
  state.SetBytesProcessed(int64_t(state.iterations()) * kFileSize);
}

// The minimal client runs first, so the handler can report the ratio.
BENCHMARK(BM_UploadMinimalClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_UploadThroughHandler)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
