// copy: recordings into WAV or raw files, each appearing only when complete.
#include "cli/Cli.h"
#include "core/SafeSave.h"
#include "ops/BlockingRun.h"
#include "ops/CopySteps.h"
#include "core/recorder/RawCopyFacts.h"
#include "core/recorder/RecorderRequests.h"
#include "core/recorder/RecordingCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QMap>

#include <cstdio>
#include <optional>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

QString TargetName(const QString& pattern, const TListedRecording& r, bool wav) {
  if (pattern.isEmpty()) return RecordingFileName(r.index, wav);
  QString name = pattern;
  name.replace(QLatin1String("{index}"), QString::number(r.index));
  name.replace(QLatin1String("{name}"), r.name.trimmed());
  return SafeFileName(name) + (wav ? QLatin1String(".WAV") : QLatin1String(".HEX"));
}

// Keeps the facts of a raw copy's header beside it; a file of facts from an
// earlier copy does not stay beside the new one.
bool KeepRawFacts(const TListedRecording& rec, const TRecorderState& r, const QString& path, QString& error) {
  const QString factsPath = RawFactsPath(path);
  TRawCopyFacts facts;
  facts.index = rec.index;
  facts.name = rec.name == QLatin1String(" ") ? QString() : rec.name;  // the list shows an empty name as a blank
  facts.header = QByteArray(reinterpret_cast<const char*>(r.Header.data()), qsizetype(r.Header.size()));
  facts.flags = r.RecordingFlags;
  facts.units = r.RecordingUnits;
  QString why;
  if (SaveWhole(factsPath, RawFactsJson(facts), &why)) return true;
  if (QFileInfo(factsPath).isFile()) QFile::remove(factsPath);  // stale facts go; a FIFO or device stays
  error = QStringLiteral("%1 was copied, but its recording's facts cannot be kept in %2: %3. Decode it with --rate %4 "
                         "--layout %5.")
              .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(factsPath), why)
              .arg(RecordingRate(facts.flags))
              .arg(RecordingLayout(facts.flags));
  return false;
}

// Copies one recording into `path`. False with the reason in `error`.
bool CopyOne(const TCli& cli, TBlockingLink& link, const TListedRecording& rec, const QString& path, bool wav,
             uint64_t& bytesWritten, QString& error) {
  TRecorderState r;
  auto file = std::make_unique<TRecordingFile>(path, wav);
  if (!file->Open()) {
    error = QStringLiteral("%1 %2 cannot be created: %3. Choose another folder with -o.")
                .arg(QString::fromLatin1(OutcomeText(TOutcome::CopyWriteFailed)), QDir::toNativeSeparators(path),
                     file->ErrorString());
    return false;
  }
  BeginRecordingCopy(r, std::move(file), wav);
  r.Mode = TRecorderMode::Copying;
  std::optional<TProgress> progress;
  TCopyOperation copy(r, uint8_t(rec.index), [&] {
    if (!r.HeaderSeen) return;
    if (!progress) progress.emplace(cli, QFileInfo(path).fileName(), uint64_t(r.RecordingUnits) * 256u);
    progress->Update(uint64_t(std::min(r.UnitsReceived, r.RecordingUnits)) * 256u);
  });
  TStep end;
  bool done = RunOperation(link, copy, &end);
  if (!done) {
    error = link.Error();
  } else if (end.kind == TStep::Failed) {
    done = false;
    error = end.outcome == TOutcome::CopyWriteFailed
                ? QStringLiteral("%1 %2 could not be completed: %3.")
                      .arg(QString::fromLatin1(end.Text()), QDir::toNativeSeparators(path),
                           r.File ? r.File->ErrorString() : QString())
                : end.Message();
  }
  if (done && !wav && !KeepRawFacts(rec, r, path, error)) done = false;
  bytesWritten = r.BytesWritten;
  r.File.reset();  // not committed: the temporary file is removed
  return done;
}

// The longest file name the folder takes, in bytes of the system's encoding.
qsizetype LongestName(const QString& dir) {
#ifndef _WIN32
  for (QString at = QFileInfo(dir).absoluteFilePath();; at = QFileInfo(at).path()) {
    if (QFileInfo(at).isDir()) {
      const long most = ::pathconf(QFile::encodeName(at).constData(), _PC_NAME_MAX);
      if (most > 0) return qsizetype(most);
      break;
    }
    if (QFileInfo(at).isRoot() || at.isEmpty()) break;
  }
#else
  Q_UNUSED(dir);
#endif
  return 255;
}

// A file is written beside its target under the target's name and a suffix
// of 7 characters, then put in its place.
constexpr qsizetype kTemporarySuffix = 7;

}  // namespace

int CmdCopy(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("copy");
  const TArgs a = ParseArgs(
      args, {QStringLiteral("--all"), QStringLiteral("--new"), QStringLiteral("--raw"), QStringLiteral("--overwrite")},
      {QStringLiteral("-o"), QStringLiteral("--output"), QStringLiteral("--name")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
  const bool all = a.Has(QStringLiteral("--all")), fresh = a.Has(QStringLiteral("--new"));
  if (int(all) + int(fresh) + int(!a.plain.isEmpty()) != 1)
    return UsageError(cmd, QStringLiteral("give the recordings to copy: INDEX..., --all or --new"));
  QList<int> indexes;
  for (const QString& p : a.plain) {
    bool ok = false;
    const int n = p.toInt(&ok);
    if (!ok || n < 0 || n > kMaxRecordingIndex)
      return UsageError(cmd,
                        QStringLiteral("\"%1\" is not a recording index from 0 to %2").arg(p).arg(kMaxRecordingIndex));
    if (!indexes.contains(n)) indexes << n;
  }
  if (a.Value(QStringLiteral("-o")) && a.Value(QStringLiteral("--output")))
    return UsageError(cmd, QStringLiteral("-o and --output given both"));
  const QString dir =
      a.Value(QStringLiteral("-o")).value_or(a.Value(QStringLiteral("--output")).value_or(QStringLiteral(".")));
  // A missing folder is made once the device has listed the recordings and
  // every name has been checked; a file in its place is refused now.
  if (QFileInfo(dir).exists() && !QFileInfo(dir).isDir())
    return UsageError(cmd, QStringLiteral("\"%1\" is not a folder; choose another with -o").arg(dir));
  const bool overwrite = a.Has(QStringLiteral("--overwrite"));
  if (overwrite && fresh) return UsageError(cmd, QStringLiteral("--new and --overwrite exclude each other"));
  const QString pattern = a.Value(QStringLiteral("--name")).value_or(QString());
  if (a.Value(QStringLiteral("--name")) && pattern.trimmed().isEmpty())
    return UsageError(cmd, QStringLiteral("--name needs a template such as '{index}-{name}'"));
  const bool wav = !a.Has(QStringLiteral("--raw"));

  auto link = cli.Link();
  QList<TListedRecording> list;
  if (!ListRecordings(*link, list)) return cli.Fail(EXIT_DEVICE, link->Error());
  QList<TListedRecording> chosen;
  if (all || fresh) {
    for (const TListedRecording& r : list)
      if (r.index <= kMaxRecordingIndex) chosen << r;
    if (list.size() > MAX_RECORDINGS)
      std::fprintf(stderr,
                   "zelctl: only the first %d of the %d recordings can be copied: the device is asked for a "
                   "recording by a one-byte number.\n",
                   MAX_RECORDINGS, int(list.size()));
  } else {
    for (int n : indexes) {
      if (n >= list.size())
        return cli.Fail(EXIT_DEVICE, QStringLiteral("The device has no recording %1 (it lists %2); `zelctl list` "
                                                    "shows them.")
                                         .arg(n)
                                         .arg(list.size()));
      chosen << list[n];
    }
  }

  // Two recordings must not end up in one file.
  QMap<QString, int> targets;
  for (const TListedRecording& r : chosen) {
    const QString name = TargetName(pattern, r, wav);
    const auto other = targets.constFind(name.toLower());
    if (other != targets.cend())
      return UsageError(cmd,
                        QStringLiteral("recordings %1 and %2 would both be written to \"%3\"; put {index} in --name")
                            .arg(*other)
                            .arg(r.index)
                            .arg(name));
    targets.insert(name.toLower(), r.index);
  }

  // Every name must fit the folder's file system, with the temporary name
  // it is written under first (and, for a raw copy, the file of its facts).
  const qsizetype longest = LongestName(dir) - kTemporarySuffix - (wav ? 0 : 5);
  for (const TListedRecording& r : chosen) {
    const QString name = TargetName(pattern, r, wav);
    if (QFile::encodeName(name).size() > longest)
      return UsageError(cmd,
                        QStringLiteral("the file name of recording %1 would be %2 bytes long, and a name in \"%3\" "
                                       "may have at most %4 here; shorten --name")
                            .arg(r.index)
                            .arg(QFile::encodeName(name).size())
                            .arg(dir)
                            .arg(longest));
  }

  // An existing file is not replaced without --overwrite: recording numbers
  // shift when recordings are deleted on the device, so File4.WAV may hold
  // another recording than number 4 now. Said before anything is copied.
  if (!overwrite && !fresh) {
    QStringList existing;
    for (const TListedRecording& r : chosen) {
      const QString path = QDir(dir).filePath(TargetName(pattern, r, wav));
      QStringList written(path);
      if (!wav) written << RawFactsPath(path);
      for (const QString& p : written)
        if (QFileInfo(p).isFile()) existing << QDir::toNativeSeparators(p);
    }
    if (!existing.isEmpty()) {
      QJsonArray shown;
      for (const QString& p : existing) shown.append(p);
      return cli.Fail(EXIT_REFUSED,
                      QStringLiteral("%1 %2; a file is replaced only with --overwrite (recording numbers "
                                     "shift when recordings are deleted on the device, so an existing file may hold "
                                     "another recording). --new skips existing files. Nothing was copied.")
                          .arg(existing.join(QStringLiteral(", ")),
                               existing.size() == 1 ? QStringLiteral("exists") : QStringLiteral("exist")),
                      QJsonObject{{QStringLiteral("existing"), shown}});
    }
  }

  if (!QFileInfo(dir).isDir() && !QDir().mkpath(dir))
    return cli.Fail(EXIT_DEVICE, QStringLiteral("The folder %1 cannot be created; nothing was copied. Choose another "
                                                "with -o.")
                                     .arg(QDir::toNativeSeparators(dir)));

  QJsonArray copied, skipped;
  for (const TListedRecording& r : chosen) {
    const QString path = QDir(dir).filePath(TargetName(pattern, r, wav));
    const QJsonObject entry{{QStringLiteral("index"), r.index},
                            {QStringLiteral("name"), r.name},
                            {QStringLiteral("file"), QDir::toNativeSeparators(path)}};
    if (fresh && QFileInfo::exists(path)) {
      skipped.append(entry);
      cli.Print(QStringLiteral("skipped %1 (exists)").arg(QDir::toNativeSeparators(path)));
      continue;
    }
    uint64_t bytes = 0;
    QString error;
    if (!CopyOne(cli, *link, r, path, wav, bytes, error)) {
      cli.Json(QJsonObject{{QStringLiteral("ok"), false},
                           {QStringLiteral("copied"), copied},
                           {QStringLiteral("skipped"), skipped},
                           {QStringLiteral("error"), error},
                           {QStringLiteral("exit"), EXIT_DEVICE}});
      std::fprintf(stderr, "zelctl: recording %d: %s\n", r.index, qPrintable(error));
      return EXIT_DEVICE;
    }
    QJsonObject done = entry;
    done.insert(QStringLiteral("bytes"), qint64(QFileInfo(path).size()));
    if (!wav) done.insert(QStringLiteral("facts"), QDir::toNativeSeparators(RawFactsPath(path)));
    copied.append(done);
    cli.Print(QStringLiteral("copied %1 -> %2").arg(r.index).arg(QDir::toNativeSeparators(path)));
  }
  cli.Json(QJsonObject{{QStringLiteral("copied"), copied}, {QStringLiteral("skipped"), skipped}});
  return EXIT_OK;
}
