// A read and a write run of all 63 memory slots through the tool, against a
// minimal blocking client doing the same 63 exchanges with the same simulated
// device in the same run. Reports both times and their ratio.
#include "window/Main_eng.h"
#include "BenchSupport.h"
#include "window/Prompter.h"
#include "sim/ZelSim.h"
#include "core/slots/SlotRecord.h"
#include "core/slots/SlotTransfer.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTcpSocket>

#include <memory>

namespace {

// The blocking client: send a request, read one whole frame, 63 times.
bool BlockingRun(uint16_t port, bool write) {
  QTcpSocket s;
  s.connectToHost(QStringLiteral("127.0.0.1"), port);
  if (!s.waitForConnected(3000)) return false;
  s.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  const QByteArray record(SLOT_RECORD_SIZE, '\x21');
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    s.write(write ? WriteSlotRequest(slot, record) : ReadSlotRequest());
    if (!s.waitForBytesWritten(3000)) return false;
    QByteArray frame;
    while (frame.size() < 2 || frame.size() < (uint8_t(frame[0]) | uint8_t(frame[1]) << 8)) {
      if (s.bytesAvailable() == 0 && !s.waitForReadyRead(3000)) return false;
      frame += s.readAll();
    }
  }
  return true;
}

void BM_SlotRun(benchmark::State& state) {
  const bool write = state.range(0) != 0;
  TBenchRig rig;
  if (!rig.Open(state)) return;
  TFMain* w = rig.window.get();
  double toolMs = 0;
  double blockingMs = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    if (write) {
      w->B_Speichern->setEnabled(true);
      RunToEnd(*w, &TFMain::B_SpeichernClick);
    } else {
      RunToEnd(*w, &TFMain::B_LadenClick);
    }
    const double tool = double(t.nsecsElapsed()) / 1e6;
    state.SetIterationTime(tool / 1e3);
    toolMs += tool;
    t.restart();
    if (!BlockingRun(rig.sim.Port(), write)) {
      state.SkipWithError("blocking client failed");
      break;
    }
    blockingMs += double(t.nsecsElapsed()) / 1e6;
  }
  const double n = double(state.iterations());
  state.counters["tool_ms"] = toolMs / n;
  state.counters["blocking_ms"] = blockingMs / n;
  state.counters["ratio"] = blockingMs > 0 ? toolMs / blockingMs : 0;
  state.counters["messages"] = rig.prompter.messages;
}

}  // namespace

BENCHMARK(BM_SlotRun)->ArgName("write")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
