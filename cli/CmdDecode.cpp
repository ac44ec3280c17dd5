// decode: a raw copy (.HEX) into a WAV file, offline, with the window's
// decoder and WAV writer, in the format the copy kept beside it or given by
// flags.
#include "cli/Cli.h"
#include "core/InputFile.h"
#include "core/SafeSave.h"
#include "core/recorder/RawCopyFacts.h"
#include "core/recorder/RecordingFile.h"
#include "core/recorder/StreamDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <vector>

namespace {

// More than any file of facts copy --raw writes.
constexpr qint64 kMostFactsBytes = 64 * 1024;

// A recording's format as the command line names it: the header's flags
// select a rate and a sub-block size (RecordingRate, RecordingLayout), and
// --rate and --layout give them; the flags for a pair are found through the
// same two functions.
struct TFormatOption {
  const char* option;
  const char* what;  // as messages name it
  int (*of)(uint8_t flags);
};
constexpr TFormatOption kRateOption{"--rate", "rate", &RecordingRate};
constexpr TFormatOption kLayoutOption{"--layout", "sub-block size", &RecordingLayout};
constexpr int kFormatBits = kRateMask | kShortSubBlocks;

// The values an option can take, as written, in the order of the flags.
QStringList OptionValues(const TFormatOption& o) {
  QStringList values;
  for (int flags = 0; flags <= kFormatBits; ++flags) {
    const QString value = QString::number(o.of(uint8_t(flags)));
    if (!values.contains(value)) values << value;
  }
  return values;
}

// "--rate must be 40960, 81920, 122880 or 163840 (the recording's rate)"
QString MustBe(const TFormatOption& o) {
  QStringList values = OptionValues(o);
  const QString last = values.takeLast();
  return QStringLiteral("%1 must be %2 or %3 (the recording's %4)")
      .arg(QLatin1String(o.option), values.join(QStringLiteral(", ")), last, QLatin1String(o.what));
}

// The flags that select `rate` and `layout`; both are among their values.
uint8_t FormatFlags(int rate, int layout) {
  for (int flags = 0; flags <= kFormatBits; ++flags)
    if (RecordingRate(uint8_t(flags)) == rate && RecordingLayout(uint8_t(flags)) == layout) return uint8_t(flags);
  return 0;
}

struct TDecodeFormat {
  uint8_t flags = 0;
  std::optional<uint32_t> units;  // the recording's length, when its facts are kept
};

// The recording's format: from --rate and --layout, or from the facts that
// copy --raw keeps beside the raw copy, which a flag must not contradict.
// EXIT_OK, or the exit code of the refusal, reported.
int DecodeFormat(const TCli& cli, const TArgs& a, const QString& input, TDecodeFormat& format) {
  const QString cmd = QStringLiteral("decode");
  std::optional<TRawCopyFacts> facts;
  const QString factsPath = RawFactsPath(input);
  const QString shownFacts = QDir::toNativeSeparators(factsPath);
  if (QFileInfo(factsPath).isFile()) {
    QFile f;
    QString error;
    if (!OpenInputFile(f, factsPath, &error))
      return cli.Fail(EXIT_USAGE, QStringLiteral("%1 cannot be read: %2").arg(shownFacts, error));
    const QByteArray text = f.read(kMostFactsBytes + 1);
    const TRawFactsRead read = text.size() > kMostFactsBytes
                                   ? TRawFactsRead{std::nullopt, QStringLiteral("far too long")}
                                   : ParseRawFacts(text);
    if (!read.facts)
      return cli.Fail(EXIT_REFUSED,
                      QStringLiteral("%1: %2. Correct or remove it; without it, give --rate and --layout.")
                          .arg(shownFacts, read.error));
    facts = read.facts;
  }

  const std::optional<QString> rateText = a.Value(QLatin1String(kRateOption.option));
  const std::optional<QString> layout = a.Value(QLatin1String(kLayoutOption.option));
  if (!facts && !rateText && !layout)
    return UsageError(cmd, QStringLiteral("%1 has no facts file beside it (%2, which copy --raw writes): give the "
                                          "recording's --rate and --layout")
                               .arg(QDir::toNativeSeparators(input), shownFacts));
  bool ok = false;
  const int rate = rateText.value_or(QString()).toInt(&ok);
  if ((rateText || !facts) && (!ok || !OptionValues(kRateOption).contains(QString::number(rate))))
    return UsageError(cmd, MustBe(kRateOption));
  const QString layoutText = layout.value_or(QString());
  if ((layout || !facts) && !OptionValues(kLayoutOption).contains(layoutText))
    return UsageError(cmd, MustBe(kLayoutOption));
  if (!facts) {
    format.flags = FormatFlags(rate, layoutText.toInt());
    return EXIT_OK;
  }
  const struct {
    const TFormatOption& o;
    std::optional<int> given;
  } checks[] = {{kRateOption, rateText ? std::optional<int>(rate) : std::nullopt},
                {kLayoutOption, layout ? std::optional<int>(layoutText.toInt()) : std::nullopt}};
  for (const auto& c : checks) {
    const int kept = c.o.of(facts->flags);
    if (c.given && *c.given != kept)
      return cli.Fail(EXIT_REFUSED,
                      QStringLiteral("%1 %2 contradicts %3: the recording's header says %4 %5. Leave %1 out, "
                                     "or remove %3 if it belongs to another recording.")
                          .arg(QLatin1String(c.o.option))
                          .arg(*c.given)
                          .arg(shownFacts, QLatin1String(c.o.what))
                          .arg(kept));
  }
  format.flags = facts->flags;
  format.units = facts->units;
  return EXIT_OK;
}

}  // namespace

int CmdDecode(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("decode");
  const TArgs a = ParseArgs(args, {},
                            {QLatin1String(kRateOption.option), QLatin1String(kLayoutOption.option),
                             QStringLiteral("-o"), QStringLiteral("--output")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
  if (a.plain.size() != 1) return UsageError(cmd, QStringLiteral("give one raw copy to decode"));
  const QString input = a.plain.first();
  const std::optional<QString> named =
      a.Value(QStringLiteral("-o")) ? a.Value(QStringLiteral("-o")) : a.Value(QStringLiteral("--output"));
  if (named && named->isEmpty()) return UsageError(cmd, QStringLiteral("-o needs a file name"));
  if (named && IsStandardOutput(*named))
    if (const int rc = cli.OutputToStandardOutput(cmd); rc != EXIT_OK) return rc;

  TDecodeFormat format;
  if (const int rc = DecodeFormat(cli, a, input, format); rc != EXIT_OK) return rc;
  const uint8_t flags = format.flags;
  QString output = named.value_or(QString());
  if (output.isEmpty()) {
    const QFileInfo in(input);
    output = in.dir().filePath(in.completeBaseName() + QStringLiteral(".WAV"));
  }
  if (!IsStandardOutput(output)) {
    if (SameFile(output, input))
      return UsageError(cmd, QStringLiteral("the WAV file must not replace the raw copy; choose another name with -o"));
    if (SameFile(output, RawFactsPath(input)))
      return UsageError(cmd, QStringLiteral("the WAV file must not replace the raw copy's facts file; choose another "
                                            "name with -o"));
  }

  QFile in;
  if (QString error; !OpenInputFile(in, input, &error))
    return cli.Fail(EXIT_USAGE, QStringLiteral("%1 cannot be read: %2").arg(input, error));
  const qint64 size = in.size();
  if (size == 0 || size % kRecordingBlockBytes != 0)
    return cli.Fail(EXIT_REFUSED, QStringLiteral("%1 is not a raw copy: its length %2 is not a whole number of "
                                                 "%3-byte blocks. Give the .HEX file a copy wrote.")
                                      .arg(input)
                                      .arg(size)
                                      .arg(kRecordingBlockBytes));
  const uint64_t blocks = uint64_t(size) / kRecordingBlockBytes;
  if (blocks * 16 > 0xFFFFFFFFull)
    return cli.Fail(EXIT_REFUSED, QStringLiteral("%1 is longer than any recording can be.").arg(input));
  if (format.units && (uint64_t(*format.units) + 15) / 16 != blocks)
    return cli.Fail(EXIT_REFUSED, QStringLiteral("%1 holds %2 blocks of %3 bytes, but %4 describes a recording of %5 "
                                                 "units of 256 bytes. Copy it again, or remove %4 and give --rate and "
                                                 "--layout.")
                                      .arg(input)
                                      .arg(blocks)
                                      .arg(kRecordingBlockBytes)
                                      .arg(QDir::toNativeSeparators(RawFactsPath(input)))
                                      .arg(*format.units));
  const auto units = format.units.value_or(uint32_t(blocks * 16));

  const QString shown = ShownPath(output);
  std::vector<uint8_t> block(kRecordingBlockBytes), decoded(kMaxDecodedBlockBytes);
  // Each block of the raw copy in turn; false when it cannot be read.
  auto readBlock = [&] {
    return in.read(reinterpret_cast<char*>(block.data()), kRecordingBlockBytes) == kRecordingBlockBytes;
  };
  // A FIFO, a device or standard output cannot go back to the header: the
  // samples are counted first, and the header written with its length.
  std::optional<uint64_t> length;
  if (WrittenInPlace(output, TDash::StandardOutput)) {
    length = 0;
    for (uint64_t b = 0; b < blocks; ++b) {
      if (Interrupted())
        return cli.Fail(EXIT_DEVICE, QStringLiteral("Interrupted; nothing was written to %1.").arg(shown));
      if (!readBlock())
        return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be read: %2").arg(input, in.errorString()));
      *length += DecodeBlock(block.data(), flags, decoded.data());
    }
    if (!in.seek(0)) return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be read: %2").arg(input, in.errorString()));
  }
  TRecordingFile file(output, true, kRiffDataLimit, TDash::StandardOutput);
  if (!file.Open(length.has_value()) ||
      !(length ? file.BeginWavOfLength(flags, *length) : file.BeginWav(flags, MaxDecodedBytes(units, flags))))
    return cli.Fail(
        EXIT_DEVICE,
        QStringLiteral("%1 cannot be written: %2. Choose another name with -o.").arg(shown, file.ErrorString()));
  TProgress progress(cli, IsStandardOutput(output) ? shown : QFileInfo(output).fileName(), uint64_t(size));
  for (uint64_t b = 0; b < blocks; ++b) {
    if (Interrupted())
      return cli.Fail(EXIT_DEVICE, (file.InPlace() ? QStringLiteral("Interrupted; %1 got only part of the recording.")
                                                   : QStringLiteral("Interrupted; %1 was not written."))
                                       .arg(shown));
    if (!readBlock())
      return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be read: %2").arg(input, in.errorString()));
    const size_t n = DecodeBlock(block.data(), flags, decoded.data());
    if (!file.Append(decoded.data(), n))
      return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be written: %2.").arg(shown, file.ErrorString()));
    progress.Update((b + 1) * kRecordingBlockBytes);
  }
  if (!file.Commit())
    return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be written: %2.").arg(shown, file.ErrorString()));
  progress.Finish();
  cli.Print(QStringLiteral("decoded %1 -> %2").arg(QDir::toNativeSeparators(input), shown));
  cli.Json(QJsonObject{{QStringLiteral("file"), shown},
                       {QStringLiteral("bytes"), qint64(file.HeaderBytes()) + qint64(file.DataBytes())},
                       {QStringLiteral("rate"), RecordingRate(flags)},
                       {QStringLiteral("layout"), RecordingLayout(flags)}});
  return EXIT_OK;
}
