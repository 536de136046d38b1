#pragma once

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>

namespace zarvello {

// The meter window's self-drawn frame: a raised border around the client area
// and a shaded caption with the title and a close box. All in window pixels.
namespace MeterFrame {

inline constexpr int kBorder = 3;
inline constexpr int kCaption = 16;

// The window's title and caption: the maker, the program and its version.
[[nodiscard]] QString captionText();
[[nodiscard]] QRect captionRect(QSize window);
[[nodiscard]] QRect closeBoxRect(QSize window);
[[nodiscard]] QRect clientRect(QSize window);
// The window's outer size around a client area of `client`.
[[nodiscard]] QSize windowSize(QSize client);

// The frame and caption drawn into an image at `ratio` device pixels per pixel,
// so a doubled screen gets a sharp caption, not a blown-up one.
[[nodiscard]] QImage render(QSize window, qreal ratio, const QPalette& palette);

} // namespace MeterFrame
} // namespace zarvello
