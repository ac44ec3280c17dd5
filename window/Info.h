// The Info dialog: what the program is and who made it.
#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QPixmap>

class QLabel;
class QPushButton;
class QShowEvent;

class TDLG_Info : public QDialog {
  Q_OBJECT
 public:
  explicit TDLG_Info(QWidget* parent = nullptr);

  QLabel* StaticText5 = nullptr;   // title line
  QLabel* StaticText1 = nullptr;   // contact
  QLabel* Image1 = nullptr;        // program icon
  QLabel* StaticText2 = nullptr;   // line of business
  QLabel* StaticText3 = nullptr;   // street
  QLabel* StaticText4 = nullptr;   // postal code and town
  QLabel* StaticText6 = nullptr;   // web address
  QLabel* StaticText7 = nullptr;   // version and year
  QPushButton* Button1 = nullptr;  // "OK"

 protected:
  // Every showing is centred over the parent window.
  void showEvent(QShowEvent* e) override;
};

// The one Info dialog (nullptr until created).
extern TDLG_Info* DLG_Info;

// Creates DLG_Info hidden, once, and returns it.
TDLG_Info* CreateInfoDialog(QWidget* parent);

// The windows' base font: MS Sans Serif, 8 point (11 pixels high); where that
// family is missing, a close sans-serif substitute.
QFont ClassicUiFont();

// Gives every widget below `root` that has no font of its own the font of
// `root`. Needed once a window's controls exist: under an application style
// sheet a font set on a window does not pass on to its children by itself.
void PropagateFont(QWidget* root);

// The program's icon, a small radio (window/zelpocket.svg), at `size` pixels.
QPixmap ProgramIcon(int size = 32);
// The icon at the sizes a desktop asks for, as the window's icon.
QIcon ProgramIconSet();
