// The facts of a recording's header kept beside its raw copy: written and
// read back, and refused where they say two things.
#include "core/recorder/RawCopyFacts.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

namespace {

TRawCopyFacts Facts(uint8_t flags, uint32_t units) {
  TRawCopyFacts f;
  f.index = 7;
  f.name = QStringLiteral("REC \u00c4 7");
  f.header = QByteArray::fromHex("0d02").append(char(0x11)).append(char(flags));
  for (int i = 0; i < 4; ++i) f.header.append(char((units >> (8 * i)) & 0xFF));
  f.flags = flags;
  f.units = units;
  return f;
}

}  // namespace

TEST(RawCopyFacts, EveryFormatReadsBackAsWritten) {
  const struct {
    uint8_t flags;
    uint32_t units;
    int rate, layout, bits;
  } cases[] = {{0, 16, 40960, 4096, 24},
               {1, 17, 81920, 4096, 32},
               {2 | 4, 1, 122880, 256, 32},
               {3 | 4, 0xFFFFFFFFu, 163840, 256, 32},
               {0xF8, 300, 40960, 4096, 24}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    const TRawCopyFacts facts = Facts(c.flags, c.units);
    const QByteArray json = RawFactsJson(facts);
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(o.value("rate").toInt(), c.rate);
    EXPECT_EQ(o.value("layout").toInt(), c.layout);
    EXPECT_EQ(o.value("bitsPerSample").toInt(), c.bits);
    const TRawFactsRead back = ParseRawFacts(json);
    ASSERT_TRUE(back.facts) << back.error.toStdString();
    EXPECT_EQ(*back.facts, facts);
  }
  // Facts without the header's bytes or the list's number, as a hand-written file holds them.
  TRawCopyFacts least;
  least.flags = 5;
  least.units = 40;
  const TRawFactsRead back = ParseRawFacts(RawFactsJson(least));
  ASSERT_TRUE(back.facts) << back.error.toStdString();
  EXPECT_EQ(*back.facts, least);
  EXPECT_EQ(RawFactsPath(QStringLiteral("/rec/File2.HEX")), QStringLiteral("/rec/File2.HEX.json"));
}

TEST(RawCopyFacts, FactsThatSayTwoThingsAreRefused) {
  const QJsonObject good = QJsonDocument::fromJson(RawFactsJson(Facts(1 | 4, 40))).object();
  auto with = [&](const char* key, const QJsonValue& value) {
    QJsonObject o = good;
    if (value.isUndefined())
      o.remove(QLatin1String(key));
    else
      o.insert(QLatin1String(key), value);
    return QJsonDocument(o).toJson();
  };
  const struct {
    const char* what;
    QByteArray json;
    const char* says;  // nullptr: read
  } cases[] = {
      {"as written", with("name", QStringLiteral("x")), nullptr},
      {"only flags and units", QByteArray(R"({"flags": 5, "units": 40})"), nullptr},
      {"not JSON", "rate=81920", "not a JSON object"},
      {"a list", "[1, 2]", "not a JSON object"},
      {"no flags", with("flags", QJsonValue::Undefined), "\"flags\" is missing"},
      {"flags beyond a byte", with("flags", 256), "\"flags\" is missing or not a number"},
      {"no units", with("units", QJsonValue::Undefined), "\"units\" is missing"},
      {"units of a fraction", with("units", 40.5), "\"units\" is missing"},
      {"units beyond any integer", with("units", 3.3e40), "\"units\" is missing"},
      {"units beyond 32 bits", with("units", 4294967296.0), "\"units\" is missing"},
      {"rate against the flags", with("rate", 40960), "\"rate\" says 40960, but its flags 5 mean 81920"},
      {"layout against the flags", with("layout", 4096), "\"layout\" says 4096, but its flags 5 mean 256"},
      {"bits against the flags", with("bitsPerSample", 24), "\"bitsPerSample\" says 24"},
      {"header with other units", with("header", QStringLiteral("0d02110529000000")), "disagrees"},
      {"header with other flags", with("header", QStringLiteral("0d02110428000000")), "disagrees"},
      {"header cut", with("header", QStringLiteral("0d021105280000")), "disagrees"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TRawFactsRead r = ParseRawFacts(c.json);
    if (!c.says) {
      EXPECT_TRUE(r.facts) << r.error.toStdString();
      continue;
    }
    EXPECT_FALSE(r.facts);
    EXPECT_TRUE(r.error.contains(QLatin1String(c.says))) << r.error.toStdString();
  }
}
