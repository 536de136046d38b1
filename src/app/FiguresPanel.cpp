#include "app/FiguresPanel.h"

#include "meter/Figures.h"
#include "settings/Options.h"
#include "widgets/ColourCombo.h"
#include "widgets/FigureLabel.h"
#include "widgets/GradientBar.h"

#include <QLabel>

namespace zarvello {
namespace {

struct DesignControl
{
    const char* caption;
    const char* hint;
    QPoint place;
};

// The controls as the window is designed, before the first arrangement.
const std::array<DesignControl, kMeterControls> kDesign{{
    {"In:", nullptr, {43, 54}},
    {"0 K", "Total Bytes In", {59, 55}},
    {"0.00 Kbs", "Current Bytes In per Second", {2, 3}},
    {nullptr, nullptr, {69, 3}},
    {"Out:", nullptr, {150, 52}},
    {"0 K", "Total Bytes Out", {182, 55}},
    {"0.00 Kbs", "Current Bytes Out per Second", {240, 3}},
    {nullptr, nullptr, {305, 1}},
    {"Peak Speed:", nullptr, {334, 62}},
    {"0 Kbs", "Max Transmission Speed", {476, 3}},
}};

// The "large" font set has the smaller faces and the shorter bars.
constexpr QSize kBarSize(169, 16);
constexpr QSize kLargeSetBarSize(150, 14);

MeterControl controlAt(size_t i)
{
    return static_cast<MeterControl>(i);
}

} // namespace

Colour comboColour(int index)
{
    if (index < 0 || index >= static_cast<int>(kColourComboItems.size())) {
        return Colour{0};
    }
    return identToColour(kColourComboItems[static_cast<size_t>(index)]).value_or(Colour{0});
}

FiguresPanel::FiguresPanel(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, toQColor(clBtnFace));
    setPalette(face);

    const QFont body = pixelFont("MS Sans Serif", k8ptPixels);
    for (size_t i = 0; i < kDesign.size(); ++i) {
        const DesignControl& design = kDesign[i];
        const MeterControl control = controlAt(i);
        QWidget* widget = nullptr;
        if (control == MeterControl::InBar || control == MeterControl::OutBar) {
            // The other looks are the bar's own defaults.
            auto* bar = new GradientBar(this);
            bar->setEndColour(control == MeterControl::InBar ? clAqua : clRed);
            bar->setMaxValue(1);
            bar->setTextVisible(false);
            bar->setFont(body);
            bar->resize(kBarSize);
            (control == MeterControl::InBar ? inBar_ : outBar_) = bar;
            widget = bar;
        } else {
            auto* label = new FigureLabel(QString::fromLatin1(design.caption), this);
            label->setTextFormat(Qt::PlainText);
            label->setFont(body);
            if (design.hint != nullptr) {
                label->setToolTip(QString::fromLatin1(design.hint));
            }
            label->adjustSize();
            widget = label;
        }
        widget->move(design.place);
        controls_[i] = widget;
    }
}

QLabel* FiguresPanel::label(MeterControl control) const
{
    return qobject_cast<QLabel*>(this->control(control));
}

void FiguresPanel::applyPreset(const LayoutPreset& preset)
{
    for (size_t i = 0; i < preset.controls.size(); ++i) {
        const Placement& place = preset.controls[i];
        QWidget* widget = control(controlAt(i));
        if (place.visible) {
            widget->move(place.left, place.top);
        }
        widget->setVisible(place.visible);
    }
}

QFont FiguresPanel::applyFontSet(bool largeFont)
{
    const QFont arial = pixelFont("Arial", k7ptPixels);
    const QFont text = largeFont ? arial : pixelFont("MS Sans Serif", k8ptPixels);
    const QFont peak = largeFont ? arial : pixelFont("MS Sans Serif", k7ptPixels);
    for (size_t i = 0; i < controls_.size(); ++i) {
        if (QLabel* l = label(controlAt(i))) {
            l->setFont(controlAt(i) == MeterControl::MaxSpeed ? peak : text);
            l->adjustSize();
        }
    }
    for (GradientBar* bar : {inBar_, outBar_}) {
        bar->setFont(text);
        bar->resize(largeFont ? kLargeSetBarSize : kBarSize);
    }
    return largeFont ? pixelFont("Arial", k6ptPixels) : text;
}

void FiguresPanel::applyBarOptions(const OptionValues& s)
{
    inBar_->setTextVisible(s.Percent);
    outBar_->setTextVisible(s.Percent);
    inBar_->setStartColour(comboColour(s.InColor1));
    inBar_->setEndColour(comboColour(s.InColor2));
    outBar_->setStartColour(comboColour(s.OutColor1));
    outBar_->setEndColour(comboColour(s.OutColor2));
}

void FiguresPanel::setCaption(MeterControl control, const QString& text)
{
    QLabel* l = label(control);
    if (l->text() != text) {
        l->setText(text);
        l->adjustSize();
    }
}

void FiguresPanel::showFigures(const FigureWrites& w)
{
    if (w.maxSpeed) {
        setCaption(MeterControl::MaxSpeed, *w.maxSpeed);
    }
    if (w.barScale) {
        inBar_->setMaxValue(*w.barScale);
        outBar_->setMaxValue(*w.barScale);
    }
    if (w.inSpeed) {
        setCaption(MeterControl::InSpeed, *w.inSpeed);
    }
    if (w.outSpeed) {
        setCaption(MeterControl::OutSpeed, *w.outSpeed);
    }
    if (w.inBarPosition) {
        inBar_->setPosition(*w.inBarPosition);
    }
    if (w.outBarPosition) {
        outBar_->setPosition(*w.outBarPosition);
    }
    setCaption(MeterControl::InTotal, w.inTotal);
    setCaption(MeterControl::OutTotal, w.outTotal);
}

} // namespace zarvello
