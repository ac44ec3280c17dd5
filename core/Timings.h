// Every interval the tool uses, in one place. The tool ships these values;
// tests may install shorter ones before creating the main window.
#pragma once

// How long the device may take to answer: the window's watchdog and
// zelctl's --timeout unless told otherwise.
inline constexpr int kWatchdogMs = 3000;
// The longest one send may wait for the link to take its bytes.
inline constexpr int kSendLimitMs = 30000;

struct TTimings {
  int watchdogAtStart = 1000;        // Timer's interval in the layout
  int watchdog = kWatchdogMs;        // Timer before every use
  int keepAlive = 90000;             // Timer1 after every exchange
  int keepAliveAfterSearch = 60000;  // Timer1 after a WLAN search
  int ticker = 1000;                 // Timer2 before use
  int tickerAtStart = 100;           // Timer2's interval in the layout
  int probeConnect = 500;            // probe client's connect time-out
  int linkConnect = 5000;            // bound on the link client's connect
  int afterConnectWait = 200;        // wait for data after opening the link
  int searchAnswerWait = 500;        // WLAN search: wait for the version answer
  int keepAliveAnswerWait = 200;     // keep-alive: wait for the status answer
  int drainWait = 100;               // close-down: drain until this long silent
  int drainLimit = 2000;             // close-down: give up draining after this long
  // firmware update
  int watchdogAfterWorking = 5000;  // Timer after the device says it is still working (85)
  // zelctl: the longest the device may take to clear its memory before an
  // upload (the window's bound is the keep-alive's, see Timer1Timer).
  int clearingLimit = 10 * 60 * 1000;
  int progressRefresh = 100;  // least time between two progress updates while sending
  // Display copy: pace of painting the column counter and bar during a scan.
  int scanPaintPace = 100;
  // Recorder: pace of painting the compression rate and the bar during a copy.
  int copyPaintPace = 100;
};

const TTimings& Timings();
void SetTimings(const TTimings& t);
