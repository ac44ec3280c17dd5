#include "core/display/CaptureArea.h"

#include <algorithm>

TAreaRange FieldRange(TAreaField field) {
  switch (field) {
    case TAreaField::X: return {0, 790};
    case TAreaField::Y: return {0, 470};
    case TAreaField::W: return {0, 800};
    case TAreaField::H: return {0, 480};
  }
  return {0, 0};
}

int TArea::Get(TAreaField f) const {
  switch (f) {
    case TAreaField::X: return X;
    case TAreaField::Y: return Y;
    case TAreaField::W: return W;
    case TAreaField::H: return H;
  }
  return 0;
}

void TArea::Set(TAreaField f, int value) {
  switch (f) {
    case TAreaField::X: X = value; break;
    case TAreaField::Y: Y = value; break;
    case TAreaField::W: W = value; break;
    case TAreaField::H: H = value; break;
  }
}

int ScreenWidth(TAreaPreset preset) {
  return preset == TAreaPreset::FullVGA || preset == TAreaPreset::DiagramVGA ? 640 : 800;
}

int AreaRule(TAreaField field, const TArea& a, int screenWidth) {
  switch (field) {
    case TAreaField::X: return a.X > screenWidth - a.W ? screenWidth - a.W : a.X;
    case TAreaField::Y: return a.Y > SCREEN_HEIGHT - a.H ? SCREEN_HEIGHT - a.H : a.Y;
    case TAreaField::W: return a.W > screenWidth - a.X ? screenWidth - a.X : a.W;
    case TAreaField::H: return a.H > SCREEN_HEIGHT - a.Y ? SCREEN_HEIGHT - a.Y : a.H;
  }
  return 0;
}

std::span<const TAreaStep> PresetSteps(TAreaPreset preset) {
  using enum TAreaField;
  static constexpr TAreaStep fullVga[] = {{X, 0}, {Y, 0}, {W, 640}, {H, 480}};
  static constexpr TAreaStep fullWvga[] = {{X, 0}, {Y, 0}, {W, 800}, {H, 480}};
  // W and H go to 1 first: with H still at 480 the Y rule would cut Y back to 0.
  static constexpr TAreaStep diagramVga[] = {{W, 1}, {H, 1}, {X, 0}, {Y, 93}, {W, 520}, {H, 387}};
  static constexpr TAreaStep diagramWvga[] = {{W, 1}, {H, 1}, {X, 0}, {Y, 93}, {W, 648}, {H, 387}};
  switch (preset) {
    case TAreaPreset::FullVGA: return fullVga;
    case TAreaPreset::FullWVGA: return fullWvga;
    case TAreaPreset::DiagramVGA: return diagramVga;
    case TAreaPreset::DiagramWVGA: return diagramWvga;
  }
  return {};
}

TArea SetAreaField(TArea area, TAreaField field, int value, int screenWidth) {
  const TAreaRange range = FieldRange(field);
  value = std::clamp(value, range.minimum, range.maximum);
  if (value == area.Get(field)) return area;  // no change, no rule
  area.Set(field, value);
  const int ruled = AreaRule(field, area, screenWidth);
  if (ruled != value) area = SetAreaField(area, field, ruled, screenWidth);
  if (field == TAreaField::W) area.ImageWidth = area.W + 10;
  if (field == TAreaField::H) area.ImageHeight = area.H + 10;
  return area;
}

TArea ApplyPreset(TArea area, TAreaPreset preset) {
  const int s = ScreenWidth(preset);
  for (const TAreaStep& step : PresetSteps(preset)) area = SetAreaField(area, step.field, step.value, s);
  area.ImageWidth = area.W + 10;
  area.ImageHeight = area.H + 10;
  return area;
}
