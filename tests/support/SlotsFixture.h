// A main window with the simulated device, for the memory-slot tests: the
// device's slots, the slot table, the grid's texts and real grid events.
#pragma once

#include "Locales.h"
#include "WindowFixture.h"
#include "sim/Slots.h"
#include "core/slots/SlotRecord.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTableWidget>


class SlotsTest : public WindowTest {
 protected:
  TScopedLocale locale{kGerman};

  zelsim::TSlotsFunction& Device() { return *sim.Function<zelsim::TSlotsFunction>(); }
  QByteArray& Table() { return w->DataStream.buffer(); }
  QByteArray Entry(int slot) { return Table().mid(SlotOffset(slot), SLOT_RECORD_SIZE); }
  QString Cell(int row, int col) { return w->SG_Speicher->item(row, col)->text(); }
  QStringList Row(int row) {
    QStringList texts;
    for (int col = 1; col < SLOT_COLUMNS; ++col) texts << Cell(row, col);
    return texts;
  }
  // The row texts a record renders to (columns whose code has no text: "-").
  static QStringList Rendered(const QByteArray& record) {
    const TSlotRowTexts texts = RenderSlotRecord(reinterpret_cast<const uint8_t*>(record.constData()), QLocale());
    QStringList out;
    for (int col = 1; col < SLOT_COLUMNS; ++col) out << texts[col].value_or(QStringLiteral("-"));
    return out;
  }
  void FillRow(int row, const QString& text) {
    for (int col = 1; col < SLOT_COLUMNS; ++col) w->SG_Speicher->item(row, col)->setText(text);
  }
  QStringList Items(const QListWidget* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->item(i)->text();
    return out;
  }

  // ---- real events on the grid -----------------------------------------------
  // Opens the window with the slot page as a tab, shows it on that page and
  // makes it the active window, so that the grid is visible and focus moves.
  void OpenShown() {
    w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim.Port(), true});
    ASSERT_TRUE(WaitUntil([] { return !LinkState.Busy; }));
    sim.ClearLog();
    prompter.shown.clear();
    w->PC_main->setCurrentWidget(w->TS_Speicher);
    w->show();
    w->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == w.get(); }));
  }
  void ClickCell(int row, int col) {
    QTableWidget* grid = w->SG_Speicher;
    grid->scrollToItem(grid->item(row, col));
    const QPoint at = grid->visualItemRect(grid->item(row, col)).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, at, grid->viewport()->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(grid->viewport(), &e);
    }
  }
  // Typed keys go to the grid's in-place editor once it is open, else to the grid.
  void Type(const QString& text) {
    for (QChar ch : text) {
      QWidget* target = Editor() ? static_cast<QWidget*>(Editor()) : w->SG_Speicher;
      for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent e(type, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &e);
      }
    }
  }
  void Key(Qt::Key key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : w->SG_Speicher;
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
      QKeyEvent e(type, key, Qt::NoModifier);
      QApplication::sendEvent(target, &e);
    }
  }
  QLineEdit* Editor() {
    for (QLineEdit* e : w->SG_Speicher->findChildren<QLineEdit*>())
      if (e->isVisible()) return e;
    return nullptr;
  }
};
