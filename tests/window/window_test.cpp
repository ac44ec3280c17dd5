// The main window: its pages and controls, closing, the Info dialog and the
// visual style.
#include "WindowFixture.h"

#include "window/Info.h"
#include "window/Style.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

using zelsim::Frame;
using zelsim::StatusRecord;
using zelsim::TChunk;

TEST_F(WindowTest, PagesAndVisibleTabs) {
  OpenIdle();
  QTabWidget* pc = w->PC_main;
  ASSERT_EQ(pc->count(), 5);
  const QStringList captions = {"Update Pocket", "Display Copy", "ZEL35E", "Speicherplätze", "Recorder"};
  const QStringList names = {"TS_Download", "TS_Dispcpy", "TS_ZEL74", "TS_Speicher", "TS_Recorder"};
  const bool shown[] = {true, true, false, false, true};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(pc->tabText(i), captions[i]);
    EXPECT_EQ(pc->widget(i)->objectName(), names[i]);
    EXPECT_EQ(pc->isTabVisible(i), shown[i]) << i;
  }
  EXPECT_EQ(w->ActiveVisiblePage(), PAGE_UPDATE);
  w->SelectVisiblePage(PAGE_RECORDER);
  EXPECT_EQ(pc->currentWidget(), w->TS_Recorder);
  EXPECT_EQ(w->ActiveVisiblePage(), PAGE_RECORDER);
  w->SelectVisiblePage(PAGE_DISPCPY);
  EXPECT_EQ(pc->currentWidget(), w->TS_Dispcpy);
}

TEST_F(WindowTest, ControlsCarryTheirNamesCaptionsAndStates) {
  OpenIdle();
  struct Caption {
    const char* name;
    const char* text;
  };
  const Caption captions[] = {
      {"CB_WLAN", "WLAN Access to Device:"},
      {"B_Sync", "Synchronize"},
      {"B_Start", "Start"},
      {"RB_Pocket", "Pocket Software"},
      {"RB_LAN", "LAN Driver"},
      {"CB_Boot", "Factory Image active"},
      {"CB_Konfiguration", "Pocket Software active"},
      {"B_Dispcpy", "Scan"},
      {"B_Clip", "To Clipboard"},
      {"B_Abort", "Cancel"},
      {"RB_GWVGA", "Full WVGA"},
      {"B_Laden", "Laden vom ZEL74"},
      {"B_Speichern", "Speichern im ZEL74"},
      {"B_Loeschen", "Alles Löschen"},
      {"B_List", "Load List"},
      {"B_Files", "Copy File"},
      {"CB_Deco", "Decompress to WAV"},
      {"L_Deco", "Compression Rate:"},
      {"CB_Mess", "Spektrum mit Messgenauigkeit"},
      {"CB_AOK", "Verwendung möglich"},
      {"B_End", "Ende"},
  };
  for (const Caption& c : captions) {
    QWidget* widget = w->findChild<QWidget*>(QString::fromUtf8(c.name));
    ASSERT_NE(widget, nullptr) << c.name;
    const QVariant text = widget->property("text");
    QString actual = text.isValid() ? text.toString() : widget->property("title").toString();
    EXPECT_EQ(actual.remove(QLatin1Char('&')), QString::fromUtf8(c.text)) << c.name;
  }
  EXPECT_EQ(w->GB_Download->title(), QStringLiteral("Update Firmware"));
  EXPECT_FALSE(w->GroupBox2->isEnabled()) << "the user cannot change CB_WLAN";
  EXPECT_TRUE(w->EWLANDevice->isReadOnly());
  EXPECT_FALSE(w->B_Abort->isVisibleTo(w->TS_Dispcpy));
  EXPECT_FALSE(w->B_Abort->isEnabled()) << "nothing to cancel at idle";
  EXPECT_FALSE(w->B_Speichern->isEnabled());
  EXPECT_FALSE(w->B_End->isEnabled());
  EXPECT_TRUE(w->RB_GWVGA->isChecked());
  EXPECT_TRUE(w->CB_Deco->isChecked());
  EXPECT_EQ(w->SE_B->value(), 800);
  EXPECT_EQ(w->SE_B->maximum(), 800);
  EXPECT_EQ(w->SE_X->maximum(), 790);
  EXPECT_EQ(w->SE_H->value(), 480);
  EXPECT_EQ(w->SE_Y->maximum(), 470);
  EXPECT_EQ(w->I_Scan->Picture().size(), QSize(810, 490));
  EXPECT_EQ(w->I_Scan->Picture().depth(), 24);
  EXPECT_EQ(w->centralWidget()->size(), QSize(1007, 586));
  // Menus.
  const char* actions[][2] = {{"MI_Oeffnen", "&Open"},
                              {"MI_Speichern", "&Save"},
                              {"MI_Beenden", "&Close"},
                              {"MI_WLAN", "Find &WLAN Connection"},
                              {"MI_Info", "&Info"}};
  for (auto& a : actions) {
    auto* action = w->findChild<QAction*>(QString::fromLatin1(a[0]));
    ASSERT_NE(action, nullptr) << a[0];
    EXPECT_EQ(action->text(), QString::fromLatin1(a[1]));
  }
  // Timers as laid out: the keep-alive runs from the start, the others wait.
  EXPECT_TRUE(w->Timer1->isActive());
  EXPECT_FALSE(w->Timer2->isActive());
}

TEST_F(WindowTest, CloseAnsweredNoChangesNothing) {
  OpenIdle();
  w->show();
  prompter.confirmAnswers = {false};
  w->MI_BeendenClick();
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].kind, TPromptRecord::Confirm);
  EXPECT_EQ(prompter.shown[0].text, QStringLiteral("Close application?"));
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->TCP_Client->Connected());

  prompter.confirmAnswers = {true};
  w->MI_BeendenClick();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(w->TCP_Client->Connected());
}

TEST_F(WindowTest, ClosingByTheWindowAsksNothingAndLeavesTheRecorderPage) {
  OpenIdle();
  w->show();
  w->SelectVisiblePage(PAGE_RECORDER);
  EXPECT_TRUE(w->close());
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(w->ActiveVisiblePage(), PAGE_UPDATE);
  EXPECT_FALSE(w->TCP_Client->Connected());
}

TEST_F(WindowTest, CloseDrainsTheLinkUntilTheDeviceFallsSilent) {
  OpenIdle();
  sim.SetStream(Frame(StatusRecord(2)), 20);
  ASSERT_TRUE(WaitUntil([&] { return w->TCP_Client->WaitForData(10); }));
  bool streamStopped = false;
  QTimer::singleShot(300, [&] {
    sim.SetStream(QByteArray(), 0);
    streamStopped = true;
  });
  bool canClose = false;
  w->FormCloseQuery(canClose);
  EXPECT_TRUE(canClose);
  EXPECT_TRUE(streamStopped) << "the drain went on while data kept coming";
  EXPECT_FALSE(w->TCP_Client->Connected());
}

TEST_F(WindowTest, CloseDrainEndsAfterSilenceOrAtItsOverallLimit) {
  struct Case {
    const char* name;
    int streamStopsAfterMs;  // 0: the device never falls silent
    int limitMs;
    int endsAfterMs;  // the earliest the drain may end
    int endsBeforeMs;
  };
  const int silence = TTimings{}.drainWait;
  ASSERT_EQ(silence, 100);
  ASSERT_EQ(TTimings{}.drainLimit, 2000);
  const Case cases[] = {
      {"device falls silent", 300, 10000, 300 + silence - 30, 1500},
      {"device never falls silent", 0, 600, 600 - 30, 600 + 700},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTimings t = FastTimings();
    t.drainLimit = c.limitMs;
    SetTimings(t);
    OpenIdle();
    sim.SetStream(Frame(StatusRecord(2)), 20);
    ASSERT_TRUE(WaitUntil([&] { return w->TCP_Client->WaitForData(10); }));
    bool streamStopped = false;
    // A device that never falls silent is still stopped, late, so that a
    // drain without a limit fails this test instead of hanging it.
    QTimer stopper;  // dies with this case, so it cannot fire into the next
    stopper.setSingleShot(true);
    QObject::connect(&stopper, &QTimer::timeout, [&] {
      sim.SetStream(QByteArray(), 0);
      streamStopped = true;
    });
    stopper.start(c.streamStopsAfterMs > 0 ? c.streamStopsAfterMs : 4000);
    QElapsedTimer clock;
    clock.start();
    bool canClose = false;
    w->FormCloseQuery(canClose);
    const qint64 elapsed = clock.elapsed();
    sim.SetStream(QByteArray(), 0);
    EXPECT_TRUE(canClose);
    EXPECT_FALSE(w->TCP_Client->Connected());
    EXPECT_GE(elapsed, c.endsAfterMs);
    EXPECT_LT(elapsed, c.endsBeforeMs);
    EXPECT_EQ(streamStopped, c.streamStopsAfterMs > 0);
    w.reset();
  }
}

TEST_F(WindowTest, InfoDialogShowsTheSameContentEveryTime) {
  OpenIdle();
  QStringList seen;
  prompter.onModal = [&](QDialog* d) {
    auto* dlg = qobject_cast<TDLG_Info*>(d);
    ASSERT_NE(dlg, nullptr);
    seen << dlg->windowTitle() + "|" + dlg->StaticText5->text() + "|" + dlg->StaticText7->text() + "|" +
                dlg->Button1->text();
  };
  w->MI_InfoClick();
  w->MI_InfoClick();
  ASSERT_EQ(seen.size(), 2);
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_TRUE(seen[0].startsWith(QStringLiteral("Info|Interfaceprogramm für ZEL|")));
}

TEST_F(WindowTest, InfoDialogIsModalAndClosesWithOk) {
  OpenIdle();
  w->show();
  SetPrompter(nullptr);  // the real dialog this time
  QWidget* modal = nullptr;
  QTimer::singleShot(100, [&] {
    modal = QApplication::activeModalWidget();
    if (DLG_Info) DLG_Info->Button1->click();
  });
  w->MI_InfoClick();
  SetPrompter(&prompter);
  ASSERT_NE(DLG_Info, nullptr);
  EXPECT_EQ(modal, DLG_Info);
  EXPECT_FALSE(DLG_Info->isVisible());
}

// The save dialog adds the extension before it looks for the file, so a
// name typed without it is asked about like one typed with it.
TEST_F(WindowTest, TheSaveDialogAsksBeforeReplacingANameTypedWithoutItsExtension) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString existing = dir.filePath(QStringLiteral("pic.BMP"));
  {
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("old") == 3);
  }
  TFileDialog asked;
  asked.defaultExt = QStringLiteral("*.BMP");
  asked.filter = QStringLiteral("Bilddatei *.BMP|*.BMP");
  asked.initialDir = dir.path();
  SetPrompter(nullptr);  // the real dialogs
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "Yes" : "No");
    int stage = 0;
    QString question;
    QTimer look;
    int ticks = 0;
    QObject::connect(&look, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (++ticks > 500 && modal) {  // gone wrong: close what is open rather than hang
        static_cast<QDialog*>(modal)->reject();
        return;
      }
      if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        if (stage == 0) {
          auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
          ASSERT_NE(name, nullptr);
          name->setText(QStringLiteral("pic"));  // as typed
          QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
          stage = 1;
        } else if (stage == 2) {
          dialog->reject();  // still open after the No
          stage = 3;
        }
      } else if (auto* box = qobject_cast<QMessageBox*>(modal); box && stage == 1) {
        question = box->text();
        box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        stage = 2;
      }
    });
    look.start(10);
    const QString chosen = Prompter().SaveFile(nullptr, asked);
    look.stop();
    EXPECT_TRUE(question.contains(QStringLiteral("pic.BMP"))) << question.toStdString();
    EXPECT_EQ(chosen, replace ? existing : QString());
  }
  SetPrompter(&prompter);
}

TEST_F(WindowTest, ErrorInAHandlerIsShownAndTheProgramGoesOn) {
  OpenIdle();
  w->RunHandler([] { throw std::runtime_error("'abc' is not a valid integer value"); });
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].kind, TPromptRecord::Error);
  EXPECT_EQ(prompter.shown[0].text, QStringLiteral("'abc' is not a valid integer value"));
}

TEST_F(WindowTest, FramesFollowTheActivePage) {
  OpenIdle();
  const int gripX = w->S_Grip->x();
  const QByteArray grip = Bytes({2, 0, 7, 0});  // recorder code 2, distance 7
  for (int page : {PAGE_UPDATE, PAGE_RECORDER}) {
    w->SelectVisiblePage(page);
    sim.SetFault(zelsim::TFault::Answered(0x77, {TChunk{Frame(grip + StatusRecord(85)), 0}}));
    Exchange(Bytes({0x77}));
  }
  EXPECT_EQ(w->S_Grip->x(), gripX + 7) << "the grip moves only on the Recorder page";
  EXPECT_EQ(LinkState.ReplyCode, -1) << "status records leave ReplyCode alone there";
  QEvent notify(WM_DEVICE_NOTIFY);  // accepted and ignored
  EXPECT_TRUE(QCoreApplication::sendEvent(w.get(), &notify));
}

TEST(VisualStyle, AppliedFromResourcesOrReported) {
  TFakePrompter prompter;
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  const QString before = app->styleSheet();
  EXPECT_FALSE(ApplyVisualStyle(*app, QStringLiteral(":/NO_SUCH_STYLE")));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].kind, TPromptRecord::Error);
  EXPECT_EQ(app->styleSheet(), before) << "the default look stays";

  EXPECT_TRUE(ApplyVisualStyle(*app));
  EXPECT_FALSE(app->styleSheet().isEmpty());
  app->setStyleSheet(before);
}

TEST_F(WindowTest, EveryNamedPartOfTheWindowCanBeFoundByName) {
  OpenIdle();
  const QStringList names =
      QStringLiteral(
          "B_Abort B_Audio B_Capture B_Clip B_Dispcpy B_End B_Files B_Laden B_List B_Loeschen B_Minus B_PLus "
          "B_Speichern B_Start B_Sync Bevel1 CB_AOK CB_Audio CB_Boot CB_Deco CB_Konfiguration CB_Mess CB_WLAN "
          "DCB_Rec DLB_RFile EWLANDevice E_Ebene FLB_Files GB_Download GroupBox1 GroupBox2 GroupBox3 I_Display "
          "I_Scan LB_Applikation LB_Speicher L_Bytes L_Deco L_Rate L_SBytes L_Sample L_Send L_Spalte L_Spaltet "
          "Label10 Label11 Label12 Label2 Label5 Label6 Label7 Label8 Label9 M_Datei M_Hilfe M_Interface PB_Files "
          "PB_Scan PB_Sent PC_main RB_DVGA RB_DWVGA RB_GVGA RB_GWVGA RB_LAN RB_Pocket SB_Display SE_B SE_H SE_X "
          "SE_Y SG_Files SG_Speicher S_Grip S_Rahmen S_Wheel TS_Dispcpy TS_Download TS_Recorder TS_Speicher "
          "TS_ZEL74 Timer Timer1 Timer2 MI_Beenden MI_Info MI_Oeffnen MI_Speichern MI_WLAN N1 MM_ZEL35 "
          "TCP_Client ITCP_Client")
          .split(QLatin1Char(' '));
  for (const QString& name : names) EXPECT_NE(w->findChild<QObject*>(name), nullptr) << name.toStdString();
}
