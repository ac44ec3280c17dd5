#include "Blackhole.h"

#include <vector>

#ifndef _WIN32
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

struct Blackhole::Impl {
#ifndef _WIN32
  int listenFd = -1;
  std::vector<int> fillers;  // connected clients that fill the accept queue
#endif
  uint16_t port = 0;
  bool ok = false;
};

#ifndef _WIN32
namespace {

// Starts a non-blocking connect and waits up to `waitMs` for it to complete.
// Returns the descriptor if the connection was established, -1 otherwise
// (`hung` tells whether it was still pending).
int ConnectWithin(uint16_t port, int waitMs, bool* hung) {
  *hung = false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return fd;
  if (errno != EINPROGRESS) {
    ::close(fd);
    return -1;
  }
  pollfd p{fd, POLLOUT, 0};
  const int n = ::poll(&p, 1, waitMs);
  if (n == 0) {
    *hung = true;
    ::close(fd);
    return -1;
  }
  int err = 0;
  socklen_t len = sizeof err;
  if (n < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace
#endif

Blackhole::Blackhole() : d(std::make_unique<Impl>()) {
#ifndef _WIN32
  d->listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (d->listenFd < 0) return;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = 0;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  // Backlog 1 keeps the first SYNs working with or without SYN cookies; the
  // queue is full after one or two connections, depending on the kernel.
  if (::bind(d->listenFd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(d->listenFd, 1) != 0 || ::getsockname(d->listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return;
  }
  d->port = ntohs(addr.sin_port);
  // Fill the accept queue (never accepted) until a further connect hangs.
  // A loopback connect that can complete does so within microseconds.
  constexpr int kMaxFillers = 4;
  constexpr int kHangCheckMs = 100;
  for (int i = 0; i <= kMaxFillers; ++i) {
    bool hung = false;
    const int fd = ConnectWithin(d->port, kHangCheckMs, &hung);
    if (fd >= 0) {
      d->fillers.push_back(fd);
      continue;
    }
    d->ok = hung && !d->fillers.empty();
    break;
  }
#endif
}

Blackhole::~Blackhole() {
#ifndef _WIN32
  for (int fd : d->fillers) ::close(fd);
  if (d->listenFd >= 0) ::close(d->listenFd);
#endif
}

bool Blackhole::ok() const { return d->ok; }

bool Blackhole::admitOne() {
#ifndef _WIN32
  if (!d->ok) return false;
  // Taking one queued connection off the queue makes room for exactly one
  // more; that one then stays queued, so the queue is full again after it.
  const int fd = ::accept(d->listenFd, nullptr, nullptr);
  if (fd < 0) return false;
  ::close(fd);
  return true;
#else
  return false;
#endif
}

uint16_t Blackhole::port() const { return d->port; }
