#pragma once

#include "app/Layout.h"
#include "widgets/Colour.h"
#include "widgets/StandInFonts.h"

#include <QFont>
#include <QWidget>

#include <array>

class QLabel;

namespace zarvello {

class GradientBar;
struct FigureWrites;
struct OptionValues;

// The colour a colour combo's stored index names; black when it names none.
[[nodiscard]] Colour comboColour(int index);

// The meter window's client area: the labels and the two rate bars, placed by
// a layout preset, in one of two font sets.
class FiguresPanel : public QWidget
{
    Q_OBJECT
public:
    explicit FiguresPanel(QWidget* parent = nullptr);

    [[nodiscard]] QLabel* label(MeterControl control) const;
    [[nodiscard]] QWidget* control(MeterControl control) const
    {
        return controls_[static_cast<size_t>(control)];
    }
    [[nodiscard]] GradientBar* inBar() const { return inBar_; }
    [[nodiscard]] GradientBar* outBar() const { return outBar_; }

    // Shows and places the controls the preset places; hides the others.
    void applyPreset(const LayoutPreset& preset);
    // Sets the faces and the bar sizes; returns the small face, which the tray
    // icon and the colour combos follow.
    QFont applyFontSet(bool largeFont);
    // The bars' percentage and colours.
    void applyBarOptions(const OptionValues& s);
    // Writes a tick's figures; the tray's are left to the caller.
    void showFigures(const FigureWrites& figures);

private:
    void setCaption(MeterControl control, const QString& text);

    std::array<QWidget*, kMeterControls> controls_{};
    GradientBar* inBar_ = nullptr;
    GradientBar* outBar_ = nullptr;
};

} // namespace zarvello
