#pragma once

#include <QFont>

namespace zarvello {

// Pixel heights of the point sizes at 96 dpi, so the layout ignores the screen's DPI.
inline constexpr int k8ptPixels = 11;
inline constexpr int k7ptPixels = 9;
inline constexpr int k6ptPixels = 8;
[[nodiscard]] QFont pixelFont(const char* family, int pixels);

// The fixed layouts were drawn for two Windows faces, "MS Sans Serif" and
// "Arial". Where they are not installed, this registers the face that keeps
// every text inside its place. Call once, after the application object exists.
void registerStandInFonts();

} // namespace zarvello
