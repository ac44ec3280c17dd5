// decode: a raw copy (.HEX) into a WAV file, offline, with the window's
// decoder and WAV writer.
#include "cli/Cli.h"
#include "core/SafeSave.h"
#include "recorder/RecordingFile.h"
#include "recorder/StreamDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

int CmdDecode(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("decode");
  const TArgs a = ParseArgs(args, {}, {QStringLiteral("--rate"), QStringLiteral("--layout"), QStringLiteral("-o"),
                                       QStringLiteral("--output")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
  if (a.plain.size() != 1) return UsageError(cmd, QStringLiteral("give one raw copy to decode"));
  const QString input = a.plain.first();

  bool ok = false;
  const int rate = a.Value(QStringLiteral("--rate")).value_or(QString()).toInt(&ok);
  if (!ok || rate % 40960 != 0 || rate < 40960 || rate > 4 * 40960)
    return UsageError(cmd, QStringLiteral("--rate must be 40960, 81920, 122880 or 163840 (the recording's rate)"));
  const QString layout = a.Value(QStringLiteral("--layout")).value_or(QString());
  if (layout != QLatin1String("4096") && layout != QLatin1String("256"))
    return UsageError(cmd, QStringLiteral("--layout must be 4096 or 256 (the recording's sub-block size)"));
  const auto flags = uint8_t((rate / 40960 - 1) | (layout == QLatin1String("256") ? kShortSubBlocks : 0));
  QString output = a.Value(QStringLiteral("-o")).value_or(a.Value(QStringLiteral("--output")).value_or(QString()));
  if (output.isEmpty()) {
    const QFileInfo in(input);
    output = in.dir().filePath(in.completeBaseName() + QStringLiteral(".WAV"));
  }
  if (SameFile(output, input))
    return UsageError(cmd, QStringLiteral("the WAV file must not replace the raw copy; choose another name with -o"));

  QFile in(input);
  if (!in.open(QIODevice::ReadOnly))
    return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be read: %2").arg(input, in.errorString()));
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
  const auto units = uint32_t(blocks * 16);

  TRecordingFile file(output, true);
  if (!file.Open() || !file.BeginWav(flags, MaxDecodedBytes(units, flags)))
    return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be written: %2. Choose another name with -o.")
                                     .arg(output, file.ErrorString()));
  std::vector<uint8_t> block(kRecordingBlockBytes), decoded(kMaxDecodedBlockBytes);
  TProgress progress(cli, QFileInfo(output).fileName(), uint64_t(size));
  for (uint64_t b = 0; b < blocks; ++b) {
    if (Interrupted()) return cli.Fail(EXIT_DEVICE, QStringLiteral("Interrupted; %1 was not written.").arg(output));
    if (in.read(reinterpret_cast<char*>(block.data()), kRecordingBlockBytes) != kRecordingBlockBytes)
      return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be read: %2").arg(input, in.errorString()));
    const size_t n = DecodeBlock(block.data(), flags, decoded.data());
    if (!file.Append(decoded.data(), n))
      return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be written: %2.").arg(output, file.ErrorString()));
    progress.Update((b + 1) * kRecordingBlockBytes);
  }
  if (!file.Commit())
    return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be written: %2.").arg(output, file.ErrorString()));
  progress.Finish();
  cli.Print(QStringLiteral("decoded %1 -> %2").arg(QDir::toNativeSeparators(input), QDir::toNativeSeparators(output)));
  cli.Json(QJsonObject{{QStringLiteral("file"), QDir::toNativeSeparators(output)},
                       {QStringLiteral("bytes"), qint64(QFileInfo(output).size())}});
  return EXIT_OK;
}
