// The faults the simulated device plays instead of answering: what it does,
// at which request, and whether once or from then on. One entry point,
// whatever the fault and whichever function the request belongs to.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>

#include <cstdint>
#include <deque>
#include <optional>

namespace zelsim {

// One piece of a scripted answer: written after `delayMs`, as one write.
struct TChunk {
  QByteArray bytes;
  int delayMs = 0;
};

// What the device does when the connection is dropped.
enum class TDrop { Close /* orderly FIN */, Reset /* RST */ };

struct TFault {
  enum class TWhat {
    Silence,  // no answer at all
    Close,    // the connection is closed in order
    Reset,    // the connection is reset
    Answer,   // `answer` is written instead, chunk by chunk (bad lengths, codes, garbage, cut frames)
  };
  TWhat what = TWhat::Silence;
  std::optional<uint8_t> request;  // the request code it meets; none: every request
  int at = 1;                      // the at-th such request from now
  bool always = false;             // that request and every one after it

  QList<TChunk> answer;  // TWhat::Answer

  static TFault Silent(std::optional<uint8_t> request) { return TFault{TWhat::Silence, request, 1, true, {}}; }
  static TFault Dropped(uint8_t request, TDrop how) {
    return TFault{how == TDrop::Reset ? TWhat::Reset : TWhat::Close, request, 1, false, {}};
  }
  static TFault Answered(uint8_t request, QList<TChunk> chunks, bool always = false) {
    return TFault{TWhat::Answer, request, 1, always, std::move(chunks)};
  }
};

// The faults set and not yet played. Thread-safe.
class TFaultPlan {
 public:
  // One-shot faults on the same request meet its requests in the order they
  // were set; a one-shot fault comes before a lasting one.
  void Set(const TFault& fault);
  // Every fault, or the ones on one request code.
  void Clear(std::optional<uint8_t> request = std::nullopt);
  // The fault a request with this code meets, if any; a one-shot fault is
  // used up by it.
  std::optional<TFault> Meet(uint8_t code);

 private:
  struct TPending {
    TFault fault;
    int left;  // matching requests until it applies
  };
  static bool Matches(const TFault& f, uint8_t code) { return !f.request || *f.request == code; }
  QMutex mu_;
  std::deque<TPending> faults_;
};

}  // namespace zelsim
