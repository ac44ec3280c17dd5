// The capture area's change rules and presets as a table of cases, run both
// on the pure rules and on the window's fields.
#pragma once

#include "core/display/CaptureArea.h"

#include <vector>

struct AreaStep {
  enum Kind { Field, Preset } kind;
  TAreaField field = TAreaField::X;
  int value = 0;
  TAreaPreset preset = TAreaPreset::FullWVGA;
};
inline AreaStep SetStep(TAreaField f, int v) { return {AreaStep::Field, f, v, {}}; }
inline AreaStep ChooseStep(TAreaPreset p) { return {AreaStep::Preset, {}, 0, p}; }

struct AreaCase {
  const char* name;
  std::vector<AreaStep> steps;
  TArea expected;  // X, Y, W, H, image width, image height
};

inline std::vector<AreaCase> AreaCases() {
  using enum TAreaField;
  using enum TAreaPreset;
  const auto Set = SetStep;
  const auto Choose = ChooseStep;
  return {
      {"diagram VGA from the start", {Choose(DiagramVGA)}, {0, 93, 520, 387, 530, 397}},
      {"diagram WVGA from the start", {Choose(DiagramWVGA)}, {0, 93, 648, 387, 658, 397}},
      {"full VGA after diagram WVGA", {Choose(DiagramWVGA), Choose(FullVGA)}, {0, 0, 640, 480, 650, 490}},
      {"full WVGA after full VGA", {Choose(FullVGA), Choose(FullWVGA)}, {0, 0, 800, 480, 810, 490}},
      {"X 100 with W 800 goes back", {Set(X, 100)}, {0, 0, 800, 480, 810, 490}},
      {"X 100 with W 700 stays", {Set(W, 700), Set(X, 100)}, {100, 0, 700, 480, 710, 490}},
      {"X 100 with W 750 is cut to 50", {Set(W, 750), Set(X, 100)}, {50, 0, 750, 480, 760, 490}},
      {"W 700 on VGA goes back to 640", {Choose(FullVGA), Set(W, 700)}, {0, 0, 640, 480, 650, 490}},
      {"W 700 on diagram VGA goes back to 640", {Choose(DiagramVGA), Set(W, 700)}, {0, 93, 640, 387, 650, 397}},
      {"W after X is cut to the screen", {Set(W, 700), Set(X, 100), Set(W, 800)}, {100, 0, 700, 480, 710, 490}},
      {"H 480 with Y 93 is cut to 387", {Set(H, 387), Set(Y, 93), Set(H, 480)}, {0, 93, 800, 387, 810, 397}},
      {"Y with H 480 goes back to 0", {Set(Y, 93)}, {0, 0, 800, 480, 810, 490}},
      {"Y 470 with H 10", {Set(H, 10), Set(Y, 470)}, {0, 470, 800, 10, 810, 20}},
      {"X and Y do not resize the image",
       {Set(W, 300), Set(H, 200), Set(X, 50), Set(Y, 60)},
       {50, 60, 300, 200, 310, 210}},
      {"fields stop at their ranges", {Set(W, 5), Set(X, 900), Set(H, 1), Set(Y, 999)}, {790, 470, 5, 1, 15, 11}},
      {"W 0 and H 0", {Set(W, 0), Set(H, 0)}, {0, 0, 0, 0, 10, 10}},
  };
}
