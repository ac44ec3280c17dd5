// The main window: every control, menu, dialog, timer and link component,
// and the handlers wired to them. The bodies of the feature handlers live in
// the folders of their subsystems.
#pragma once

#include "window/Operation.h"
#include "core/frames/Dispatcher.h"
#include "core/frames/LinkState.h"
#include "core/Protocol.h"
#include "window/slots/SlotPage.h"
// ---- Recorder ----
#include "core/recorder/RecorderState.h"
// ---- end Recorder ----

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QEvent>
#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;
class QTreeView;
class QWidget;
class TImage;
class TDeviceLock;
class TLinkClient;
class TOperation;
class TSlotStore;
struct TStep;
class TLinkSession;
class TShape;

// The window's two private events.
constexpr QEvent::Type WM_DEVICE_NOTIFY = QEvent::Type(0x83E8);  // WM_APP+1000
constexpr QEvent::Type WM_DEVICE_FRAME = QEvent::Type(0x83E9);   // WM_APP+1001

class TDeviceFrameEvent : public QEvent {
 public:
  TDeviceFrameEvent(const uint8_t* payload, int32_t length)
      : QEvent(WM_DEVICE_FRAME), Payload(payload), Length(length) {}
  const uint8_t* Payload;  // wParam: the payload's address, in ReceiveBuffer
  int32_t Length;          // lParam: payload length
};

struct TFMainOptions {
  QString host;  // the device's address; no default here on purpose
  uint16_t port = DEFAULT_DEVICE_PORT;
  bool showHiddenPages = false;  // memory slots: show the two pages without a tab as tabs
};

// Visible tab indices (hidden pages do not count).
enum TVisiblePage { PAGE_UPDATE = 0, PAGE_DISPCPY = 1, PAGE_RECORDER = 2 };

class TFMain : public QMainWindow, private IFrameTarget {
  Q_OBJECT
 public:
  explicit TFMain(const TFMainOptions& options, QWidget* parent = nullptr);
  ~TFMain() override;

  // ---- controls (objectName = member name) --------------------------------
  // Top strip
  QFrame* Bevel1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QCheckBox* CB_WLAN = nullptr;
  QLineEdit* EWLANDevice = nullptr;
  QTabWidget* PC_main = nullptr;
  // Pages
  QWidget* TS_Download = nullptr;
  QWidget* TS_Dispcpy = nullptr;
  QWidget* TS_ZEL74 = nullptr;
  QWidget* TS_Speicher = nullptr;
  QWidget* TS_Recorder = nullptr;
  // "Update Pocket"
  QLabel* Label2 = nullptr;
  QListWidget* LB_Applikation = nullptr;
  QPushButton* B_Sync = nullptr;
  QGroupBox* GB_Download = nullptr;
  QLabel* L_Send = nullptr;
  QLabel* L_Bytes = nullptr;
  QPushButton* B_Start = nullptr;
  QRadioButton* RB_Pocket = nullptr;
  QRadioButton* RB_LAN = nullptr;
  QProgressBar* PB_Sent = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QCheckBox* CB_Boot = nullptr;
  QCheckBox* CB_Konfiguration = nullptr;
  // "Display Copy"
  TImage* I_Scan = nullptr;
  QLabel* L_Spaltet = nullptr;
  QLabel* L_Spalte = nullptr;
  QPushButton* B_Dispcpy = nullptr;
  QPushButton* B_Clip = nullptr;
  QPushButton* B_Abort = nullptr;
  QProgressBar* PB_Scan = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label8 = nullptr;
  QSpinBox* SE_X = nullptr;
  QSpinBox* SE_Y = nullptr;
  QSpinBox* SE_B = nullptr;
  QSpinBox* SE_H = nullptr;
  QRadioButton* RB_GVGA = nullptr;
  QRadioButton* RB_GWVGA = nullptr;
  QRadioButton* RB_DVGA = nullptr;
  QRadioButton* RB_DWVGA = nullptr;
  QLabel* Label9 = nullptr;
  TShape* S_Rahmen = nullptr;
  // "ZEL35E" (hidden)
  TImage* I_Display = nullptr;
  QLabel* L_Sample = nullptr;
  QLabel* L_Rate = nullptr;
  TShape* S_Wheel = nullptr;
  TShape* S_Grip = nullptr;
  QLineEdit* E_Ebene = nullptr;
  QPushButton* B_Capture = nullptr;
  QPushButton* B_End = nullptr;
  QScrollBar* SB_Display = nullptr;
  QCheckBox* CB_Mess = nullptr;
  QPushButton* B_PLus = nullptr;
  QPushButton* B_Minus = nullptr;
  QPushButton* B_Audio = nullptr;
  QComboBox* CB_Audio = nullptr;
  QCheckBox* CB_AOK = nullptr;
  // "Speicherplätze" (hidden)
  QTableWidget* SG_Speicher = nullptr;
  QLabel* Label11 = nullptr;
  QListWidget* LB_Speicher = nullptr;
  QLabel* Label10 = nullptr;
  QPushButton* B_Laden = nullptr;
  QLabel* Label12 = nullptr;
  QLabel* L_SBytes = nullptr;
  QPushButton* B_Speichern = nullptr;
  QPushButton* B_Loeschen = nullptr;
  // "Recorder"
  QPushButton* B_List = nullptr;
  QTableWidget* SG_Files = nullptr;
  QPushButton* B_Files = nullptr;
  QProgressBar* PB_Files = nullptr;
  QCheckBox* CB_Deco = nullptr;
  QLabel* L_Deco = nullptr;
  QComboBox* DCB_Rec = nullptr;
  QTreeView* DLB_RFile = nullptr;
  QListView* FLB_Files = nullptr;
  QFileSystemModel* DirModel = nullptr;
  QFileSystemModel* FileModel = nullptr;
  // Menu MM_ZEL35
  QMenuBar* MM_ZEL35 = nullptr;
  QMenu* M_Datei = nullptr;
  QAction* MI_Oeffnen = nullptr;
  QAction* MI_Speichern = nullptr;
  QAction* N1 = nullptr;
  QAction* MI_Beenden = nullptr;
  QMenu* M_Interface = nullptr;
  QAction* MI_WLAN = nullptr;
  QMenu* M_Hilfe = nullptr;
  QAction* MI_Info = nullptr;
  // Dialog settings (the dialogs themselves are shown through the prompter)
  QString OD_App_DefaultExt = "*.RPD";
  QString OD_App_Filter = "Pocket Software *.RPD|*.RPD|LAN Driver *.BIN|*.BIN";
  QString SD_Datei_DefaultExt = "*.BMP";
  QString SD_Datei_Filter = "Bitmap *.BMP|*.BMP|Speicherplatz-Datei *.Mem|*.Mem";
  QColor CD_Rahmen_Color = Qt::black;
  // Timers
  QTimer* Timer = nullptr;   // watchdog of an exchange
  QTimer* Timer1 = nullptr;  // keep-alive
  QTimer* Timer2 = nullptr;  // ticker while the device clears its memory
  // Link components
  TLinkClient* TCP_Client = nullptr;      // the link client
  TLinkClient* ITCP_Client = nullptr;     // the probe client
  std::unique_ptr<TLinkSession> Session;  // the link client's exchanges: LinkState and ReceiveBuffer
  // One program per device: the window holds the device's lock while its
  // link is open (see core/DeviceLock.h).
  std::unique_ptr<TDeviceLock> DeviceLock;
  // Opens the link with the device's lock taken. When another program
  // holds the lock, shows who in a box and opens nothing; a failed connect
  // gives the lock back. False unless the link is open.
  bool OpenLink(int timeoutMs);
  // Closes the link and gives the device's lock back.
  void CloseLink();
  // The text naming the other program that holds the device's lock; empty
  // when the window holds it or nobody does.
  QString OtherLinkHolder() const;

  // Window state used by the features.
  QBuffer DataStream;  // slot table
  // The device operation that runs (see window/Operation.h), and whether the
  // user chose to close the window when it ends.
  TDeviceOperation Operation = TDeviceOperation::None;
  bool CloseRequested = false;
  int DisplayOffset = 0;
  // ---- Recorder ----
  TRecorderState Recorder;  // list and copy in progress
  // ---- end Recorder ----

  // ---- handlers -------------------------------------------------------------
  void FormCreate();
  void FormCloseQuery(bool& CanClose);
  void PC_mainChange();
  void MI_BeendenClick();
  void MI_InfoClick();
  void MI_WLANClick();
  void MI_OeffnenClick();
  void MI_SpeichernClick();
  void TCP_ClientError(int socketError);
  void TimerTimer();
  void Timer1Timer();
  void Timer2Timer();
  void B_SyncClick();
  // Update Pocket
  void RB_PocketClick();
  void RB_LANClick();
  void B_StartClick();
  // Display Copy
  void B_DispcpyClick();
  void B_ClipClick();
  void B_AbortClick();
  void SE_XChange();
  void SE_YChange();
  void SE_BChange();
  void SE_HChange();
  void RB_GVGAClick();
  void RB_GWVGAClick();
  void RB_DVGAClick();
  void RB_DWVGAClick();
  void S_RahmenMouseUp();
  // Live view
  void B_PLusClick();
  void B_MinusClick();
  void B_AudioClick();
  void E_EbeneChange();
  void SB_DisplayChange();
  // Memory slots
  void SG_SpeicherExit();
  void SG_SpeicherSelectCell(int col, int row, bool& canSelect);
  void B_LadenClick();
  void B_SpeichernClick();
  void B_LoeschenClick();
  // File menu branches of the pages (routed by MI_OeffnenClick / MI_SpeichernClick)
  void OpenUpdateFile();   // update page: choose the update file
  void SaveScanPicture();  // display page: save the captured picture
  void OpenSlotFile();     // slot page: open a slot file
  void SaveSlotFile();     // slot page: save the slot table
  // ---- memory slots: rendering and editing of the slot grid ----
  TSlotPage Slots;  // EditCol, EditRow and the running transfer
  // Sets the texts of columns 1 to 11 of grid row `row` from a slot record
  // (at least its first 206 bytes).
  void ShowSlotRecord(const uint8_t* record, int row);
  // Writes the cell (EditCol, EditRow) back into the slot table.
  void CommitSlotCell();
  // A write or clear run of the slots, for the operation `run` started.
  void StoreSlots(TOperationRun& run, const TSlotStore& store);
  // ---- end memory slots ----
  // Recorder
  void B_ListClick();
  void B_FilesClick();

  // ---- the link ----------------------------------------------------------------
  // Sends `count` request bytes and collects the answer (see window/Transfer.cpp).
  void TransferCommand(const uint8_t* request, int32_t count);
  void OnDeviceFrame(const uint8_t* payload, int32_t length);

  // ---- shared steps of a device exchange (window/Exchange.cpp) --------------
  // Arms the watchdog with its exchange interval, sets Busy and ReplyCode.
  void BeginExchange(int32_t waitingCode);
  // Sends a request through TransferCommand.
  void SendRequest(const QByteArray& request);
  // Clears Busy and stops the watchdog.
  void EndExchange();

  // ---- device operations (window/WindowRunner.h) -----------------------------
  // Hands the operation `run` started to the runner: `op` runs, driven by the
  // socket's and the timers' events, and `ended` runs after its end; then
  // the operation ends (EndOperation).
  void StartOperation(TOperationRun& run, std::unique_ptr<TOperation> op, std::function<void(const TStep&)> ended);
  // Runs `op` beside the user's operations (the start-up version query, the
  // keep-alive, the search's version query): no operation of its own.
  void StartBackground(std::unique_ptr<TOperation> op, std::function<void(const TStep&)> ended = {});
  // The running operation has ended and its end been shown; a close the
  // user asked for meanwhile goes ahead now.
  void EndOperation();
  // Nothing runs on the link, waits to start, or has an end still to show.
  bool LinkIdle() const;
  class TWindowRunner;
  std::unique_ptr<TWindowRunner> Runner;
  // Shows ResultText once, in an information box.
  void ShowResultText();
  void OnDeviceNotify();
  // Index of the active page among the visible tabs.
  int ActiveVisiblePage() const;
  // Selects the page with the given visible index.
  void SelectVisiblePage(int index);
  void SetGroupCaptionColor(QGroupBox* box, const QColor& color);
  // Runs an event handler; an error it raises is shown in the error box and
  // the program goes on.
  void RunHandler(const std::function<void()>& handler);
  // Ends the running operation in order because the window closes.
  void StopOperation();
  // Stops `timer`, gives it `intervalMs` and starts it again.
  void RestartTimer(QTimer* timer, int intervalMs);
  QColor GroupCaptionColor(const QGroupBox* box) const;

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void CreateControls();  // layout, initial states, wiring
  void StartupProbe();    // step 1 of FormCreate

  // IFrameTarget
  bool RecorderPageActive() override;
  void GripMove(uint16_t distance) override;
  void RecordingListEntry(const uint8_t* record) override;
  void RecordingHeader(const uint8_t* record) override;
  void RecordingBlock(const uint8_t* record) override;
  int32_t SlotRecord(const uint8_t* record, int32_t remaining) override;
  void VersionRecord(const uint8_t* record) override;
  void ScanPayload(const uint8_t* payload, int32_t length) override;

  // Posts one frame to the window and has it handled before returning.
  void PostFrame(const uint8_t* payload, int32_t length);
  // Shows a box now, or, from inside a read or a step of the runner, from
  // the event loop right after it.
  void ShowWhenFree(const QString& text);
  // The start-up's version query, once Synchronize has ended.
  void AfterStartupSync();

  TFMainOptions options_;
  bool starting_ = false;  // FormCreate's Synchronize runs
  bool asking_ = false;    // the close question is up
  uint64_t framesHandled_ = 0;
};

// The one main window of the running program (set while it exists).
extern TFMain* FMain;
extern QString UpdateFilePath;
// ResultText as the toolkit's text (decoded from the single-byte code page).
QString ResultTextString();
