// list: index and name of every recording.
#include "cli/Cli.h"
#include "ops/BlockingRun.h"
#include "ops/ListSteps.h"
#include "core/recorder/RecordingCopy.h"

#include <QJsonArray>

bool ListRecordings(TBlockingLink& link, QList<TListedRecording>& out) {
  out.clear();
  if (!link.Open()) return false;
  TListOperation list([&](const uint8_t* record) { out.append({int(out.size()), RecordingListName(record)}); });
  return RunToDone(link, list);
}

int CmdList(const TCli& cli, const QStringList& args) {
  const TArgs a = ParseArgs(args, {}, {});
  if (!a.error.isEmpty()) return UsageError(QStringLiteral("list"), a.error);
  if (!a.plain.isEmpty()) return UsageError(QStringLiteral("list"), QStringLiteral("no arguments expected"));
  auto link = cli.Link();
  QList<TListedRecording> list;
  if (!ListRecordings(*link, list)) return cli.Fail(EXIT_DEVICE, FailureWithoutFiles(*link));
  QJsonArray rows;
  for (const TListedRecording& r : list) {
    cli.Print(QStringLiteral("%1\t%2").arg(r.index).arg(Printable(r.name)));
    rows.append(QJsonObject{{QStringLiteral("index"), r.index}, {QStringLiteral("name"), r.name}});
  }
  cli.Json(QJsonObject{{QStringLiteral("recordings"), rows}});
  return EXIT_OK;
}
