#pragma once

#include "widgets/Colour.h"

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>

namespace zarvello {

enum class GradientStyle : std::uint8_t { gsVertical, gsHorizontal };
enum class BevelStyle : std::uint8_t { bsLowered, bsRaised, bsNone };

// A bar whose filled part is a gradient stretched from StartColor at the
// origin to EndColor at the leading edge, over BackColor, inside a bevel,
// with an optional percent figure. The whole bar is composed in an
// off-screen image and put on screen with one copy, so updates never flicker.
class GradientBar : public QWidget
{
    Q_OBJECT

public:
    explicit GradientBar(QWidget* parent = nullptr);
    // The face list is normally the installed scalable families; it decides
    // which face the rotated percent text may use.
    GradientBar(QStringList faces, QWidget* parent);
    ~GradientBar() override;

    GradientBar(const GradientBar&) = delete;
    GradientBar& operator=(const GradientBar&) = delete;

    [[nodiscard]] GradientStyle Style() const { return m_style; }
    void setStyle(GradientStyle value);
    using QWidget::setStyle;

    [[nodiscard]] BevelStyle bevelStyle() const { return m_bevelStyle; }
    void setBevelStyle(BevelStyle value);

    // 1..10 rings; a width that leaves no room inside the bar is refused.
    [[nodiscard]] int BevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int value);

    [[nodiscard]] Colour StartColor() const { return m_startColor; }
    void setStartColor(Colour value);

    [[nodiscard]] Colour EndColor() const { return m_endColor; }
    void setEndColor(Colour value);

    // Negative values are ignored, values above MaxValue are clamped.
    [[nodiscard]] int Position() const { return m_position; }
    void setPosition(int value);

    // Any value; lowering it below Position lowers Position with it.
    [[nodiscard]] int MaxValue() const { return m_maxValue; }
    void setMaxValue(int value);

    [[nodiscard]] int Step() const { return m_step; }
    void setStep(int value);

    [[nodiscard]] bool ShowPercent() const { return m_showPercent; }
    void setShowPercent(bool value);

    [[nodiscard]] Colour BackColor() const { return m_backColor; }
    void setBackColor(Colour value);

    // Colour of the percent text (the face and size are the widget's font).
    [[nodiscard]] Colour FontColor() const { return m_fontColor; }
    void setFontColor(Colour value);

    // Advances Position by Step, through the same clamping as setPosition.
    void Stepit();

    // The bar exactly as paintEvent puts it on screen, composed on demand.
    [[nodiscard]] const QImage& image() const;

    [[nodiscard]] const QStringList& faceList() const { return m_faces; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void invalidate();
    void takeChannels();
    void compose() const;
    void drawBevel(QRgb shadow, QRgb light) const;
    void drawFill(const QRect& inner, int fill) const;
    void drawPercent(const QRect& inner, int fill) const;
    [[nodiscard]] QRgb gradientColour(int line, int fill) const;

    GradientStyle m_style = GradientStyle::gsHorizontal;
    BevelStyle m_bevelStyle = BevelStyle::bsLowered;
    int m_bevelWidth = 1;
    Colour m_startColor = clBlue;
    Colour m_endColor = clRed;
    int m_position = 0;
    int m_maxValue = 100;
    int m_step = 1;
    bool m_showPercent = true;
    Colour m_backColor = clBtnFace;
    Colour m_fontColor = clWhite;

    // Raw channels of StartColor and EndColor − StartColor, red, green, blue.
    std::array<int, 3> m_start{};
    std::array<int, 3> m_delta{};

    QStringList m_faces;

    mutable QImage m_image;
    mutable bool m_stale = true;
};

} // namespace zarvello
