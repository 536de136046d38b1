#pragma once

#include "widgets/Colour.h"

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace zarvello {

enum class GradientStyle : std::uint8_t { Vertical, Horizontal };
enum class BevelStyle : std::uint8_t { Lowered, Raised, None };

// A bar whose filled part is a gradient stretched from the start colour at the
// origin to the end colour at the leading edge, over the back colour, inside a
// bevel, with an optional percent figure. The whole bar is composed in an
// off-screen image and put on screen with one copy, so updates never flicker.
class GradientBar : public QWidget
{
    Q_OBJECT

public:
    explicit GradientBar(QWidget* parent = nullptr);
    // The face list is normally the installed scalable families; it decides
    // which face the rotated percent text may use.
    GradientBar(QStringList faces, QWidget* parent);

    [[nodiscard]] GradientStyle gradientStyle() const { return gradientStyle_; }
    void setGradientStyle(GradientStyle value) { change(gradientStyle_, value); }

    [[nodiscard]] BevelStyle bevelStyle() const { return bevelStyle_; }
    void setBevelStyle(BevelStyle value);

    // 1..10 rings; a width that leaves no room inside the bar is refused.
    [[nodiscard]] int bevelWidth() const { return bevelWidth_; }
    void setBevelWidth(int value);

    [[nodiscard]] Colour startColour() const { return startColour_; }
    void setStartColour(Colour value) { change(startColour_, value); }
    [[nodiscard]] Colour endColour() const { return endColour_; }
    void setEndColour(Colour value) { change(endColour_, value); }
    [[nodiscard]] Colour backColour() const { return backColour_; }
    void setBackColour(Colour value) { change(backColour_, value); }
    // Colour of the percent text (the face and size are the widget's font).
    [[nodiscard]] Colour textColour() const { return textColour_; }
    void setTextColour(Colour value) { change(textColour_, value); }

    // Negative values are ignored, values above maxValue are clamped.
    [[nodiscard]] int position() const { return position_; }
    void setPosition(int value);

    // Any value; lowering it below the position lowers the position with it.
    [[nodiscard]] int maxValue() const { return maxValue_; }
    void setMaxValue(int value);

    // Only stepIt reads it; nothing on screen changes.
    [[nodiscard]] int step() const { return step_; }
    void setStep(int value) { step_ = value; }
    // Advances the position by the step, through the same clamping as setPosition.
    void stepIt();

    [[nodiscard]] bool isTextVisible() const { return textVisible_; }
    void setTextVisible(bool value) { change(textVisible_, value); }

    // The bar exactly as paintEvent puts it on screen, composed on demand.
    [[nodiscard]] const QImage& image() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    template <typename T> void change(T& field, T value)
    {
        if (field != value) {
            field = value;
            invalidate();
        }
    }
    void invalidate();
    void compose() const;
    void drawBevel(QRgb topLeft, QRgb bottomRight) const;
    void drawFill(const QRect& inner, int fill) const;
    void drawPercent(const QRect& inner, int fill) const;
    // The filled length, in pixels, at `position`.
    [[nodiscard]] int filled(int position) const;
    [[nodiscard]] QRgb gradientColour(int line, int fill) const;

    // The blends of the colours in stepsFor_ at each step from 0 to 255.
    mutable std::array<QRgb, 256> steps_{};
    mutable std::optional<std::pair<Colour, Colour>> stepsFor_;
    GradientStyle gradientStyle_ = GradientStyle::Horizontal;
    BevelStyle bevelStyle_ = BevelStyle::Lowered;
    int bevelWidth_ = 1;
    Colour startColour_ = clBlue;
    Colour endColour_ = clRed;
    int position_ = 0;
    int maxValue_ = 100;
    int step_ = 1;
    bool textVisible_ = true;
    Colour backColour_ = clBtnFace;
    Colour textColour_ = clWhite;

    QStringList faces_;

    mutable QImage image_;
    mutable bool stale_ = true;
};

} // namespace zarvello
