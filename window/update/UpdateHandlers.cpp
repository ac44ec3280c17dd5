// Firmware update page: choice of target and file, and the upload.
#include "window/FolderMemory.h"
#include "window/Main_eng.h"
#include "core/InputFile.h"
#include "core/Outcomes.h"
#include "window/Prompter.h"
#include "core/Timings.h"
#include "window/WindowRunner.h"
#include "link/LinkClient.h"
#include "core/update/UpdateCheck.h"
#include "ops/UploadSteps.h"
#include "core/update/UploadRequests.h"

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

// The upload as the window runs it: the file, the operation, and what the
// page shows of it.
class TUploadSession : public TOperation, private IUploadView {
 public:
  TUploadSession(TFMain& w, std::unique_ptr<QFile> image, TUpdateTarget target, uint64_t fileSize,
                 const QByteArray& fileName, uint8_t requestCode)
      : w_(w), image_(std::move(image)), run_(target, image_.get(), fileSize, fileName, requestCode), op_(run_, *this),
        sent_(w.L_Bytes, w.PB_Sent, fileSize) {}

  TStep First(TLinkState& st) override { return op_.First(st); }
  TStep Next(TLinkState& st) override { return op_.Next(st); }
  // The last count is up before the outcome is shown; the file is let go.
  void Finished() {
    sent_.Show();
    image_->close();
  }

 private:
  void Clearing() override {
    w_.L_Send->setText(QStringLiteral("Clearing memory:"));
    w_.RestartTimer(w_.Timer2, Timings().ticker);
  }
  void Cleared() override {
    w_.Timer2->stop();
    w_.PB_Sent->setValue(0);
  }
  void Working() override {
    sent_.Show();
    w_.L_Bytes->setText(QString::number(w_.L_Bytes->text().toLongLong() + 1));
  }
  void Acknowledged(int64_t bytes, bool caption) override {
    w_.Timer2->stop();
    sent_.Acknowledged(bytes);
    if (caption) w_.L_Send->setText(QStringLiteral("Bytes sent:"));
  }
  void DeviceFailed() override {
    w_.Timer2->stop();
    sent_.Show();
    w_.L_Bytes->setText(QStringLiteral("0"));
  }

  TFMain& w_;
  std::unique_ptr<QFile> image_;
  TUploadRun run_;
  TUploadOperation op_;
  TSentDisplay sent_;
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
  auto image = std::make_unique<QFile>();
  if (!OpenUpdateImage(this, *image, UpdateFilePath)) return;
  const auto fileSize = static_cast<uint64_t>(image->size());

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

  // The start request; the device answers 90 and clears its memory, then
  // takes the file one request at a time.
  auto upload =
      std::make_unique<TUploadSession>(*this, std::move(image), target, fileSize, fileName, check.requestCode);
  TUploadSession& session = *upload;
  SetResultText(LinkState, OutcomeTableText(TOutcome::UploadCannotLoad));
  L_Bytes->setText(QStringLiteral("0"));
  B_Start->setEnabled(false);
  B_Sync->setEnabled(false);
  PC_main->setEnabled(false);
  StartOperation(operation, std::move(upload), [this, &session](const TStep& end) {
    session.Finished();
    // A failure of the exchange itself (the watchdog, a lost link, a code
    // nobody knows) is reported by the text it left; every other end by its own.
    if (end.outcome != TOutcome::UploadCannotLoad) SetResultText(LinkState, end.Text().constData());
    Timer2->stop();
    ShowResultText();
    B_Start->setEnabled(true);
    B_Sync->setEnabled(true);
    PC_main->setEnabled(true);
  });
}

// Ticks while the device clears its memory: one more second shown, and the
// watchdog given another interval.
void TFMain::Timer2Timer() {
  L_Bytes->setText(QString::number(L_Bytes->text().toInt() + 1));
  RestartTimer(Timer, Timings().watchdog);
}
