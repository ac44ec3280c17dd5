#include "window/Prompter.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

namespace {

QString Title(QWidget* parent) {
  QWidget* w = parent ? parent->window() : nullptr;
  return w && !w->windowTitle().isEmpty() ? w->windowTitle() : QStringLiteral("ZEL Pocket");
}

// Adds the default extension when the user typed a name without one.
// "*.BMP" -> "BMP"
QString Suffix(const QString& defaultExt) {
  QString ext = defaultExt;
  ext.remove(QLatin1Char('*'));
  while (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
  return ext;
}

QString WithDefaultExt(const QString& name, const QString& defaultExt) {
  if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
  const QString ext = Suffix(defaultExt);
  return ext.isEmpty() ? name : name + QLatin1Char('.') + ext;
}

QString SelectedFilter(const TFileDialog& asked) {
  const QStringList filters = QtFilterFromPipes(asked.filter).split(QStringLiteral(";;"));
  const int i = asked.filterIndex - 1;
  return i >= 0 && i < filters.size() ? filters[i] : QString();
}

class TRealPrompter : public TPrompter {
 public:
  void Information(QWidget* parent, const QString& text) override {
    QMessageBox::information(parent, Title(parent), text, QMessageBox::Ok);
  }
  bool Confirm(QWidget* parent, const QString& text) override {
    return QMessageBox::question(parent, Title(parent), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  }
  bool ConfirmRisk(QWidget* parent, const QString& text) override {
    return QMessageBox::warning(parent, Title(parent), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
  }
  void QuestionOk(QWidget* parent, const QString& text) override {
    QMessageBox box(QMessageBox::Question, Title(parent), text, QMessageBox::Ok, parent);
    box.exec();
  }
  void Error(QWidget* parent, const QString& text) override {
    QMessageBox::critical(parent, Title(parent), text, QMessageBox::Ok);
  }
  QString OpenFile(QWidget* parent, const TFileDialog& asked) override {
    QString selected = SelectedFilter(asked);
    return QFileDialog::getOpenFileName(parent, QString(), asked.initialDir, QtFilterFromPipes(asked.filter),
                                        &selected);
  }
  QString SaveFile(QWidget* parent, const TFileDialog& asked) override {
    // The dialog adds the extension itself, before it checks for a file of
    // that name: "pic" with pic.BMP present asks before replacing it.
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(QtFilterFromPipes(asked.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts));
    if (const QString selected = SelectedFilter(asked); !selected.isEmpty()) dialog.selectNameFilter(selected);
    dialog.setDefaultSuffix(Suffix(asked.defaultExt));
    if (!asked.initialDir.isEmpty()) dialog.setDirectory(asked.initialDir);
    if (!asked.fileName.isEmpty()) dialog.selectFile(asked.fileName);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : WithDefaultExt(chosen.first(), asked.defaultExt);
  }
  std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) override {
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid()) return std::nullopt;
    return c;
  }
  int ShowModal(QDialog* dialog) override { return dialog->exec(); }
};

TRealPrompter& Real() {
  static TRealPrompter p;
  return p;
}
TPrompter* installed = nullptr;

}  // namespace

TPrompter& Prompter() { return installed ? *installed : Real(); }
void SetPrompter(TPrompter* prompter) { installed = prompter; }

QString QtFilterFromPipes(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString pattern = parts[i + 1];
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  return out.join(QStringLiteral(";;"));
}
