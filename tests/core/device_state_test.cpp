// The version text and what a status reply says about the running image.
#include "core/frames/DeviceState.h"

#include <gtest/gtest.h>

TEST(VersionText, BuiltFromTheRecordFields) {
  struct Case {
    uint8_t lan;
    uint16_t device;
    int16_t firmware;
    const char* text;
  };
  const Case cases[] = {
      {3, 0x0A1B, 0x109, "LAN V03; ZEL0A1B V109"},   {0xAB, 0xFFFF, 0, "LAN VAB; ZELFFFF V000"},
      {0, 0, 0xFFF, "LAN V00; ZEL0000 VFFF"},        {3, 0x0A1B, 0x1234, "LAN V03; ZEL0A1B V1234"},
      {3, 0x0A1B, -1, "LAN V03; ZEL0A1B VFFFFFFFF"}, {3, 0x0A1B, -32768, "LAN V03; ZEL0A1B VFFFF8000"},
  };
  for (const Case& c : cases) EXPECT_EQ(VersionText(c.lan, c.device, c.firmware), QString::fromLatin1(c.text));
  // Fixed positions for firmware up to 0xFFF: 7 = LAN's last digit, 21 = firmware's.
  const QString t = VersionText(0x1C, 0x0A1B, 0x10E);
  ASSERT_EQ(t.size(), 21);
  EXPECT_EQ(t[6], QLatin1Char('C'));
  EXPECT_EQ(t[20], QLatin1Char('E'));
}

TEST(VersionText, FromRecordBytes) {
  const uint8_t record[8] = {0x12, 0x03, 0xEE, 0xEE, 0x1B, 0x0A, 0xFF, 0xFF};
  EXPECT_EQ(VersionTextFromRecord(record), QStringLiteral("LAN V03; ZEL0A1B VFFFFFFFF"));
}

TEST(RunningImage, FromStatusReply) {
  EXPECT_EQ(ImageFromReply(90), TRunningImage::Factory);
  EXPECT_EQ(ImageFromReply(85), TRunningImage::Application);
  for (int32_t other : {0, 5, -1, 1, 6, 255}) EXPECT_EQ(ImageFromReply(other), TRunningImage::Unknown) << other;
}
