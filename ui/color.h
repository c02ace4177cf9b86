#pragma once
#include <cstdint>

namespace ui {

// Colours as the form designer stores them: 0x00BBGGRR for an RGB value, or a system colour
// (0xFF000000 | the COLOR_* index) that the back end resolves when it paints.
using Color = uint32_t;

constexpr Color Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}
constexpr bool IsSystemColor(Color c) { return (c & 0xFF000000u) == 0xFF000000u; }
constexpr int SystemColorIndex(Color c) { return static_cast<int>(c & 0xFF); }

constexpr Color kColorWindow = 0xFF000005;         // COLOR_WINDOW
constexpr Color kColorWindowText = 0xFF000008;     // COLOR_WINDOWTEXT
constexpr Color kColorHighlight = 0xFF00000D;      // COLOR_HIGHLIGHT
constexpr Color kColorBtnFace = 0xFF00000F;        // COLOR_BTNFACE
constexpr Color kColorMenuHighlight = 0xFF00001D;  // COLOR_MENUHILIGHT
// Background not set on the control: it shows its parent's.
constexpr Color kColorParent = 0x7F000000;

}  // namespace ui
