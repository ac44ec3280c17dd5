// The tool's command line: where the device is, or the built-in simulated one.
#pragma once

#include "core/Protocol.h"

#include <QString>
#include <QStringList>

#include <cstdint>

struct TCommandLine {
  QString host = QString::fromLatin1(DEFAULT_DEVICE_HOST);
  uint16_t port = DEFAULT_DEVICE_PORT;
  bool simulator = false;
  int latencyMs = 0;             // the simulated device delays every answer this long ...
  int jitterMs = 0;              // ... give or take this much (both only with simulator)
  bool showHiddenPages = false;  // the memory-slot and live pages as tabs
  bool help = false;
  bool version = false;  // --version: print the program's version
  QString error;         // non-empty: the command line is wrong; exit code 2
};

// Parses the arguments after the program name.
TCommandLine ParseCommandLine(const QStringList& arguments);
QString CommandLineUsage();
