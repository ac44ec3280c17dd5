// Test entry: one QApplication for the whole run (offscreen unless told
// otherwise), with the window's settings in a configuration folder of its own
// that each test starts with empty, as on a first start, and a data folder of
// its own.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class TFreshSettings : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    QSettings settings;
    settings.clear();
    settings.sync();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never the user's own settings.
  QTemporaryDir config;
  if (!config.isValid()) return 1;
  setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
  // Nor the user's data folder (zelctl keeps its slot backups there).
  QTemporaryDir data;
  if (!data.isValid()) return 1;
  setenv("XDG_DATA_HOME", data.path().toLocal8Bit().constData(), 1);
  // Nor the user's device locks: tests run side by side, each with its own.
  QTemporaryDir runtime;
  if (!runtime.isValid()) return 1;
  setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  // As window/main.cpp names them.
  QApplication::setApplicationName(QStringLiteral("zelpocket"));
  QApplication::setOrganizationName(QStringLiteral("zelpocket"));
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TFreshSettings);
  return RUN_ALL_TESTS();
}
