// Every zelctl command that talks to the device against every fault the
// simulated device can play: each ends with exit code 1 and a message that
// names the cause, writes no file, and a link the device closes or resets
// ends it at once, not when its time-out runs out.
#include "Faults.h"
#include "link/BlockingLink.h"
#include "ops/BlockingRun.h"
#include "ops/StatusSteps.h"
#include "sim/ZelSim.h"
#include "core/slots/SlotRecord.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace {

struct Command {
  const char* name;
  uint8_t requestCode;  // the first request the fault meets
  QStringList args;     // "{in}" stands for the input folder
  // Answers the command cannot use but leaves to its time-out.
  std::vector<TLinkFault> waits;
};

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"status", 0x55, {"status"}, {TLinkFault::GeneralRecordCut}},
      {"firmware upload, Pocket", 0x0C, {"update", "{in}/ZEL74_V119.RPD", "--yes"}, {TLinkFault::GeneralRecordCut}},
      {"firmware upload, LAN", 0x09, {"update", "{in}/ZELLAN_V03.BIN", "--yes"}, {TLinkFault::GeneralRecordCut}},
      {"display scan", 0x08, {"screenshot", "-o", "s.png"}, {}},
      {"recording list", 0x0D, {"list"}, {TLinkFault::GeneralRecordCut, TLinkFault::RecorderBlockCut}},
      {"recording copy WAV", 0x0D, {"copy", "0"}, {TLinkFault::GeneralRecordCut, TLinkFault::RecorderBlockCut}},
      {"recording copy HEX",
       0x0D,
       {"copy", "0", "--raw"},
       {TLinkFault::GeneralRecordCut, TLinkFault::RecorderBlockCut}},
      {"slot read", 0x10, {"slots", "read", "-o", "s.Mem"}, {TLinkFault::GeneralRecordCut}},
      {"slot write", 0x11, {"slots", "write", "{in}/in.Mem"}, {TLinkFault::GeneralRecordCut}},
      {"slot write: the read for its backup", 0x10, {"slots", "write", "{in}/in.Mem"}, {TLinkFault::GeneralRecordCut}},
      {"slot diff with the device", 0x10, {"slots", "diff", "device", "{in}/in.Mem"}, {TLinkFault::GeneralRecordCut}},
      {"slot clear", 0x11, {"slots", "clear", "--yes"}, {TLinkFault::GeneralRecordCut}},
  };
  return commands;
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

}  // namespace

TEST(ZelctlFaultMatrix, EveryCommandExitsOneWithItsCauseAndLeavesNoFile) {
  QTemporaryDir in;
  ASSERT_TRUE(in.isValid());
  // Files the device's versions accept, and a slot table to write.
  Write(in.filePath("ZEL74_V119.RPD"), QByteArray(300, '\x5A'));
  Write(in.filePath("ZELLAN_V03.BIN"), QByteArray(300, '\x5A'));
  Write(in.filePath("in.Mem"), QByteArray(SLOT_TABLE_SIZE, '\x01'));

  for (const Command& cmd : Commands()) {
    for (const TFaultCase& fault : Faults()) {
      SCOPED_TRACE(std::string(cmd.name) + " / " + fault.name);
      const bool silent = fault.fault == TLinkFault::Silence ||
                          std::find(cmd.waits.begin(), cmd.waits.end(), fault.fault) != cmd.waits.end();
      zelsim::TSimulator sim;
      ASSERT_TRUE(sim.Start());
      fault.arm(sim, cmd.requestCode);
      QTemporaryDir out;
      ASSERT_TRUE(out.isValid());
      QStringList args = {"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port()), "--timeout",
                          // Only a silent device may take its time-out; any
                          // other fault must end the command long before this.
                          silent ? QStringLiteral("300") : QStringLiteral("600000")};
      for (const QString& a : cmd.args) args << QString(a).replace(QLatin1String("{in}"), in.path());
      QProcess p;
      p.setWorkingDirectory(out.path());
      p.start(QStringLiteral(ZELCTL_PATH), args);
      p.closeWriteChannel();
      ASSERT_TRUE(p.waitForFinished(30000)) << "still running: it waits for its time-out";
      const QString err = QString::fromUtf8(p.readAllStandardError());
      EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
      EXPECT_TRUE(err.startsWith(QLatin1String("zelctl: "))) << err.toStdString();
      if (fault.fault == TLinkFault::Reset || fault.fault == TLinkFault::Close) {
        EXPECT_TRUE(err.contains(QLatin1String("ZEL doesn't respond"))) << err.toStdString();
      } else if (silent) {
        EXPECT_TRUE(err.contains(QLatin1String("Timeout"))) << err.toStdString();
      }
      EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList()) << "no file, not even a part";
    }
  }
}

// An exchange's deadline counts from its request: a device that keeps
// sending records the exchange does not use cannot hold it open.
TEST(BlockingRun, RecordsThatChangeNothingDoNotPutTheDeadlineOff) {
  zelsim::TSimulator sim;
  ASSERT_TRUE(sim.Start());
  sim.SetFault(zelsim::TFault::Silent(REQ_STATUS));
  TBlockingLink link(QStringLiteral("127.0.0.1"), sim.Port(), 300);
  ASSERT_TRUE(link.Open());
  sim.SetStream(zelsim::Frame(zelsim::StatusRecord(2)), 50);  // a skip record, again and again
  QElapsedTimer took;
  took.start();
  TStatusOperation status;
  EXPECT_FALSE(RunOperation(link, status));
  EXPECT_EQ(link.Failure(), TOutcome::Timeout);
  EXPECT_LT(took.elapsed(), 3000);
  sim.SetStream(QByteArray(), 0);
}
