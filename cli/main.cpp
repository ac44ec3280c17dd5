// zelctl: the device from the command line.
#include "cli/Cli.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
  GuardStandardStreams();  // before the application opens anything
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zelctl"));
  CatchInterrupts();
  return RunZelctl(QCoreApplication::arguments().mid(1));
}
