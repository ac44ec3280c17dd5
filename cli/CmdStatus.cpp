// status: which image the device runs and its version text.
#include "cli/Cli.h"
#include "link/DeviceState.h"

#include <QJsonObject>

bool QueryDevice(TBlockingLink& link, TDeviceInfo& info) {
  link.RecorderTable = false;
  if (!link.Open()) return false;
  if (!link.Exchange(QByteArray(1, char(REQ_STATUS)), REPLY_WAITING)) return false;  // status query
  switch (ImageFromReply(link.State().ReplyCode)) {
    case TRunningImage::Factory: info.image = QStringLiteral("factory"); break;
    case TRunningImage::Application: info.image = QStringLiteral("application"); break;
    case TRunningImage::Unknown: info.image = QStringLiteral("unknown"); return true;
  }
  // The version query is answered with a version record only.
  bool got = false;
  link.OnVersion = [&](const uint8_t* record) {
    info.version = VersionTextFromRecord(record);
    got = true;
  };
  link.Begin(REPLY_WAITING);
  const bool ok = link.Send(QByteArray(1, char(REQ_VERSION))) && link.Pump([&] { return !got; });
  link.OnVersion = nullptr;
  return ok;
}

int CmdStatus(const TCli& cli, const QStringList& args) {
  const TArgs a = ParseArgs(args, {}, {});
  if (!a.error.isEmpty()) return UsageError(QStringLiteral("status"), a.error);
  if (!a.plain.isEmpty()) return UsageError(QStringLiteral("status"), QStringLiteral("no arguments expected"));
  auto link = cli.Link();
  TDeviceInfo info;
  if (!QueryDevice(*link, info)) return cli.Fail(EXIT_DEVICE, link->Error());
  cli.Print(QStringLiteral("image: %1").arg(info.image));
  if (!info.version.isEmpty()) cli.Print(QStringLiteral("version: %1").arg(info.version));
  QJsonObject o{{QStringLiteral("image"), info.image}};
  o.insert(QStringLiteral("version"), info.version.isEmpty() ? QJsonValue() : QJsonValue(info.version));
  cli.Json(o);
  return EXIT_OK;
}
