// status: which image the device runs and its version text.
#include "cli/Cli.h"
#include "core/frames/DeviceState.h"
#include "ops/BlockingRun.h"
#include "ops/StatusSteps.h"

#include <QJsonObject>

bool QueryDevice(TBlockingLink& link, TDeviceInfo& info) {
  if (!link.Open()) return false;
  TStatusOperation status;
  if (!RunToDone(link, status)) return false;
  switch (status.Image()) {
    case TRunningImage::Factory: info.image = QStringLiteral("factory"); break;
    case TRunningImage::Application: info.image = QStringLiteral("application"); break;
    case TRunningImage::Unknown: info.image = QStringLiteral("unknown"); return true;
  }
  // The version query is answered with a version record only.
  TVersionOperation version;
  if (!RunToDone(link, version)) return false;
  info.version = VersionTextFromRecord(version.Record());
  return true;
}

int CmdStatus(const TCli& cli, const QStringList& args) {
  const TArgs a = ParseArgs(args, {}, {});
  if (!a.error.isEmpty()) return UsageError(QStringLiteral("status"), a.error);
  if (!a.plain.isEmpty()) return UsageError(QStringLiteral("status"), QStringLiteral("no arguments expected"));
  auto link = cli.Link();
  TDeviceInfo info;
  if (!QueryDevice(*link, info)) return cli.Fail(EXIT_DEVICE, FailureWithoutFiles(*link));
  cli.Print(QStringLiteral("image: %1").arg(info.image));
  if (!info.version.isEmpty()) cli.Print(QStringLiteral("version: %1").arg(info.version));
  QJsonObject o{{QStringLiteral("image"), info.image}};
  o.insert(QStringLiteral("version"), info.version.isEmpty() ? QJsonValue() : QJsonValue(info.version));
  cli.Json(o);
  return EXIT_OK;
}
