// The capture area's pure logic: the four fields' ranges and change rules,
// the presets, and the size of the image control that follows the area.
#pragma once

#include <span>

enum class TAreaField { X, Y, W, H };
enum class TAreaPreset { FullVGA, FullWVGA, DiagramVGA, DiagramWVGA };

constexpr int SCREEN_HEIGHT = 480;

struct TAreaRange {
  int minimum, maximum;
};
TAreaRange FieldRange(TAreaField field);

// The fields and the image control's size (W + 10, H + 10 as last set).
struct TArea {
  int X = 0, Y = 0, W = 800, H = 480;
  int ImageWidth = 810, ImageHeight = 490;
  int Get(TAreaField f) const;
  void Set(TAreaField f, int value);
  friend bool operator==(const TArea&, const TArea&) = default;
};

// Screen width S of a preset's geometry: 640 for VGA, 800 for WVGA.
int ScreenWidth(TAreaPreset preset);

// The value the change rule of `field` sets for the area as it stands, on a
// screen `screenWidth` wide; the field's present value when the rule keeps it.
int AreaRule(TAreaField field, const TArea& area, int screenWidth);

// One assignment of a preset.
struct TAreaStep {
  TAreaField field;
  int value;
};
// A preset's assignments, in their order.
std::span<const TAreaStep> PresetSteps(TAreaPreset preset);

// A field set to `value` as a spin field takes it: brought into its range, a
// change only if the value differs, each change running the field's rule
// (which may set the field again) and resizing the image control for W and H.
TArea SetAreaField(TArea area, TAreaField field, int value, int screenWidth);
// A preset chosen: its assignments in order, then the image control sized to
// (W + 10) x (H + 10).
TArea ApplyPreset(TArea area, TAreaPreset preset);
