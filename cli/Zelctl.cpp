// zelctl's command line: the options every command shares, the commands'
// help, and the choice of the command.
#include "core/CommandLine.h"
#include "core/DeviceLock.h"
#include "cli/Cli.h"
#include "sim/ZelSim.h"
#include "ZelVersion.h"

#include <QMap>

#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <io.h>
#define ZEL_ISATTY _isatty
#else
#include <unistd.h>
#define ZEL_ISATTY isatty
#endif

namespace {

struct TCommand {
  int (*run)(const TCli&, const QStringList&);
  bool needsDevice;
  const char* help;
};

const QMap<QString, TCommand>& Commands() {
  static const QMap<QString, TCommand> commands = {
      {QStringLiteral("status"),
       {&CmdStatus, true,
        "Usage: zelctl [OPTIONS] status\n"
        "Shows which image the device runs (application, factory, unknown) and its version text.\n"}},
      {QStringLiteral("list"),
       {&CmdList, true,
        "Usage: zelctl [OPTIONS] list\n"
        "Lists the index and name of every recording on the device.\n"}},
      {QStringLiteral("copy"),
       {&CmdCopy, true,
        "Usage: zelctl [OPTIONS] copy (INDEX... | --all | --new) [-o DIR] [--raw] [--name TEMPLATE] [--overwrite]\n"
        "Copies recordings into DIR (default: the current directory) as WAV files.\n"
        "  INDEX...         the recordings to copy, as `list` numbers them\n"
        "  --all            every recording\n"
        "  --new            every recording whose file does not exist yet\n"
        "  -o, --output DIR the folder the files go to; made when missing\n"
        "  --overwrite      replace existing files (without it an existing file is refused\n"
        "                   before anything is copied: recording numbers shift when\n"
        "                   recordings are deleted, so File4.WAV may hold another one)\n"
        "  --raw            store the raw copy (.HEX) instead of decoding it to WAV\n"
        "                   and keep its header's facts beside it in FILE.HEX.json\n"
        "  --name TEMPLATE  file name from {index} and {name}, e.g. '{index}-{name}';\n"
        "                   the extension is added (default: File{index})\n"
        "A file appears only once its copy is complete.\n"}},
      {QStringLiteral("decode"),
       {&CmdDecode, false,
        "Usage: zelctl decode FILE.HEX [--rate 40960|81920|122880|163840] [--layout 4096|256] [-o FILE.WAV]\n"
        "Decodes a raw copy into a WAV file; no device is needed.\n"
        "  --rate R           the recording's rate\n"
        "  --layout S         the recording's sub-block size\n"
        "  -o, --output FILE  the WAV file (default: FILE.HEX's name with .WAV); - for standard output\n"
        "Without --rate and --layout both are taken from FILE.HEX.json, the facts of the\n"
        "recording's header that copy --raw keeps beside the raw copy; a flag that\n"
        "contradicts them is refused (exit 3).\n"}},
      {QStringLiteral("screenshot"),
       {&CmdScreenshot, true,
        "Usage: zelctl [OPTIONS] screenshot -o FILE [--preset P] [--area X,Y,W,H] [--frame-colour C] [--crop]\n"
        "Copies the device's screen into an 810 x 490 picture, written as BMP or PNG by FILE's extension;\n"
        "-o - writes one PNG picture to standard output.\n"
        "  --preset P        full-vga, full-wvga (default), diagram-vga or diagram-wvga\n"
        "  --area X,Y,W,H    the rectangle to copy, kept inside the preset's screen\n"
        "  --frame-colour C  colour around the copy: a name or #RRGGBB (default black)\n"
        "  --crop            write the copied rectangle alone\n"
        "  --every SECONDS   a series: a picture every SECONDS (e.g. 0.5), until --count or Ctrl-C\n"
        "  --count N         how many pictures the series takes (default: until Ctrl-C)\n"
        "In FILE, {date} becomes YYYYMMDD, {time} HHMMSS and {n} the picture's number, filled\n"
        "with zeros to the width of --count; a series needs {n} or {time} in it ({n} when\n"
        "--every is below 1). Each file is complete before the next scan starts; Ctrl-C ends\n"
        "the series at once, keeping every finished file. Exit 0 when every picture was taken\n"
        "(without --count: until Ctrl-C), 1 when a scan failed or Ctrl-C came before --count.\n"}},
      {QStringLiteral("slots"),
       {&CmdSlots, true,
        "Usage: zelctl [OPTIONS] slots read -o FILE | slots write FILE [--no-backup] [--only-changed]\n"
        "       zelctl [OPTIONS] slots diff A B | slots clear [--yes]\n"
        "Reads, writes or clears the device's 63 memory slots. FILE is a slot file (.Mem) or\n"
        "a table (.csv) with one row per slot; in a table only the name and digit may be edited.\n"
        "slots read -o - writes the table to standard output.\n"
        "  --yes   clear without asking\n"
        "  --no-backup     write without first keeping the device's slots as a dated .Mem\n"
        "                  in the data folder (default: keep them, and say where; the newest\n"
        "                  backup is used when it holds the same slots, and the newest 50 stay)\n"
        "  --only-changed  write only the slots that differ from the device's\n"
        "slots diff A B shows what differs between two sides, each a .Mem, a .csv or the\n"
        "word device: one line per changed field; exit 0 when equal, 1 when they differ.\n"}},
      {QStringLiteral("update"),
       {&CmdUpdate, true,
        "Usage: zelctl [OPTIONS] update FILE [--target pocket|lan] [--yes] [--dry-run]\n"
        "                                    [--verify-timeout SECONDS | --no-verify]\n"
        "Checks FILE against the device's versions and uploads it. The device then restarts;\n"
        "zelctl waits for it to come back and checks that it runs FILE's version.\n"
        "  --target T                pocket (\"Pocket Software\", .RPD) or lan (\"LAN Driver\", .BIN);\n"
        "                            default: by FILE's extension\n"
        "  --yes                     answer Yes to the checks' questions (needed without a terminal)\n"
        "  --dry-run                 run every check, then show the requests without sending any\n"
        "  --verify-timeout SECONDS  how long to wait for the device to come back (default 60)\n"
        "  --no-verify               do not wait for the device; the update is not verified\n"
        "Exit code 1 also when the device comes back with another version or not at all.\n"}},
      {QStringLiteral("doctor"),
       {&CmdDoctor, true,
        "Usage: zelctl [OPTIONS] doctor\n"
        "Finds out, step by step, why the device can or cannot be used, and prints each\n"
        "step's finding with what to do next:\n"
        "  address     the address used (the default or --device)\n"
        "  network     whether this PC has an address on the device's network, and its interfaces\n"
        "  wifi        through NetworkManager: the Wi-Fi network of each wireless interface and\n"
        "              the access points in range (skipped, saying why, where it does not run)\n"
        "  lock        whether another program holds the device's link\n"
        "  connection  refused, timed out, accepted but silent, or answered: the image and version\n"
        "--timeout MS bounds the connect and each answer. With --json the steps are an array.\n"
        "Exit 0 only when the device answers; 4 when another program holds its link.\n"}},
  };
  return commands;
}

}  // namespace

QString ProgramHelp() {
  return QStringLiteral(
             "Usage: zelctl [--device HOST[:PORT] | --simulator [--latency MS] [--jitter MS]] [--json] [--timeout MS]\n"
             "              COMMAND ...\n"
             "Works with the device from the command line.\n"
             "\n"
             "Commands:\n"
             "  status      which image runs, and the version text\n"
             "  list        the recordings on the device\n"
             "  copy        copy recordings into WAV or raw files\n"
             "  decode      decode a raw copy into a WAV file\n"
             "  screenshot  copy the device's screen into a BMP or PNG file\n"
             "  slots       read, write, compare (diff) or clear the memory slots\n"
             "  update      check and upload a firmware file\n"
             "  doctor      find out step by step why the device can or cannot be used\n"
             "\n"
             "Options:\n"
             "  --device HOST[:PORT]  address of the device (default %1:%2)\n"
             "  --simulator           use a built-in simulated device on 127.0.0.1\n"
             "  --latency MS          with --simulator: delay every answer by MS milliseconds, as over Wi-Fi\n"
             "  --jitter MS           with --simulator: vary each delay by up to MS milliseconds either way\n"
             "  --json                machine-readable output on standard output\n"
             "  --timeout MS          how long to wait for an answer (default %3)\n"
             "  --wait SECONDS        when another program holds the device, wait up to SECONDS for it\n"
             "  --help                this text; COMMAND --help for a command's\n"
             "  --version             the program's version\n"
             "\n"
             "Exit codes: 0 success, 1 device error or time-out, 2 usage, 3 refused by a check,\n"
             "            4 another program holds the device's link.\n")
      .arg(QString::fromLatin1(DEFAULT_DEVICE_HOST))
      .arg(DEFAULT_DEVICE_PORT)
      .arg(kWatchdogMs);
}

QString CommandHelp(const QString& command) {
  const auto it = Commands().find(command);
  return it == Commands().end() ? ProgramHelp() : QString::fromUtf8(it->help);
}

namespace {
bool g_json = false;  // --json was given: a usage error is reported as JSON as well

// The simulated device's delay options, passed on with the address options.
bool IsDelayOption(const QString& a) {
  for (const char* name : {"--latency", "--jitter"}) {
    if (a == QLatin1String(name) || a.startsWith(QLatin1String(name) + QLatin1Char('='))) return true;
  }
  return false;
}
}  // namespace

int UsageError(const QString& command, const QString& message) {
  const QString who = command.isEmpty() ? QStringLiteral("zelctl") : QStringLiteral("zelctl ") + command;
  std::fprintf(stderr, "%s: %s (see %s --help)\n", qPrintable(who), qPrintable(message), qPrintable(who));
  if (g_json)
    WriteStandardOutput(JsonLine(QJsonObject{
        {QStringLiteral("ok"), false}, {QStringLiteral("error"), message}, {QStringLiteral("exit"), EXIT_USAGE}}));
  return EXIT_USAGE;
}

namespace {

// Whether --json is among the shared options, wherever they stand: a usage
// error found before it is reported as JSON as well.
bool WantsJson(const QStringList& arguments) {
  for (const QString& a : arguments) {
    if (a == QLatin1String("--")) return false;
    if (a == QLatin1String("--json")) return true;
  }
  return false;
}

int RunCommand(const QStringList& arguments);

// Whether the command talks to the device: slots diff only when one side is
// the device.
bool UsesDevice(const QString& name, const QStringList& rest) {
  if (name != QLatin1String("slots") || rest.value(0) != QLatin1String("diff")) return true;
  return rest.mid(1).contains(QStringLiteral("device"));
}

}  // namespace

int RunZelctl(const QStringList& arguments) {
  int code = RunCommand(arguments);
  if (const QString failure = CloseStandardOutput(); !failure.isEmpty()) {
    std::fprintf(stderr, "zelctl: standard output cannot be written: %s\n", qPrintable(failure));
    if (code == EXIT_OK) code = EXIT_DEVICE;
  }
  return code;
}

namespace {

int RunCommand(const QStringList& arguments) {
  g_json = WantsJson(arguments);
  // The shared options, wherever they stand.
  QStringList device;
  bool simulator = false, json = false, help = false;
  int timeoutMs = kWatchdogMs;
  // --timeout MS or --timeout=MS at `at`; moves past its value.
  auto takeTimeout = [&](const QStringList& args, int& at) {
    const QString& a = args[at];
    QString value;
    if (a.startsWith(QLatin1String("--timeout=")))
      value = a.mid(10);
    else if (at + 1 < args.size())
      value = args[++at];
    bool ok = false;
    timeoutMs = value.toInt(&ok);
    if (ok && timeoutMs >= 1) return true;
    UsageError(QString(), QStringLiteral("--timeout needs a number of milliseconds above 0"));
    return false;
  };
  int waitSeconds = 0;
  // --wait SECONDS or --wait=SECONDS at `at`; moves past its value.
  auto takeWait = [&](const QStringList& args, int& at) {
    const QString& a = args[at];
    QString value;
    if (a.startsWith(QLatin1String("--wait=")))
      value = a.mid(7);
    else if (at + 1 < args.size())
      value = args[++at];
    bool ok = false;
    waitSeconds = value.toInt(&ok);
    if (ok && waitSeconds >= 0 && waitSeconds <= 86400) return true;
    UsageError(QString(), QStringLiteral("--wait needs a number of seconds from 0 to 86400"));
    return false;
  };
  auto isWait = [](const QString& a) { return a == QLatin1String("--wait") || a.startsWith(QLatin1String("--wait=")); };
  // The shared options may stand before the command and after it, up to a
  // "--": before the command it says that the command follows, after it
  // every further argument is the command's.
  QString name;
  bool named = false;  // the command has come
  QStringList rest;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == QLatin1String("--")) {
      if (named) {
        rest << arguments.mid(i);
        break;
      }
      if (++i < arguments.size()) {
        name = arguments[i];
        named = true;
      }
    } else if (a == QLatin1String("--simulator")) {
      simulator = true;
    } else if (a == QLatin1String("--json")) {
      json = true;
    } else if (a == QLatin1String("--device") || a.startsWith(QLatin1String("--device="))) {
      device << a;
      if (a == QLatin1String("--device") && i + 1 < arguments.size()) device << arguments[++i];
    } else if (IsDelayOption(a)) {
      device << a;
      if (!a.contains(QLatin1Char('=')) && i + 1 < arguments.size()) device << arguments[++i];
    } else if (a == QLatin1String("--timeout") || a.startsWith(QLatin1String("--timeout="))) {
      if (!takeTimeout(arguments, i)) return EXIT_USAGE;
    } else if (isWait(a)) {
      if (!takeWait(arguments, i)) return EXIT_USAGE;
    } else if (named) {
      rest << a;
    } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      help = true;
    } else if (a == QLatin1String("--version")) {
      WriteStandardOutput("zelctl " ZEL_VERSION "\n");
      return EXIT_OK;
    } else if (a.startsWith(QLatin1Char('-'))) {
      return UsageError(QString(), QStringLiteral("unknown option \"%1\"").arg(a));
    } else {
      name = a;
      named = true;
    }
  }
  if (!named) {
    if (help) {
      WriteStandardOutput(ProgramHelp().toLocal8Bit());
      return EXIT_OK;
    }
    return UsageError(QString(), QStringLiteral("which command?"));
  }
  const auto command = Commands().find(name);
  if (command == Commands().end()) {
    return UsageError(QString(), QStringLiteral("unknown command \"%1\"").arg(name));
  }
  if (help || rest.contains(QStringLiteral("--help")) || rest.contains(QStringLiteral("-h"))) {
    WriteStandardOutput(command->help);
    return EXIT_OK;
  }

  // The device's address (or the simulated device and its delays), by the window's rules.
  QStringList addressArgs = device;
  if (simulator) addressArgs << QStringLiteral("--simulator");
  const TCommandLine where = ParseCommandLine(addressArgs);
  if (!where.error.isEmpty()) {
    return UsageError(QString(), where.error);
  }

  TCli cli;
  cli.host = where.host;
  cli.port = where.port;
  cli.json = json;
  cli.terminal = ZEL_ISATTY(0) != 0;
  cli.progress = !json && ZEL_ISATTY(2) != 0;
  cli.timeoutMs = timeoutMs;
  cli.waitSeconds = waitSeconds;
  cli.deviceGiven = !device.isEmpty();

  std::unique_ptr<zelsim::TSimulator> sim;
  if (simulator && command->needsDevice) {
    sim = std::make_unique<zelsim::TSimulator>();
    zelsim::ModelDevice(*sim, where.latencyMs, where.jitterMs);
    if (!sim->Start(0))
      return cli.Fail(EXIT_DEVICE,
                      QStringLiteral("The simulated device could not be started: %1").arg(sim->StartError()));
    cli.host = QStringLiteral("127.0.0.1");
    cli.port = sim->Port();
    cli.simulated = true;
  }
  // One program per device: the command holds the device's lock while it
  // runs (doctor looks at the lock as one of its steps).
  TDeviceLock lock(cli.host, cli.port);
  if (command->needsDevice && name != QLatin1String("doctor") && UsesDevice(name, rest)) {
    if (const int code = TakeDeviceLock(cli, lock); code != EXIT_OK) return code;
  }
  return command->run(cli, rest);
}

}  // namespace
