// Cutting the received byte stream into frames.
#include "core/frames/FrameCutter.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>

#include <random>

namespace {

QByteArray MakeFrame(int totalLength, char fill) {
  QByteArray f(totalLength, fill);
  f[0] = char(totalLength & 0xFF);
  f[1] = char((totalLength >> 8) & 0xFF);
  f[2] = 0;
  f[3] = 0;
  return f;
}

struct Feeder {
  uint8_t buffer[MAX_FRAME_LENGTH] = {};
  TLinkState st;
  QList<QByteArray> payloads;
  QList<TCutOutcome> outcomes;

  Feeder() { st.Busy = true; }
  // What one read does: append, then cut. A call ending on a frame boundary
  // starts the next read afresh, as the transfer does.
  TCutOutcome Read(const QByteArray& bytes) {
    if (!outcomes.isEmpty() && outcomes.last() == TCutOutcome::Drained) {
      st.BytesReceived = 0;  // a new transfer call starts afresh
      st.FrameLength = 0;
    }
    std::memcpy(buffer + st.BytesReceived, bytes.constData(), size_t(bytes.size()));
    st.BytesReceived += int32_t(bytes.size());
    const TCutOutcome o = CutFrames(buffer, st, [&](const uint8_t* p, int32_t len) {
      EXPECT_EQ(p, buffer + 4) << "payload handed on in place";
      payloads << QByteArray(reinterpret_cast<const char*>(p), len);
    });
    outcomes << o;
    return o;
  }
};

QList<QByteArray> PayloadsOf(const QList<QByteArray>& frames) {
  QList<QByteArray> out;
  for (const auto& f : frames) out << f.mid(4);
  return out;
}

}  // namespace

TEST(FrameCutter, ResultDoesNotDependOnHowTheStreamIsCut) {
  const QList<QByteArray> frames = {MakeFrame(8, 'a'), MakeFrame(12, 'b'), MakeFrame(4, 'x'), MakeFrame(300, 'c'),
                                    MakeFrame(5, 'd')};
  QByteArray stream;
  for (const auto& f : frames) stream += f;
  const auto expected = PayloadsOf(frames);

  // Every single cut point, and many random cuttings.
  for (int cut = 0; cut <= stream.size(); ++cut) {
    Feeder f;
    if (cut > 0) f.Read(stream.left(cut));
    if (cut < stream.size()) f.Read(stream.mid(cut));
    EXPECT_EQ(f.payloads, expected) << "cut at " << cut;
    EXPECT_EQ(f.outcomes.last(), TCutOutcome::Drained);
  }
  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    Feeder f;
    int pos = 0;
    while (pos < stream.size()) {
      const int n = std::uniform_int_distribution<int>(1, 20)(rng);
      f.Read(stream.mid(pos, n));
      pos += n;
    }
    EXPECT_EQ(f.payloads, expected) << "round " << round;
  }
}

TEST(FrameCutter, TwoFramesInOneReadAreDispatchedInOrderBeforeTheBufferMoves) {
  Feeder f;
  const QByteArray a = MakeFrame(8, 'a'), b = MakeFrame(10, 'b');
  EXPECT_EQ(f.Read(a + b), TCutOutcome::Drained);
  EXPECT_EQ(f.payloads, PayloadsOf({a, b}));
  EXPECT_EQ(f.st.BytesReceived, 0);
  EXPECT_EQ(f.st.FrameLength, 0) << "the next read starts with a length field";
}

TEST(FrameCutter, SplitInsideTheLengthFieldWaitsForTheSecondByte) {
  Feeder f;
  const QByteArray a = MakeFrame(0x0104, 'a');  // length 260: the high byte matters
  EXPECT_EQ(f.Read(a.left(1)), TCutOutcome::NeedMore);
  EXPECT_EQ(f.st.FrameLength, 0) << "one byte is never read as a length";
  EXPECT_EQ(f.Read(a.mid(1)), TCutOutcome::Drained);
  EXPECT_EQ(f.payloads, PayloadsOf({a}));
}

TEST(FrameCutter, LengthLimits) {
  struct Case {
    int length;
    bool accepted;
  };
  for (const Case c : {Case{MAX_FRAME_LENGTH, true}, Case{MAX_FRAME_LENGTH + 1, false}, Case{4, true}, Case{3, false},
                       Case{1, false}, Case{0, false}, Case{0xFFFF, false}}) {
    Feeder f;
    QByteArray frame = MakeFrame(c.accepted ? c.length : 8, 'z');
    frame[0] = char(c.length & 0xFF);
    frame[1] = char(c.length >> 8);
    const TCutOutcome o = f.Read(frame);
    if (c.accepted) {
      EXPECT_EQ(o, TCutOutcome::Drained) << c.length;
      ASSERT_EQ(f.payloads.size(), 1) << c.length;
      EXPECT_EQ(f.payloads[0].size(), c.length - 4);
      EXPECT_TRUE(f.st.Busy);
    } else {
      EXPECT_EQ(o, TCutOutcome::BadLength) << c.length;
      EXPECT_TRUE(f.payloads.isEmpty()) << c.length;
      EXPECT_FALSE(f.st.Busy) << c.length;
    }
  }
}

TEST(FrameCutter, HandlerThatClearsBusyStopsLaterFrames) {
  Feeder f;
  int calls = 0;
  QByteArray two = MakeFrame(8, 'a') + MakeFrame(8, 'b');
  std::memcpy(f.buffer, two.constData(), size_t(two.size()));
  f.st.BytesReceived = int32_t(two.size());
  const TCutOutcome o = CutFrames(f.buffer, f.st, [&](const uint8_t*, int32_t) {
    ++calls;
    f.st.Busy = false;
  });
  EXPECT_EQ(o, TCutOutcome::Stopped);
  EXPECT_EQ(calls, 1);
}

TEST(FrameCutter, NestedRestartOfTheBufferIsNotCompactedAgain) {
  Feeder f;
  QByteArray two = MakeFrame(8, 'a') + MakeFrame(8, 'b');
  std::memcpy(f.buffer, two.constData(), size_t(two.size()));
  f.st.BytesReceived = int32_t(two.size());
  int calls = 0;
  const TCutOutcome o = CutFrames(f.buffer, f.st, [&](const uint8_t*, int32_t) {
    ++calls;
    f.st.BytesReceived = 0;  // another exchange started from inside the handler
    f.st.FrameLength = 0;
  });
  EXPECT_EQ(o, TCutOutcome::Stopped);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(f.st.BytesReceived, 0);
}
