// What every benchmark needs around the window: one application object on
// the platform the environment names (offscreen when it names none), and a
// prompter that answers at once.
#pragma once

#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "link/LinkClient.h"
#include "core/frames/LinkState.h"
#include "sim/ZelSim.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QColor>
#include <QString>

#include <ctime>
#include <memory>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#endif

// Answers every prompt without showing anything: remembers the last text of
// any box, counts the boxes, answers questions with `confirm` and open
// dialogs with `openPath`; save, colour and modal dialogs are cancelled.
class TBenchPrompter : public TPrompter {
 public:
  explicit TBenchPrompter(bool confirmAnswer = true) : confirm(confirmAnswer) {}
  QString last;
  int messages = 0;
  bool confirm;
  QString openPath;

  void Information(QWidget*, const QString& text) override { Shown(text); }
  bool Confirm(QWidget*, const QString&) override { return confirm; }
  bool ConfirmRisk(QWidget*, const QString&) override { return false; }
  void QuestionOk(QWidget*, const QString& text) override { Shown(text); }
  void Error(QWidget*, const QString& text) override { Shown(text); }
  QString OpenFile(QWidget*, const TFileDialog&) override { return openPath; }
  QString SaveFile(QWidget*, const TFileDialog&) override { return {}; }
  std::optional<QColor> ChooseColor(QWidget*, const QColor&) override { return std::nullopt; }
  int ShowModal(QDialog*) override { return 0; }

 private:
  void Shown(const QString& text) {
    last = text;
    ++messages;
  }
};

// The window needs an application object; the benchmark program's entry is
// shared, so it is made on first use, on the platform QT_QPA_PLATFORM names
// (offscreen when unset; xcb under Xvfb for a real X display), and left
// to the end of the process (destroying it from an exit handler would run
// after parts of the toolkit are gone).
inline QApplication& BenchApplication() {
  static int argc = 1;
  static char name[] = "zel_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

// CPU time of the calling thread: the window's own work, without the
// simulated device's thread and without waiting.
inline double ThreadCpuSeconds() {
#ifdef _WIN32
  FILETIME creation, exit, kernel, user;
  GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user);
  auto seconds = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7; };
  return seconds(kernel) + seconds(user);
#else
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
#endif
}

// Waits, sleeping in the event loop, until the window's device work has
// ended: the operation's box shown, nothing left on the link.
inline void PumpUntilSettled(TFMain& w) {
  PumpWhile([&] { return w.Operation != TDeviceOperation::None || !w.LinkIdle() || LinkState.Busy; });
}
// A click, and the wait for what it started to end.
inline void RunToEnd(TFMain& w, void (TFMain::*handler)()) {
  (w.*handler)();
  PumpUntilSettled(w);
}

// A benchmark's own prompter, simulated device and window: Open() starts the
// device on loopback and opens the window on it once the start-up exchange
// has run out. The prompter stays installed for the rig's life.
struct TBenchRig {
  TBenchPrompter prompter;
  zelsim::TSimulator sim;
  std::unique_ptr<TFMain> window;

  explicit TBenchRig(bool confirmAnswer = true) : prompter(confirmAnswer) {
    BenchApplication();
    SetPrompter(&prompter);
  }
  ~TBenchRig() {
    window.reset();
    SetPrompter(nullptr);
  }
  TBenchRig(const TBenchRig&) = delete;
  TBenchRig& operator=(const TBenchRig&) = delete;

  // False, with the benchmark skipped, when the device did not start.
  bool Open(benchmark::State& state) {
    if (!sim.Start()) {
      state.SkipWithError("simulator did not start");
      return false;
    }
    window = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim.Port()});
    // The start-up version query holds the link until its watchdog ends it.
    PumpUntilSettled(*window);
    return true;
  }
};
