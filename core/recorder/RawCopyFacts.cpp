#include "core/recorder/RawCopyFacts.h"

#include "core/Bytes.h"
#include "core/recorder/StreamDecoder.h"
#include "core/recorder/WavFormat.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

int RecordingRate(uint8_t flags) { return int(SampleFormatFor(flags).sampleRate); }
int RecordingLayout(uint8_t flags) { return SubBlockBytes(flags); }

QString RawFactsPath(const QString& rawPath) { return rawPath + QStringLiteral(".json"); }

QByteArray RawFactsJson(const TRawCopyFacts& f) {
  QJsonObject o{{QStringLiteral("name"), f.name},
                {QStringLiteral("flags"), int(f.flags)},
                {QStringLiteral("rate"), RecordingRate(f.flags)},
                {QStringLiteral("bitsPerSample"), int(SampleFormatFor(f.flags).bitsPerSample)},
                {QStringLiteral("layout"), RecordingLayout(f.flags)},
                {QStringLiteral("units"), qint64(f.units)}};
  if (f.index >= 0) o.insert(QStringLiteral("recording"), f.index);
  if (!f.header.isEmpty()) o.insert(QStringLiteral("header"), QString::fromLatin1(f.header.toHex()));
  return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

TRawFactsRead ParseRawFacts(const QByteArray& json) {
  TRawFactsRead r;
  QJsonParseError parse{};
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
  if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
    r.error = QStringLiteral("not a JSON object (%1)")
                  .arg(parse.error != QJsonParseError::NoError ? parse.errorString() : QStringLiteral("no object"));
    return r;
  }
  const QJsonObject o = doc.object();
  // A whole number from `low` to `high`, or nothing.
  auto number = [&](const char* key, qint64 low, qint64 high) -> std::optional<qint64> {
    const QJsonValue v = o.value(QLatin1String(key));
    const double d = v.toDouble(-1);
    // In range first: a number beyond 64 bits has no integer to compare with.
    if (!v.isDouble() || !(d >= double(low) && d <= double(high)) || d != std::floor(d)) return std::nullopt;
    return qint64(d);
  };
  const auto flags = number("flags", 0, 255);
  const auto units = number("units", 1, 0xFFFFFFFFll);
  if (!flags || !units) {
    r.error = QStringLiteral("\"%1\" is missing or not a number the header can hold").arg(flags ? "units" : "flags");
    return r;
  }
  TRawCopyFacts f;
  f.flags = uint8_t(*flags);
  f.units = uint32_t(*units);
  f.name = o.value(QStringLiteral("name")).toString();
  f.index = int(number("recording", 0, 0x7FFFFFFF).value_or(-1));
  const struct {
    const char* key;
    int says;
  } shown[] = {{"rate", RecordingRate(f.flags)},
               {"layout", RecordingLayout(f.flags)},
               {"bitsPerSample", SampleFormatFor(f.flags).bitsPerSample}};
  for (const auto& s : shown) {
    if (!o.contains(QLatin1String(s.key))) continue;
    if (number(s.key, 0, 0x7FFFFFFF) != s.says) {
      r.error = QStringLiteral("\"%1\" says %2, but its flags %3 mean %4")
                    .arg(QLatin1String(s.key), o.value(QLatin1String(s.key)).toVariant().toString())
                    .arg(f.flags)
                    .arg(s.says);
      return r;
    }
  }
  if (o.contains(QStringLiteral("header"))) {
    const QString hex = o.value(QStringLiteral("header")).toString();
    f.header = QByteArray::fromHex(hex.toLatin1());
    const auto* h = reinterpret_cast<const uint8_t*>(f.header.constData());
    if (f.header.size() != 8 || hex.size() != 16 || h[3] != f.flags || ReadLE32(h + 4) != f.units) {
      r.error = QStringLiteral("\"header\" %1 disagrees with its flags and units").arg(hex);
      return r;
    }
  }
  r.facts = f;
  return r;
}
