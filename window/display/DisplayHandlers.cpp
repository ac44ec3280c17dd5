// Display copy page: scan, capture area, frame colour and export.
#include "window/Controls.h"
#include "window/FolderMemory.h"
#include "window/PacedPaint.h"
#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "window/WindowRunner.h"
#include "core/Timings.h"
#include "core/display/BitmapExport.h"
#include "core/display/CaptureArea.h"
#include "core/display/ScanLogic.h"
#include "link/LinkClient.h"
#include "ops/ScanSteps.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

void RestartWatchdog(QTimer* timer) {
  timer->stop();
  timer->setInterval(Timings().watchdog);
  timer->start();
}

// Screen width of the selected preset's geometry.
int SelectedScreenWidth(const TFMain& w) {
  if (w.RB_GVGA->isChecked()) return ScreenWidth(TAreaPreset::FullVGA);
  if (w.RB_DVGA->isChecked()) return ScreenWidth(TAreaPreset::DiagramVGA);
  return ScreenWidth(TAreaPreset::FullWVGA);
}

TArea CurrentArea(const TFMain& w) {
  TArea a;
  a.X = w.SE_X->value();
  a.Y = w.SE_Y->value();
  a.W = w.SE_B->value();
  a.H = w.SE_H->value();
  a.ImageWidth = w.I_Scan->width();
  a.ImageHeight = w.I_Scan->height();
  return a;
}

QSpinBox* FieldBox(const TFMain& w, TAreaField field) {
  switch (field) {
    case TAreaField::X: return w.SE_X;
    case TAreaField::Y: return w.SE_Y;
    case TAreaField::W: return w.SE_B;
    case TAreaField::H: return w.SE_H;
  }
  return nullptr;
}

// The change rule of one field; a value it sets is a change of its own and
// runs the rule again (through the field's change handler).
void RunAreaRule(TFMain& w, TAreaField field) {
  QSpinBox* box = FieldBox(w, field);
  const int ruled = AreaRule(field, CurrentArea(w), SelectedScreenWidth(w));
  if (ruled != box->value()) box->setValue(ruled);
  if (field == TAreaField::W) w.I_Scan->resize(w.SE_B->value() + 10, w.I_Scan->height());
  if (field == TAreaField::H) w.I_Scan->resize(w.I_Scan->width(), w.SE_H->value() + 10);
}

void ChoosePreset(TFMain& w, TAreaPreset preset) {
  for (const TAreaStep& step : PresetSteps(preset)) FieldBox(w, step.field)->setValue(step.value);
  w.I_Scan->resize(w.SE_B->value() + 10, w.SE_H->value() + 10);
}

// Paints the visible part of the picture, (0, 0) to the image control's
// size, in the frame colour.
void PaintFrameArea(TFMain& w) {
  FillFrameArea(w.I_Scan->Picture(), w.I_Scan->width(), w.I_Scan->height(), w.CD_Rahmen_Color);
  w.I_Scan->Changed();
}

// While a scan runs, the column counter and the bar change with every
// column; they are painted at a fixed pace (the scan loop reads the
// counter's exact text), and the counter keeps one size wide enough for any
// column number (the width may change during the scan), so that a new text
// does not lay out the page. Afterwards the counter takes the size of its
// text again.
class TScanProgressDisplay {
 public:
  TScanProgressDisplay(QLabel* counter, QProgressBar* bar, int mostColumns)
      : counter_(counter), minimum_(counter->minimumSize()), maximum_(counter->maximumSize()),
        paced_(Sized(counter, mostColumns), bar) {}
  ~TScanProgressDisplay() {
    counter_->setMinimumSize(minimum_);
    counter_->setMaximumSize(maximum_);
    counter_->updateGeometry();
  }
  TScanProgressDisplay(const TScanProgressDisplay&) = delete;
  TScanProgressDisplay& operator=(const TScanProgressDisplay&) = delete;

 private:
  struct TPaced : TPacedPaint {
    TPaced(QLabel* counter, QProgressBar* bar) : TPacedPaint({counter, bar}, Timings().scanPaintPace) {}
  };
  static QLabel* Sized(QLabel* counter, int mostColumns) {
    const QFontMetrics fm = counter->fontMetrics();
    const int widest =
        fm.horizontalAdvance(QString(QString::number(std::max(mostColumns, 0)).size(), QLatin1Char('8')));
    const int extra = std::max(0, widest - fm.horizontalAdvance(counter->text()));
    counter->setFixedSize(counter->sizeHint() + QSize(extra, 0));
    return counter;
  }
  QLabel* counter_;
  QSize minimum_, maximum_;
  TPaced paced_;
};

}  // namespace

// ---- scan -------------------------------------------------------------------

void TFMain::B_DispcpyClick() {
  TOperationRun operation(*this, TDeviceOperation::Scan);
  if (!operation) return;
  PaintFrameArea(*this);
  if (!CB_WLAN->isChecked()) {
    SetResultText(LinkState, OutcomeText(TOutcome::NoConnection).constData());
    I_Scan->show();
    ShowResultText();
    return;
  }
  L_Spalte->setText(QStringLiteral("0"));
  I_Scan->hide();  // not repainted for every pixel; shown once at the end
  B_Dispcpy->setEnabled(false);
  B_Abort->setEnabled(true);
  SetResultText(LinkState, OutcomeText(TOutcome::ScanNoResponse).constData());
  // The bar starts from 0 before the request.
  PB_Scan->setValue(0);
  auto progress = std::make_shared<TScanProgressDisplay>(L_Spalte, PB_Scan, SE_B->maximum());
  // The columns are read with the width and rows the fields show as they
  // come; the counter and the bar follow every column.
  auto scan = std::make_unique<TScanOperation>(
      TScanArea{SE_X->value(), SE_Y->value(), SE_B->value(), SE_H->value()}, I_Scan->Picture(),
      [this] {
        return TScanArea{SE_X->value(), SE_Y->value(), SE_B->value(), SE_H->value()};
      },
      [this](int received) {
        L_Spalte->setText(QString::number(received));
        if (received > 0) PB_Scan->setValue(ScanProgress(received, SE_B->value()));
      });
  StartOperation(operation, std::move(scan), [this, progress](const TStep&) mutable {
    Timer->stop();
    B_Dispcpy->setEnabled(true);
    B_Abort->setEnabled(false);
    progress.reset();  // the last values painted, the counter sized to its text again
    I_Scan->show();
    ShowResultText();
  });
}

void TFMain::B_AbortClick() {
  if (!CB_WLAN->isChecked()) return;
  if (Runner->Current() && Runner->Current()->Scans()) {
    Runner->Cancel();  // the device is told to stop, and the scan ends
    return;
  }
  LinkState.Scanning = false;
  LinkState.Busy = false;
  // With Busy clear the byte is sent and nothing is waited for.
  SendRequest(ScanCancelRequest());
}

// One status or column frame of a running scan.
void TFMain::ScanPayload(const uint8_t* payload, int32_t length) {
  Timer->stop();
  if (TOperation* op = Runner->Current()) op->ScanPayload(LinkState, payload, length);
  if (LinkState.Scanning) RestartWatchdog(Timer);
}

// ---- capture area and frame ---------------------------------------------------

void TFMain::SE_XChange() { RunAreaRule(*this, TAreaField::X); }
void TFMain::SE_YChange() { RunAreaRule(*this, TAreaField::Y); }
void TFMain::SE_BChange() { RunAreaRule(*this, TAreaField::W); }
void TFMain::SE_HChange() { RunAreaRule(*this, TAreaField::H); }
void TFMain::RB_GVGAClick() { ChoosePreset(*this, TAreaPreset::FullVGA); }
void TFMain::RB_GWVGAClick() { ChoosePreset(*this, TAreaPreset::FullWVGA); }
void TFMain::RB_DVGAClick() { ChoosePreset(*this, TAreaPreset::DiagramVGA); }
void TFMain::RB_DWVGAClick() { ChoosePreset(*this, TAreaPreset::DiagramWVGA); }

void TFMain::S_RahmenMouseUp() {
  const std::optional<QColor> chosen = Prompter().ChooseColor(this, CD_Rahmen_Color);
  if (!chosen) return;
  CD_Rahmen_Color = *chosen;  // the dialog keeps it, and the picture paints with it
  S_Rahmen->SetBrushColor(*chosen);
  PaintFrameArea(*this);
}

// ---- export -------------------------------------------------------------------

void TFMain::B_ClipClick() { QGuiApplication::clipboard()->setImage(I_Scan->Picture()); }

void TFMain::SaveScanPicture() {
  SD_Datei_DefaultExt = QStringLiteral("*.BMP");
  SD_Datei_Filter = QStringLiteral("Bilddatei *.BMP|*.BMP");
  TFileDialog dialog;
  dialog.defaultExt = SD_Datei_DefaultExt;
  dialog.filter = SD_Datei_Filter;
  const QString path = SaveFileIn(TFolder::ScanPicture, this, dialog);
  if (path.isEmpty()) return;
  QString error;
  if (!SaveBitmap(I_Scan->Picture(), path, &error)) throw std::runtime_error(error.toLocal8Bit().toStdString());
}
