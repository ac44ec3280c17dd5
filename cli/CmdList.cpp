// list: index and name of every recording.
#include "cli/Cli.h"
#include "recorder/RecorderRequests.h"
#include "recorder/RecordingCopy.h"

#include <QJsonArray>

bool ListRecordings(TBlockingLink& link, QList<TListedRecording>& out) {
  out.clear();
  if (!link.Open()) return false;
  link.RecorderTable = true;
  link.OnListEntry = [&](const uint8_t* record) {
    out.append({int(out.size()), RecordingListName(record)});
    link.State().ReplyCode = REPLY_ENTRY_ARRIVED;
  };
  bool ok = link.Exchange(ListRequest(REQ_RECORDER_START), REPLY_RECORDER_WAITING);
  while (ok) {
    const int32_t reply = link.State().ReplyCode;
    if (reply == REPLY_NOTHING_TO_SEND) break;
    if (reply != REPLY_ENTRY_ARRIVED || !link.State().Busy) {
      link.SetError(QStringLiteral("Error on reading list: unexpected answer %1 from the device! Try again.").arg(reply));
      ok = false;
      break;
    }
    ok = link.Exchange(ListRequest(REQ_RECORDER_NEXT), REPLY_RECORDER_WAITING);
  }
  link.OnListEntry = nullptr;
  link.RecorderTable = false;
  return ok;
}

int CmdList(const TCli& cli, const QStringList& args) {
  const TArgs a = ParseArgs(args, {}, {});
  if (!a.error.isEmpty()) return UsageError(QStringLiteral("list"), a.error);
  if (!a.plain.isEmpty()) return UsageError(QStringLiteral("list"), QStringLiteral("no arguments expected"));
  auto link = cli.Link();
  QList<TListedRecording> list;
  if (!ListRecordings(*link, list)) return cli.Fail(EXIT_DEVICE, link->Error());
  QJsonArray rows;
  for (const TListedRecording& r : list) {
    cli.Print(QStringLiteral("%1\t%2").arg(r.index).arg(r.name));
    rows.append(QJsonObject{{QStringLiteral("index"), r.index}, {QStringLiteral("name"), r.name}});
  }
  cli.Json(QJsonObject{{QStringLiteral("recordings"), rows}});
  return EXIT_OK;
}
