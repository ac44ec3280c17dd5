// The faults the simulated device plays against every operation, in both the
// window's and zelctl's fault matrices: each armed on the operation's first
// request code.
#pragma once

#include "Bytes.h"
#include "sim/ZelSim.h"

#include <functional>
#include <random>

enum class TLinkFault {
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
  TLinkFault fault;
  const char* name;
  std::function<void(zelsim::TSimulator&, uint8_t code)> arm;
};

inline QByteArray GarbageBytes() {
  std::mt19937 rng(7);
  QByteArray b;
  for (int i = 0; i < 200; ++i) b.append(char(rng() & 0xFF));
  return b;
}

inline const std::vector<TFaultCase>& Faults() {
  using zelsim::Frame;
  using zelsim::FrameWithLength;
  using zelsim::StatusRecord;
  using zelsim::TChunk;
  using zelsim::TDrop;
  using zelsim::TSimulator;
  static const std::vector<TFaultCase> faults = {
      {TLinkFault::Silence, "silence", [](TSimulator& s, uint8_t c) { s.SetFault(zelsim::TFault::Answered(c, {})); }},
      {TLinkFault::Reset, "connection reset",
       [](TSimulator& s, uint8_t c) { s.SetFault(zelsim::TFault::Dropped(c, TDrop::Reset)); }},
      {TLinkFault::Close, "orderly close",
       [](TSimulator& s, uint8_t c) { s.SetFault(zelsim::TFault::Dropped(c, TDrop::Close)); }},
      {TLinkFault::Length0, "frame length 0",
       [](TSimulator& s, uint8_t c) {
         s.SetFault(zelsim::TFault::Answered(c, {TChunk{FrameWithLength(StatusRecord(0), 0)}}));
       }},
      {TLinkFault::Length1, "frame length 1",
       [](TSimulator& s, uint8_t c) {
         s.SetFault(zelsim::TFault::Answered(c, {TChunk{FrameWithLength(StatusRecord(0), 1)}}));
       }},
      {TLinkFault::Length2, "frame length 2",
       [](TSimulator& s, uint8_t c) {
         s.SetFault(zelsim::TFault::Answered(c, {TChunk{FrameWithLength(StatusRecord(0), 2)}}));
       }},
      {TLinkFault::Length3, "frame length 3",
       [](TSimulator& s, uint8_t c) {
         s.SetFault(zelsim::TFault::Answered(c, {TChunk{FrameWithLength(StatusRecord(0), 3)}}));
       }},
      {TLinkFault::Length14361, "frame length 14361",
       [](TSimulator& s, uint8_t c) {
         s.SetFault(zelsim::TFault::Answered(c, {TChunk{FrameWithLength(QByteArray(100, '\0'), 14361)}}));
       }},
      {TLinkFault::UnknownCode, "unknown code",
       [](TSimulator& s, uint8_t c) {
         s.SetFault(zelsim::TFault::Answered(c, {TChunk{Frame(Bytes({0x77, 0x77, 0, 0}))}}));
       }},
      {TLinkFault::GeneralRecordCut, "general record cut short",
       [](TSimulator& s, uint8_t c) {
         s.SetFault(zelsim::TFault::Answered(c, {TChunk{Frame(Bytes({0x12, 3, 0}))}}));
       }},
      {TLinkFault::RecorderBlockCut, "recorder block cut short",
       [](TSimulator& s, uint8_t c) {
         s.SetFault(zelsim::TFault::Answered(c, {TChunk{Frame(Bytes({0x0D, 0x03, 0, 0}) + QByteArray(100, 'x'))}}));
       }},
      {TLinkFault::Garbage, "random garbage",
       [](TSimulator& s, uint8_t c) { s.SetFault(zelsim::TFault::Answered(c, {TChunk{GarbageBytes()}})); }},
  };
  return faults;
}
