#include "window/slots/SlotGridKeys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QTableWidget>

namespace {

class TTypingFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::KeyPress) return false;
    auto* grid = qobject_cast<QTableWidget*>(watched);
    if (!grid || grid->editTriggers() != QAbstractItemView::NoEditTriggers) return false;
    const auto* key = static_cast<QKeyEvent*>(e);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const QString text = key->text();
    // Printable text only; navigation, Tab and Return keep their meaning.
    return !text.isEmpty() && text.at(0).isPrint();
  }
};

}  // namespace

void KeepSelectionWhileTyping(QTableWidget* grid) { grid->installEventFilter(new TTypingFilter(grid)); }
