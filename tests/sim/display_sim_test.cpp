// The simulated device's display scan, seen from a plain blocking client:
// one column per acknowledgement, the requested rectangle of its screen.
#include "core/display/ScanLogic.h"
#include "sim/Scan.h"
#include "sim/ZelSim.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <array>

namespace {

using zelsim::TScanFunction;

class Client {
 public:
  explicit Client(uint16_t port) {
    sock_.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(sock_.waitForConnected(5000));
  }
  void Send(const QByteArray& b) {
    sock_.write(b);
    EXPECT_TRUE(sock_.waitForBytesWritten(5000));
  }
  // The next frame's payload (empty if none came within the bound).
  QByteArray Payload() {
    while (buf_.size() < 2 || buf_.size() < Length()) {
      if (!sock_.waitForReadyRead(5000)) return {};
      buf_.append(sock_.readAll());
    }
    const int n = Length();
    const QByteArray payload = buf_.mid(4, n - 4);
    buf_.remove(0, n);
    return payload;
  }

 private:
  int Length() const { return uint8_t(buf_[0]) | uint8_t(buf_[1]) << 8; }
  QTcpSocket sock_;
  QByteArray buf_;
};

QByteArray Column(int index, int x, int y, int rows) {
  QByteArray p(ColumnPayloadLength(rows), '\0');
  p[0] = char(index & 0xFF);
  p[1] = char(index >> 8);
  for (int r = 0; r < rows; ++r) p[2 + r] = char(TScanFunction::ScreenByte(x, y + r));
  return p;
}

TEST(DisplaySim, OneColumnPerAcknowledgementOfTheRequestedRectangle) {
  zelsim::TSimulator sim;
  ASSERT_TRUE(sim.Start());
  TScanFunction* dev = sim.Function<TScanFunction>();
  ASSERT_NE(dev, nullptr);
  Client c(sim.Port());
  const QByteArray status85 = zelsim::StatusRecord(85);

  c.Send(ScanRequest(5, 7, 3, 5));
  EXPECT_EQ(c.Payload(), zelsim::StatusRecord(0));
  EXPECT_EQ(c.Payload().toHex(' '), Column(0, 5, 7, 5).toHex(' '));
  // A status query answered in between shows that column 1 waits for its
  // acknowledgement.
  c.Send(QByteArray(1, char(0x55)));
  EXPECT_EQ(c.Payload(), status85);
  EXPECT_EQ(dev->ColumnsSent(), 1);
  c.Send(QByteArray(1, '\0'));
  EXPECT_EQ(c.Payload().toHex(' '), Column(1, 6, 7, 5).toHex(' '));
  c.Send(QByteArray(1, '\0'));
  EXPECT_EQ(c.Payload().toHex(' '), Column(2, 7, 7, 5).toHex(' '));
  // The last column needs no acknowledgement; the scan is over.
  c.Send(QByteArray(1, char(0x55)));
  EXPECT_EQ(c.Payload(), status85);
  EXPECT_FALSE(dev->Scanning());
  EXPECT_EQ(dev->Acknowledgements(), (QList<int>{1, 1}));
  EXPECT_EQ(dev->ColumnsSent(), 3);
}

TEST(DisplaySim, ScreenUsesEveryByteValue) {
  std::array<bool, 256> seen{};
  for (int y = 0; y < TScanFunction::kScreenHeight; ++y)
    for (int x = 0; x < TScanFunction::kScreenWidth; ++x) seen[TScanFunction::ScreenByte(x, y)] = true;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 256);
}

TEST(DisplaySim, CancelEndsTheScanAndIsLogged) {
  zelsim::TSimulator sim;
  ASSERT_TRUE(sim.Start());
  TScanFunction* dev = sim.Function<TScanFunction>();
  Client c(sim.Port());
  c.Send(ScanRequest(0, 0, 10, 4));
  EXPECT_EQ(c.Payload(), zelsim::StatusRecord(0));
  EXPECT_EQ(c.Payload().size(), ColumnPayloadLength(4));
  c.Send(QByteArray(1, char(0x0A)));
  c.Send(QByteArray(1, char(0x55)));
  EXPECT_EQ(c.Payload(), zelsim::StatusRecord(85)) << "no column after the cancel";
  EXPECT_EQ(dev->Cancels(), 1);
  EXPECT_FALSE(dev->Scanning());
  EXPECT_EQ(dev->ColumnsSent(), 1);
}

}  // namespace
