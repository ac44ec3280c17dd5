// The status query (which image runs) and the version query (the installed
// versions), as synchronise, the start-up, the WLAN search, the keep-alive
// and zelctl's status ask them.
#pragma once

#include "link/DeviceState.h"
#include "link/LinkState.h"
#include "ops/Step.h"

QByteArray StatusRequest();
QByteArray VersionRequest();

// After the status query's exchange: the image the device reports (Unknown
// for a status that names none), or a failure when no status came at all.
TStep StatusAfterReply(const TLinkState& st, TRunningImage& image);

// After the version query's exchange: done when a version record came.
TStep VersionAfterReply(bool versionCame);
