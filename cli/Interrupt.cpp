// Ctrl-C and SIGTERM end a running operation in order: the wait on the link
// ends at once, a file not yet complete is removed, and the device is left
// as after a time-out.
#include "cli/Cli.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <climits>
#include <csignal>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
#ifndef _WIN32
int g_wakePipe[2] = {-1, -1};
#endif

void OnSignal(int) {
  g_interrupted = 1;
#ifndef _WIN32
  // Wakes a wait in the event loop.
  const char byte = 1;
  [[maybe_unused]] const auto n = ::write(g_wakePipe[1], &byte, 1);
#endif
}

}  // namespace

bool Interrupted() { return g_interrupted != 0; }

bool SleepUnlessInterrupted(qint64 ms) {
  const QDeadlineTimer deadline(std::max<qint64>(0, ms));  // a negative time would mean forever
  while (!Interrupted()) {
    const qint64 left = deadline.remainingTime();
    if (left <= 0) return true;
#ifndef _WIN32
    // The signal handler writes to the pipe: the wait ends at once, and a
    // signal that came before the wait leaves its byte there.
    if (g_wakePipe[0] >= 0) {
      pollfd wake{g_wakePipe[0], POLLIN, 0};
      ::poll(&wake, 1, int(std::min<qint64>(left, INT_MAX)));
      continue;
    }
#endif
    QThread::msleep(ulong(std::min<qint64>(left, 50)));
  }
  return false;
}

void CatchInterrupts() {
#ifndef _WIN32
  if (::pipe(g_wakePipe) == 0) {
    for (int fd : g_wakePipe) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    auto* notifier = new QSocketNotifier(g_wakePipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier] { notifier->setEnabled(false); });
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  // A file size limit makes a write fail (and be reported, the old file
  // kept) rather than end the program.
  ::signal(SIGXFSZ, SIG_IGN);
#else
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
#endif
}
