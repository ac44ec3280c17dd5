// Reading a payload as records and routing them by page and code.
#include "core/frames/Dispatcher.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringList>

namespace {

QByteArray Word(uint32_t w) {
  QByteArray b(4, 0);
  for (int i = 0; i < 4; ++i) b[i] = char((w >> (8 * i)) & 0xFF);
  return b;
}
QByteArray Status(uint8_t code) { return Word(code); }
QByteArray Rec(uint16_t code, uint16_t parameter = 0) { return Word(uint32_t(code) | uint32_t(parameter) << 16); }
QByteArray Padded(QByteArray head, int size, char fill) {
  head.append(QByteArray(size - head.size(), fill));
  return head;
}

class FakeTarget : public IFrameTarget {
 public:
  bool recorder = false;
  QStringList calls;
  int grip = 0;
  std::function<void()> onGrip;

  bool RecorderPageActive() override { return recorder; }
  void GripMove(uint16_t d) override {
    grip += d;
    calls << QStringLiteral("grip %1").arg(d);
    if (onGrip) onGrip();
  }
  void RecordingListEntry(const uint8_t* r) override {
    calls << QStringLiteral("entry %1").arg(QString::fromLatin1(reinterpret_cast<const char*>(r + 4)));
  }
  void RecordingHeader(const uint8_t* r) override { calls << QStringLiteral("header %1").arg(r[3]); }
  void RecordingBlock(const uint8_t* r) override { calls << QStringLiteral("block %1").arg(ReadLE16(r + 2)); }
  int32_t SlotRecord(const uint8_t*, int32_t remaining) override {
    calls << QStringLiteral("slot %1").arg(remaining);
    return remaining;
  }
  void VersionRecord(const uint8_t* r) override { calls << QStringLiteral("version %1").arg(r[1]); }
  void ScanPayload(const uint8_t*, int32_t length) override { calls << QStringLiteral("scan %1").arg(length); }
};

struct Fixture {
  TLinkState st;
  FakeTarget t;
  Fixture(bool recorderPage, int32_t reply = -1) {
    t.recorder = recorderPage;
    st.Busy = true;
    st.ReplyCode = reply;
  }
  // The payload is copied into a buffer of exactly its size, so a read past
  // its end shows up under the address sanitizer and valgrind.
  void Dispatch(const QByteArray& payload) {
    std::vector<uint8_t> exact(payload.begin(), payload.end());
    DispatchFrame(exact.data(), int32_t(exact.size()), st, t);
  }
};

struct Case {
  const char* name;
  QByteArray payload;
  int32_t reply;  // ReplyCode afterwards (starts at -1)
  bool busy;      // Busy afterwards (starts set)
  QStringList calls;
};

template <size_t N>
void RunTable(bool recorderPage, const Case (&cases)[N]) {
  for (const Case& c : cases) {
    Fixture r(recorderPage);
    r.Dispatch(c.payload);
    EXPECT_EQ(r.st.ReplyCode, c.reply) << c.name;
    EXPECT_EQ(r.st.Busy, c.busy) << c.name;
    EXPECT_EQ(r.t.calls, c.calls) << c.name;
  }
}

}  // namespace

TEST(Dispatcher, StatusCodesReachReplyCodeOnlyOutsideTheRecorderPage) {
  const QByteArray payload = Status(0) + Status(2) + Status(85);
  Fixture update(false);
  update.Dispatch(payload);
  EXPECT_EQ(update.st.ReplyCode, 85);
  EXPECT_TRUE(update.st.Busy);
  EXPECT_TRUE(update.t.calls.isEmpty()) << "code 2 is skipped on other pages";

  Fixture recorder(true, 77);
  recorder.Dispatch(payload);
  EXPECT_EQ(recorder.st.ReplyCode, 77);
  EXPECT_TRUE(recorder.st.Busy);
  EXPECT_EQ(recorder.t.calls, QStringList{"grip 0"});
}

TEST(Dispatcher, GeneralTableRecords) {
  const QByteArray version = QByteArray("\x12\x07\x00\x00\x1B\x0A\x09\x01", 8);
  const Case cases[] = {
      {"version then status", version + Status(90), 90, true, {"version 7"}},
      {"skip 192 is 8 bytes", Word(192) + Word(0x55) + Status(0), 0, true, {}},
      {"unknown code drops the rest", Status(0x33) + Status(85), -1, false, {}},
      {"slot record takes the rest", Status(16) + QByteArray(252, 0x55), -1, true, {"slot 256"}},
      {"status after slot is not read", Status(0) + Status(16) + Status(90), 0, true, {"slot 8"}},
      // Records cut short by the payload's end are not handled.
      {"version cut short", Status(85) + version.left(6), 85, true, {}},
      {"status of two bytes", QByteArray("\x5A\x00", 2), -1, true, {}},
      {"unknown first byte of two", QByteArray("\x33\x00", 2), -1, false, {}},
      {"skip 192 cut short", Status(90) + Word(192), 90, true, {}},
  };
  RunTable(false, cases);
}

TEST(Dispatcher, RecorderTableRecords) {
  const QByteArray entry = Padded(Rec(269) + QByteArray("rec\x06", 4), 32, 0);  // name holds a 6 byte
  const QByteArray header = Padded(Rec(525) + QByteArray("\x10\x00\x00\x00", 4), 8, 0);
  const QByteArray block = Padded(Rec(781, 3), 4100, 0x06);
  const Case cases[] = {
      {"end marker", Rec(6), 6, true, {}},
      {"grip moves by the parameter", Rec(2, 40) + Rec(2, 2), -1, true, {"grip 40", "grip 2"}},
      // After a list entry, header or block the next record starts behind the
      // whole record, not inside its body.
      {"entry then end", entry + Rec(6), 6, true, {"entry rec\x06"}},
      {"header then end", header + Rec(6), 6, true, {"header 0"}},
      {"block then status", block + Rec(85), -1, true, {"block 3"}},
      {"unknown code", Rec(0x0E0D) + Rec(6), -1, false, {}},
      {"payload of two bytes is ignored", QByteArray("\x06\x00", 2), -1, true, {}},
      {"general version code is unknown here", Padded(Rec(18), 8, 0), -1, false, {}},
      {"block cut short is not handled", block.left(100), -1, true, {}},
      {"entry cut short is not handled", entry.left(31), -1, true, {}},
  };
  RunTable(true, cases);
}

TEST(Dispatcher, ScanningRoutesByPage) {
  Fixture other(false);
  other.st.Scanning = true;
  other.Dispatch(Status(85) + Status(0) + QByteArray(3, 1));
  EXPECT_EQ(other.t.calls, QStringList{"scan 11"});
  EXPECT_EQ(other.st.ReplyCode, -1);

  Fixture recorder(true);
  recorder.st.Scanning = true;
  recorder.Dispatch(Rec(6));
  EXPECT_TRUE(recorder.t.calls.isEmpty()) << "read with the recorder table, not as scan data";
  EXPECT_EQ(recorder.st.ReplyCode, 6);
}

TEST(Dispatcher, PageIsAskedAgainForEveryRecord) {
  Fixture r(true);
  r.t.onGrip = [&] { r.t.recorder = false; };  // the page changes under the payload
  r.Dispatch(Rec(2, 5) + Status(90) + Status(2));
  EXPECT_EQ(r.t.calls, QStringList{"grip 5"});
  EXPECT_EQ(r.st.ReplyCode, 90) << "later records use the general table";
}

TEST(Dispatcher, EmptyPayloadIsIgnored) {
  for (int32_t length : {0, -1, -4}) {
    Fixture r(false);
    const uint8_t byte = 0x33;
    DispatchFrame(&byte, length, r.st, r.t);
    EXPECT_TRUE(r.st.Busy);
    EXPECT_EQ(r.st.ReplyCode, -1);
  }
}
