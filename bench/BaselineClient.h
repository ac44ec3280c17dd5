// The yardstick of every benchmark: the same exchanges as the tool, written
// as plainly as possible with blocking socket calls and nothing else. It
// shares no code with the tool's link on purpose. Loopback only.
#pragma once

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

class TBaselineClient {
 public:
  explicit TBaselineClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
    int one = 1;
    if (fd_ >= 0) ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~TBaselineClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  TBaselineClient(const TBaselineClient&) = delete;
  TBaselineClient& operator=(const TBaselineClient&) = delete;

  bool ok() const { return fd_ >= 0; }
  bool Send(const uint8_t* p, size_t n) { return ::send(fd_, p, n, 0) == ssize_t(n); }
  bool Send(const QByteArray& b) { return Send(reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())); }
  // One whole frame, read by its 16-bit little-endian length (header
  // included); `payload` gets what follows the 4-byte header.
  bool Frame(std::vector<uint8_t>& payload) {
    uint8_t head[4];
    if (!ReadExact(head, 4)) return false;
    const size_t length = size_t(head[0] | head[1] << 8);
    if (length < 4) return false;
    payload.resize(length - 4);
    return ReadExact(payload.data(), payload.size());
  }

 private:
  bool ReadExact(uint8_t* p, size_t n) {
    while (n > 0) {
      const ssize_t got = ::recv(fd_, p, n, 0);
      if (got <= 0) return false;
      p += got;
      n -= size_t(got);
    }
    return true;
  }
  int fd_ = -1;
};
