// Entry of the tests of plain logic: no window, no platform plugin.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // The device locks in a runtime folder of the run's own.
  QTemporaryDir runtime;
  if (!runtime.isValid()) return 1;
  setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
