// Program entry: style, main window, Info dialog, event loop.
#include "core/CommandLine.h"
#include "app/Info.h"
#include "app/Main_eng.h"
#include "app/Prompter.h"
#include "app/Style.h"
#include "sim/ZelSim.h"

#include <QApplication>

#include <cstdio>
#include <exception>
#include <memory>

namespace {

// Errors that escape an event handler are shown, and the program goes on.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* e) override {
    try {
      return QApplication::notify(receiver, e);
    } catch (const std::exception& ex) {
      Prompter().Error(nullptr, QString::fromLocal8Bit(ex.what()));
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zelpocket"));

  const TCommandLine cmd = ParseCommandLine(QApplication::arguments().mid(1));
  if (cmd.help) {
    std::fputs(qPrintable(CommandLineUsage()), stdout);
    return 0;
  }
  if (!cmd.error.isEmpty()) {
    std::fprintf(stderr, "zelpocket: %s\n%s", qPrintable(cmd.error), qPrintable(CommandLineUsage()));
    return 2;
  }

  try {
    QApplication::setFont(ClassicUiFont());
    ApplyVisualStyle(app);

    TFMainOptions options{cmd.host, cmd.port};
    std::unique_ptr<zelsim::Simulator> simulator;
    if (cmd.simulator) {
      simulator = std::make_unique<zelsim::Simulator>();
      if (!simulator->start(0)) {
        std::fprintf(stderr, "zelpocket: the simulated device could not be started\n");
        return 1;
      }
      options = TFMainOptions{QStringLiteral("127.0.0.1"), simulator->port()};
    }
    options.showHiddenPages = cmd.showHiddenPages;

    TFMain mainWindow(options);
    CreateInfoDialog(&mainWindow);
    mainWindow.show();
    const int rc = app.exec();
    return rc;
  } catch (const std::exception& e) {
    Prompter().Error(nullptr, QString::fromLocal8Bit(e.what()));
    return 1;
  }
}
