// Firmware update page: choice of target and file, and the upload.
#include "app/FolderMemory.h"
#include "app/Main_eng.h"
#include "core/InputFile.h"
#include "app/Prompter.h"
#include "core/Timings.h"
#include "app/WindowDriver.h"
#include "link/LinkClient.h"
#include "update/UpdateCheck.h"
#include "ops/UploadSteps.h"
#include "update/UploadRequests.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

namespace {


TUpdateTarget CheckedTarget(const QRadioButton* pocket, const QRadioButton* lan) {
  if (pocket->isChecked()) return TUpdateTarget::Pocket;
  if (lan->isChecked()) return TUpdateTarget::Lan;
  return TUpdateTarget::None;
}

void ShowBox(QWidget* parent, TBoxKind kind, const QString& text) {
  switch (kind) {
    case TBoxKind::Information: Prompter().Information(parent, text); break;
    case TBoxKind::QuestionOk: Prompter().QuestionOk(parent, text); break;
    case TBoxKind::Error: Prompter().Error(parent, text); break;
  }
}

// Opens the update file, which the upload then reads as it goes. On failure
// shows why and returns false.
bool OpenUpdateImage(QWidget* parent, QFile& file, const QString& path) {
  QString error;
  if (!OpenInputFile(file, path, &error)) {
    Prompter().Error(parent, QStringLiteral("The update file cannot be read: %1").arg(error));
    return false;
  }
  if (static_cast<uint64_t>(file.size()) > UPLOAD_MAX_FILE_SIZE) {
    Prompter().Information(parent, QStringLiteral("The update file is %1 bytes long. The device accepts update "
                                                  "files of at most 4294967295 bytes; nothing was sent.")
                                       .arg(file.size()));
    return false;
  }
  // Every byte must read before the device is told to clear its memory.
  if (!ReadsToItsEnd(file, &error)) {
    Prompter().Error(parent, QStringLiteral("The update file cannot be read: %1").arg(error));
    return false;
  }
  return true;
}

// The byte counter and the bar while data goes out. Acknowledgements come far
// faster than a screen can show them, so a new count is shown at most every
// refresh interval; Show() puts the latest count up at once, before anything
// else touches the counter and before the outcome is shown.
class TSentDisplay {
 public:
  TSentDisplay(QLabel* bytes, QProgressBar* bar, uint64_t fileSize) : bytes_(bytes), bar_(bar), fileSize_(fileSize) {}

  void Acknowledged(int64_t bytesSent) {
    pending_ = bytesSent;
    if (!shown_.isValid() || shown_.hasExpired(Timings().progressRefresh)) Show();
  }
  void Show() {
    if (pending_ < 0) return;
    bytes_->setText(QString::number(pending_));
    bar_->setValue(ProgressPosition(pending_, fileSize_, bar_->maximum()));
    pending_ = -1;
    shown_.start();
  }

 private:
  QLabel* bytes_;
  QProgressBar* bar_;
  uint64_t fileSize_;
  int64_t pending_ = -1;
  QElapsedTimer shown_;
};

}  // namespace

void TFMain::RB_PocketClick() {
  OD_App_DefaultExt = QStringLiteral("*.Rpd");
  OD_App_Filter = QStringLiteral("Pocket Software *.Rpd|*.Rpd");
}

void TFMain::RB_LANClick() {
  OD_App_DefaultExt = QStringLiteral("*.Bin");
  OD_App_Filter = QStringLiteral("LAN Driver *.Bin|*.Bin");
}

void TFMain::OpenUpdateFile() {
  TFileDialog dialog;
  dialog.defaultExt = OD_App_DefaultExt;
  dialog.filter = OD_App_Filter;
  const QString path = OpenFileIn(TFolder::UpdateFile, this, dialog);
  if (path.isEmpty()) return;
  const QFileInfo info(path);
  LB_Applikation->clear();
  LB_Applikation->addItem(info.fileName());
  UpdateFilePath = info.absoluteFilePath();
}

void TFMain::B_StartClick() {
  TOperationRun operation(*this, TDeviceOperation::Update);
  if (!operation) return;
  // Preconditions.
  if (LB_Applikation->count() < 1 || !QFileInfo(UpdateFilePath).isFile() || !CB_WLAN->isChecked()) {
    Prompter().Information(this, QStringLiteral("No connection or file available!"));
    return;
  }
  QFile image;
  if (!OpenUpdateImage(this, image, UpdateFilePath)) return;
  const auto fileSize = static_cast<uint64_t>(image.size());

  // Compatibility with what the device runs.
  const TUpdateTarget target = CheckedTarget(RB_Pocket, RB_LAN);
  const QByteArray fileName = FileName8Bit(UpdateFilePath);
  SetResultText(LinkState, "No Target selected!");
  const TUpdateCheckResult check =
      CheckUpdate({target, fileName, Extension8Bit(UpdateFilePath), To8Bit(EWLANDevice->text())},
                  [this](const char* question) { return Prompter().Confirm(this, QString::fromLatin1(question)); });
  if (!check.go) {
    if (!check.asked) ShowBox(this, check.kind, QString::fromLatin1(check.refusal));
    return;
  }

  // Start request; the device answers 90 and clears its memory.
  TUploadRun run(target, &image, fileSize, fileName, check.requestCode);
  BeginExchange(REPLY_WAITING);
  SetResultText(LinkState, "File cannot be loaded into ZEL!");
  L_Bytes->setText(QStringLiteral("0"));
  B_Start->setEnabled(false);
  B_Sync->setEnabled(false);
  PC_main->setEnabled(false);
  ProcessMessages();
  SendRequest(run.StartRequest());
  WaitForReply(REPLY_WAITING);
  Timer->stop();

  if (run.AfterStart(LinkState)) {
    L_Send->setText(QStringLiteral("Clearing memory:"));
    RestartTimer(Timer2, Timings().ticker);
    TransferCommand(nullptr, 0);  // the device's next answer ends the clearing
  }
  Timer2->stop();
  PB_Sent->setValue(0);
  Session->ResetBuffer();

  // Stop and wait: one request out, one answer back.
  TSentDisplay sent(L_Bytes, PB_Sent, fileSize);
  while (LinkState.Busy && !CloseRequested) {
    WaitForReply(REPLY_WAITING);
    Timer->stop();
    if (!LinkState.Busy || CloseRequested) break;
    const TStep step = run.AfterReply(LinkState);
    switch (step.kind) {
      case TStep::Wait:  // still working: the device answers again by itself
        sent.Show();
        L_Bytes->setText(QString::number(L_Bytes->text().toLongLong() + 1));
        RestartTimer(Timer, Timings().watchdogAfterWorking);
        LinkState.ReplyCode = REPLY_WAITING;
        UploadDirectReceive();
        break;
      case TStep::Done:
        Timer2->stop();
        sent.Acknowledged(run.Acknowledged());
        sent.Show();
        LinkState.Busy = false;
        SetResultText(LinkState, step.Text().constData());
        break;
      case TStep::Send:
        Timer2->stop();
        sent.Acknowledged(run.Acknowledged());
        if (run.BytesSentCaption()) L_Send->setText(QStringLiteral("Bytes sent:"));
        LinkState.ReplyCode = REPLY_WAITING;
        RestartTimer(Timer, Timings().watchdog);
        SendRequest(step.request);
        break;
      case TStep::Failed:
        Timer2->stop();
        LinkState.Busy = false;
        SetResultText(LinkState, step.Text().constData());
        sent.Show();
        L_Bytes->setText(QStringLiteral("0"));
        break;
    }
  }
  sent.Show();

  image.close();
  Timer2->stop();
  ShowResultText();
  B_Start->setEnabled(true);
  B_Sync->setEnabled(true);
  PC_main->setEnabled(true);
}

void TFMain::UploadDirectReceive() {
  TWindowDriver driver(*this, Timings().directReceiveWait);
  Session->NextFrame(driver);
}

// Ticks while the device clears its memory: one more second shown, and the
// watchdog given another interval.
void TFMain::Timer2Timer() {
  L_Bytes->setText(QString::number(L_Bytes->text().toInt() + 1));
  RestartTimer(Timer, Timings().watchdog);
}
