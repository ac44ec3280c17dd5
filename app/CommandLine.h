// The tool's command line: where the device is, or the built-in simulated one.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The device's own access point hands out this network; the device sits at
// its first address.
inline constexpr const char* DEFAULT_DEVICE_HOST = "192.168.4.1";
inline constexpr uint16_t DEFAULT_DEVICE_PORT = 55555;

struct TCommandLine {
  QString host = QString::fromLatin1(DEFAULT_DEVICE_HOST);
  uint16_t port = DEFAULT_DEVICE_PORT;
  bool simulator = false;
  bool showHiddenPages = false;  // the memory-slot and live pages as tabs
  bool help = false;
  QString error;  // non-empty: the command line is wrong; exit code 2
};

// Parses the arguments after the program name.
TCommandLine ParseCommandLine(const QStringList& arguments);
QString CommandLineUsage();
