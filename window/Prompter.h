// Every question or message the tool puts to the user goes through here, so
// that tests can answer prompts and read the texts shown.
#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QDialog;
class QWidget;

struct TFileDialog {
  QString defaultExt;   // e.g. "*.RPD"
  QString filter;       // "Text *.EXT|*.EXT|..." as in the dialogs' layout
  int filterIndex = 1;  // 1-based, selected filter
  QString initialDir;
  QString fileName;
};

class TPrompter {
 public:
  virtual ~TPrompter() = default;
  // Information box with one OK button.
  virtual void Information(QWidget* parent, const QString& text) = 0;
  // Confirmation box with Yes and No; true only for Yes.
  virtual bool Confirm(QWidget* parent, const QString& text) = 0;
  // Warning box with Yes and No for a step that can do harm; No is the
  // default button. True only for Yes.
  virtual bool ConfirmRisk(QWidget* parent, const QString& text) = 0;
  // Question-mark box with only an OK button (a refusal put as a question).
  virtual void QuestionOk(QWidget* parent, const QString& text) = 0;
  // The toolkit's error box for an error that reached an event handler.
  virtual void Error(QWidget* parent, const QString& text) = 0;
  // Open and save dialogs; an empty result means cancelled.
  virtual QString OpenFile(QWidget* parent, const TFileDialog& asked) = 0;
  virtual QString SaveFile(QWidget* parent, const TFileDialog& asked) = 0;
  // Colour dialog; nullopt means cancelled.
  virtual std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) = 0;
  // Shows a dialog of the tool modally and returns when it closes.
  virtual int ShowModal(QDialog* dialog) = 0;
};

// The prompter in use; the real dialogs unless a test installed another.
TPrompter& Prompter();
// Installs a prompter (not owned); nullptr restores the real dialogs.
void SetPrompter(TPrompter* prompter);

// Converts a "Text|*.EXT|Text|*.EXT" filter into Qt's ";;" form.
QString QtFilterFromPipes(const QString& filter);
