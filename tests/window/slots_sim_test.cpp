// The simulated device's memory slots, spoken to by a plain blocking client.
#include "WindowFixture.h"
#include "sim/Slots.h"

#include <QTcpSocket>

using zelsim::TSlotsFunction;

namespace {

// Sends `request` and returns the whole frame that answers it.
QByteArray Ask(QTcpSocket& s, const QByteArray& request) {
  s.write(request);
  s.waitForBytesWritten(2000);
  QByteArray frame;
  while (frame.size() < 2 || frame.size() < (uint8_t(frame[0]) | uint8_t(frame[1]) << 8)) {
    if (s.bytesAvailable() == 0 && !s.waitForReadyRead(2000)) break;
    frame += s.readAll();
  }
  return frame;
}

int SlotOf(const QByteArray& frame) { return frame.size() >= 12 ? uint8_t(frame[8]) | uint8_t(frame[9]) << 8 : -1; }

}  // namespace

TEST(SimulatedSlots, ReadsInOrderOrByNumberAndStoresWrites) {
  zelsim::TSimulator sim;
  ASSERT_TRUE(sim.Start());
  TSlotsFunction& device = *sim.Function<TSlotsFunction>();
  QTcpSocket s;
  s.connectToHost(QStringLiteral("127.0.0.1"), sim.Port());
  ASSERT_TRUE(s.waitForConnected(2000));

  struct Case {
    QByteArray request;
    int slot;  // the slot the answer carries; 0: a status record
    uint8_t status;
  };
  QByteArray record(256, '\x42');
  const Case cases[] = {
      {Bytes({0x10}), 1, 0},
      {Bytes({0x10}), 2, 0},
      {Bytes({0x10, 63, 0, 0, 0}), 63, 0},
      {Bytes({0x10}), 1, 0},  // after 63 comes 1
      {Bytes({0x10, 7, 0, 0, 0}), 7, 0},
      {Bytes({0x11, 9, 0, 0}) + record, 0, 0},  // stored
      {Bytes({0x10}), 8, 0},
      {Bytes({0x10}), 9, 0},
      {Bytes({0x11, 0, 0, 0}) + record, 0, 90},  // no slot 0
      {Bytes({0x11, 64, 0, 0}) + record, 0, 90},
  };
  for (const Case& c : cases) {
    const QByteArray frame = Ask(s, c.request);
    if (c.slot) {
      ASSERT_EQ(frame.size(), 4 + 256) << c.slot;
      EXPECT_EQ(SlotOf(frame), c.slot);
      const QByteArray expected = c.slot == 9 ? record : TSlotsFunction::InitialSlot(c.slot);
      EXPECT_EQ(frame.mid(12), expected.left(248)) << c.slot;
    } else {
      EXPECT_EQ(frame, zelsim::Frame(zelsim::StatusRecord(c.status)));
    }
  }
  EXPECT_EQ(device.Slot(9), record);
  EXPECT_EQ(device.WritesStored(), QList<int>{9});
  EXPECT_EQ(device.ReadsServed(), (QList<int>{1, 2, 63, 1, 7, 8, 9}));
}
