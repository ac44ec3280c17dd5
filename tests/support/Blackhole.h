// A loopback port on which a TCP connect neither succeeds nor fails quickly:
// a listening socket whose accept queue is full, so further SYNs are dropped.
// Used to test connect time-outs without leaving loopback.
#pragma once

#include <cstdint>
#include <memory>

class Blackhole {
 public:
  Blackhole();
  ~Blackhole();
  bool ok() const;
  uint16_t port() const;
  // Lets exactly one further connect succeed; the ones after it hang again.
  bool admitOne();

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};
