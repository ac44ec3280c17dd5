// The faults the simulated device plays against every operation, in both the
// window's and zelctl's fault matrices: each armed on the operation's first
// request code.
#pragma once

#include "Bytes.h"
#include "sim/ZelSim.h"

#include <functional>
#include <random>

enum class TFault {
  Silence,
  Reset,
  Close,
  Length0,
  Length1,
  Length2,
  Length3,
  Length14361,
  UnknownCode,
  GeneralRecordCut,
  RecorderBlockCut,
  Garbage,
};

struct TFaultCase {
  TFault fault;
  const char* name;
  std::function<void(zelsim::Simulator&, uint8_t code)> arm;
};

inline QByteArray GarbageBytes() {
  std::mt19937 rng(7);
  QByteArray b;
  for (int i = 0; i < 200; ++i) b.append(char(rng() & 0xFF));
  return b;
}

inline const std::vector<TFaultCase>& Faults() {
  using zelsim::Chunk;
  using zelsim::Drop;
  using zelsim::Frame;
  using zelsim::FrameWithLength;
  using zelsim::Simulator;
  using zelsim::StatusRecord;
  static const std::vector<TFaultCase> faults = {
      {TFault::Silence, "silence", [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {})); }},
      {TFault::Reset, "connection reset", [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Dropped(c, Drop::Reset)); }},
      {TFault::Close, "orderly close", [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Dropped(c, Drop::Close)); }},
      {TFault::Length0, "frame length 0",
       [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {Chunk{FrameWithLength(StatusRecord(0), 0)}})); }},
      {TFault::Length1, "frame length 1",
       [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {Chunk{FrameWithLength(StatusRecord(0), 1)}})); }},
      {TFault::Length2, "frame length 2",
       [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {Chunk{FrameWithLength(StatusRecord(0), 2)}})); }},
      {TFault::Length3, "frame length 3",
       [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {Chunk{FrameWithLength(StatusRecord(0), 3)}})); }},
      {TFault::Length14361, "frame length 14361",
       [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {Chunk{FrameWithLength(QByteArray(100, '\0'), 14361)}})); }},
      {TFault::UnknownCode, "unknown code",
       [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {Chunk{Frame(Bytes({0x77, 0x77, 0, 0}))}})); }},
      {TFault::GeneralRecordCut, "general record cut short",
       [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {Chunk{Frame(Bytes({0x12, 3, 0}))}})); }},
      {TFault::RecorderBlockCut, "recorder block cut short",
       [](Simulator& s, uint8_t c) {
         s.setFault(zelsim::Fault::Answered(c, {Chunk{Frame(Bytes({0x0D, 0x03, 0, 0}) + QByteArray(100, 'x'))}}));
       }},
      {TFault::Garbage, "random garbage", [](Simulator& s, uint8_t c) { s.setFault(zelsim::Fault::Answered(c, {Chunk{GarbageBytes()}})); }},
  };
  return faults;
}
