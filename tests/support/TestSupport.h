// Shared pieces of the tests: a prompter that answers instead of the user,
// bounded waits that keep the event loop running, and short timer intervals.
#pragma once

#include "Wait.h"
#include "window/Prompter.h"
#include "core/Timings.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <ostream>
#include <vector>

// Texts in failure messages as text, not as a list of 2-byte objects.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

struct TPromptRecord {
  enum Kind { Information, Confirm, Error, OpenFile, SaveFile, ChooseColor, ShowModal, QuestionOk, ConfirmRisk } kind;
  QString text;
};

class TFakePrompter : public TPrompter {
 public:
  TFakePrompter() { SetPrompter(this); }
  ~TFakePrompter() override { SetPrompter(nullptr); }

  std::vector<TPromptRecord> shown;
  std::deque<bool> confirmAnswers;  // default: No
  std::deque<QString> fileAnswers;  // default: cancelled
  std::function<void(QDialog*)> onModal;
  // Display copy: colour dialog answers (default and nullopt: cancelled) and
  // the colours the dialog opened with.
  std::deque<std::optional<QColor>> colorAnswers;
  std::vector<QColor> colorInitials;

  // Boxes that `hold` picks stay open for holdMs in an event loop of their
  // own, as a box does while the user reads it; the rest are answered at once.
  int holdMs = 0;
  std::function<bool(TPromptRecord::Kind, const QString&)> hold;
  int held = 0;  // boxes held so far

  void Information(QWidget*, const QString& text) override {
    shown.push_back({TPromptRecord::Information, text});
    Hold(TPromptRecord::Information, text);
  }
  bool Confirm(QWidget*, const QString& text) override {
    shown.push_back({TPromptRecord::Confirm, text});
    Hold(TPromptRecord::Confirm, text);
    if (confirmAnswers.empty()) return false;
    const bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
  }
  // Answered from confirmAnswers as well; recorded as a risk question.
  bool ConfirmRisk(QWidget*, const QString& text) override {
    shown.push_back({TPromptRecord::ConfirmRisk, text});
    Hold(TPromptRecord::ConfirmRisk, text);
    if (confirmAnswers.empty()) return false;
    const bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
  }
  void Error(QWidget*, const QString& text) override { shown.push_back({TPromptRecord::Error, text}); }
  void QuestionOk(QWidget*, const QString& text) override { shown.push_back({TPromptRecord::QuestionOk, text}); }
  QString OpenFile(QWidget*, const TFileDialog& asked) override { return NextFile(TPromptRecord::OpenFile, asked); }
  QString SaveFile(QWidget*, const TFileDialog& asked) override { return NextFile(TPromptRecord::SaveFile, asked); }
  std::optional<QColor> ChooseColor(QWidget*, const QColor& initial) override {
    shown.push_back({TPromptRecord::ChooseColor, QString()});
    // Display copy: colour dialog answers and the colours it opened with.
    colorInitials.push_back(initial);
    if (colorAnswers.empty()) return std::nullopt;
    const std::optional<QColor> a = colorAnswers.front();
    colorAnswers.pop_front();
    return a;
  }
  int ShowModal(QDialog* dialog) override;

  // Texts of the information boxes shown, in order.
  QStringList Infos() const {
    QStringList out;
    for (const auto& r : shown)
      if (r.kind == TPromptRecord::Information) out << r.text;
    return out;
  }

 private:
  void Hold(TPromptRecord::Kind kind, const QString& text);
  QString NextFile(TPromptRecord::Kind kind, const TFileDialog& asked) {
    shown.push_back({kind, asked.filter});
    Hold(kind, asked.filter);
    if (fileAnswers.empty()) return QString();
    QString a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
  }
};

// Short intervals so that watchdog and keep-alive tests take well under a second.
inline TTimings FastTimings() {
  TTimings t;
  t.watchdog = 400;
  t.keepAlive = 60000;  // keep-alive tests set their own
  t.keepAliveAfterSearch = 30000;
  return t;
}

// Installs timings for the life of a test and restores the shipped ones.
struct TScopedTimings {
  explicit TScopedTimings(const TTimings& t) { SetTimings(t); }
  ~TScopedTimings() { SetTimings(TTimings{}); }
};
