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
struct Chunk {
  QByteArray bytes;
  int delayMs = 0;
};

// What the device does when the connection is dropped.
enum class Drop { Close /* orderly FIN */, Reset /* RST */ };

struct Fault {
  enum class What {
    Silence,  // no answer at all
    Close,    // the connection is closed in order
    Reset,    // the connection is reset
    Answer,   // `answer` is written instead, chunk by chunk (bad lengths, codes, garbage, cut frames)
  };
  What what = What::Silence;
  std::optional<uint8_t> request;  // the request code it meets; none: every request
  int at = 1;                      // the at-th such request from now
  bool always = false;             // that request and every one after it

  QList<Chunk> answer;             // What::Answer

  static Fault Silent(std::optional<uint8_t> request) { return Fault{What::Silence, request, 1, true, {}}; }
  static Fault Dropped(uint8_t request, Drop how) {
    return Fault{how == Drop::Reset ? What::Reset : What::Close, request, 1, false, {}};
  }
  static Fault Answered(uint8_t request, QList<Chunk> chunks, bool always = false) {
    return Fault{What::Answer, request, 1, always, std::move(chunks)};
  }
};

// The faults set and not yet played. Thread-safe.
class FaultPlan {
 public:
  // One-shot faults on the same request meet its requests in the order they
  // were set; a one-shot fault comes before a lasting one.
  void Set(const Fault& fault);
  // Every fault, or the ones on one request code.
  void Clear(std::optional<uint8_t> request = std::nullopt);
  // The fault a request with this code meets, if any; a one-shot fault is
  // used up by it.
  std::optional<Fault> Meet(uint8_t code);

 private:
  struct Pending {
    Fault fault;
    int left;  // matching requests until it applies
  };
  static bool Matches(const Fault& f, uint8_t code) { return !f.request || *f.request == code; }
  QMutex mu_;
  std::deque<Pending> faults_;
};

}  // namespace zelsim
