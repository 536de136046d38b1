#include "app/FiguresPanel.h"
#include "app/MeterWindow.h"
#include "settings/SettingsDialog.h"
#include "support/ScriptedCounterSource.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

#include <tuple>

namespace zarvello {
namespace {

// Every visible text of `root` that does not fit its place: a button's text
// wider than the room its style leaves beside the indicator or inside the
// frame, a group's title wider than the group, a label reaching into a
// control to its right on the same rows or past its parent's edge.
QStringList misfits(const QWidget& root)
{
    QStringList out;
    auto check = [&out](const QWidget* w, const QString& text, int room) {
        const int need = w->fontMetrics().horizontalAdvance(text);
        if (need > room) {
            out << QStringLiteral("\"%1\" needs %2 px, has %3").arg(text).arg(need).arg(room);
        }
    };
    for (const QWidget* w : root.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&root)) {
            continue;
        }
        QStyleOptionButton option;
        option.initFrom(w);
        auto contents = [&](QStyle::SubElement element, const QString& text) {
            option.text = text;
            check(w, text, w->style()->subElementRect(element, &option, w).width());
        };
        if (const auto* box = qobject_cast<const QCheckBox*>(w)) {
            contents(QStyle::SE_CheckBoxContents, box->text());
        } else if (const auto* radio = qobject_cast<const QRadioButton*>(w)) {
            contents(QStyle::SE_RadioButtonContents, radio->text());
        } else if (const auto* button = qobject_cast<const QPushButton*>(w)) {
            contents(QStyle::SE_PushButtonContents, button->text());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
            check(w, group->title(), group->width() - 16);
        } else if (const auto* label = qobject_cast<const QLabel*>(w)) {
            const QRect at = label->geometry();
            int right = label->parentWidget()->width();
            for (const QWidget* other :
                 label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                const QRect g = other->geometry();
                if (other != w && other->isVisibleTo(&root) && g.left() >= at.left() &&
                    g.top() < at.bottom() && g.bottom() > at.top()) {
                    right = std::min(right, g.left());
                }
            }
            check(w, label->text(), right - at.left());
        }
    }
    return out;
}

TEST(TextFit, EveryDialogTextFitsItsControl)
{
    Settings model;
    SettingsDialog dialog(model);
    dialog.show();
    EXPECT_EQ(misfits(dialog).join("; ").toStdString(), "");
}

// The widest figures the meter is made for, in every layout and both font sets.
TEST(TextFit, TheWidestFiguresFitEveryLayout)
{
    const std::pair<MeterControl, QString> widest[] = {{MeterControl::InTotal, "9,999,999 KB"},
                                                       {MeterControl::OutTotal, "9,999,999 KB"},
                                                       {MeterControl::InSpeed, "99,999.9 KBs"},
                                                       {MeterControl::OutSpeed, "99,999.9 KBs"},
                                                       {MeterControl::MaxSpeed, "99999 KBs"}};
    for (const bool largeFont : {false, true}) {
        for (int bits = 0; bits < 32; ++bits) {
            if ((bits & 7) == 0) {
                continue; // nothing on show: refused with a message
            }
            MeterWindow form(std::make_unique<ScriptedCounterSource>());
            form.stopSampling();
            OptionValues s = firstRunSettings();
            std::tie(s.In, s.Out, s.MaxSpeed, s.Horiz, s.Shrink, s.LargeFont) =
                std::tuple(bits & 1, bits & 2, bits & 4, bits & 8, bits & 16, largeFont);
            form.settingsModel()->setValues(s);
            form.arrange();
            form.show();
            for (const auto& [control, text] : widest) {
                form.figures()->label(control)->setText(text);
                form.figures()->label(control)->adjustSize();
            }
            EXPECT_EQ(misfits(form).join("; ").toStdString(), "")
                << "layout bits " << bits << ", large " << largeFont;
        }
    }
}

} // namespace
} // namespace zarvello
