// status: which image the device runs and its version text.
#include "cli/Cli.h"
#include "link/DeviceState.h"
#include "ops/StatusSteps.h"

#include <QJsonObject>

bool QueryDevice(TBlockingLink& link, TDeviceInfo& info) {
  link.RecorderTable = false;
  if (!link.Open()) return false;
  if (!link.Exchange(StatusRequest(), REPLY_WAITING)) return false;
  TRunningImage image = TRunningImage::Unknown;
  const TStep status = StatusAfterReply(link.State(), image);
  if (status.kind == TStep::Failed) {
    link.SetError(status.Message());
    return false;
  }
  switch (image) {
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
  const bool ok = link.Send(VersionRequest()) && link.Pump([&] { return !got; });
  link.OnVersion = nullptr;
  if (!ok) return false;
  const TStep version = VersionAfterReply(got);
  if (version.kind == TStep::Failed) link.SetError(version.Message());
  return version.kind == TStep::Done;
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
