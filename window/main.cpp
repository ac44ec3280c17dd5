// Program entry: style, main window, Info dialog, event loop.
#include "core/CommandLine.h"
#include "window/Info.h"
#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "window/Style.h"
#include "sim/ZelSim.h"
#include "ZelVersion.h"

#include <csignal>
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

namespace {

// --help and --version: the text on standard output; true when one was asked.
bool AnswerHelpOrVersion(const TCommandLine& cmd) {
  if (cmd.help) {
    std::fputs(qPrintable(CommandLineUsage()), stdout);
    return true;
  }
  if (cmd.version) {
    std::fputs("zelpocket " ZEL_VERSION "\n", stdout);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before the toolkit starts, so that they need no display. With
  // toolkit options (-platform ...) among the arguments they are answered
  // below, once the toolkit has taken its own.
  {
    QStringList plain;
    for (int i = 1; i < argc; ++i) plain << QString::fromLocal8Bit(argv[i]);
    const TCommandLine early = ParseCommandLine(plain);
    if (early.error.isEmpty() && AnswerHelpOrVersion(early)) return 0;
  }

#ifndef _WIN32
  // A file size limit makes a save fail (and be reported, the old file kept)
  // rather than end the program.
  ::signal(SIGXFSZ, SIG_IGN);
#endif
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zelpocket"));
  QApplication::setOrganizationName(QStringLiteral("zelpocket"));
  QApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.example.zelpocket"));

  const TCommandLine cmd = ParseCommandLine(QApplication::arguments().mid(1));
  if (AnswerHelpOrVersion(cmd)) return 0;
  if (!cmd.error.isEmpty()) {
    std::fprintf(stderr, "zelpocket: %s\n%s", qPrintable(cmd.error), qPrintable(CommandLineUsage()));
    return 2;
  }

  try {
    QApplication::setFont(ClassicUiFont());
    ApplyVisualStyle(app);

    TFMainOptions options{cmd.host, cmd.port};
    std::unique_ptr<zelsim::TSimulator> simulator;
    if (cmd.simulator) {
      simulator = std::make_unique<zelsim::TSimulator>();
      zelsim::ModelDevice(*simulator, cmd.latencyMs, cmd.jitterMs);
      if (!simulator->Start(0)) {
        std::fprintf(stderr, "zelpocket: the simulated device could not be started\n");
        return 1;
      }
      options = TFMainOptions{QStringLiteral("127.0.0.1"), simulator->Port()};
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
