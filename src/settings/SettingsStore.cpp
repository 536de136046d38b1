#include "settings/SettingsStore.h"

#include "settings/Setting_Form.h"
#include "settings/Settings.h"
#include "widgets/ColorCombo.h"

#include <QCheckBox>

#include <algorithm>
#include <cstdint>
#include <set>

namespace zarvello {
namespace {

// Reads values, reporting each faulty one once and falling back to the first-run record.
class Reader
{
public:
    Reader(SettingsHive& hive, const std::function<void(const QString&)>& error)
        : hive_(hive), error_(error)
    {
    }

    int number(const char* name, int fallback)
    {
        const QString key = QString::fromLatin1(name);
        const StoredValue stored = hive_.read(key);
        switch (stored.kind) {
        case StoredValue::Dword:
            return stored.value;
        case StoredValue::Missing:
            return fallback;
        case StoredValue::WrongSmall:
            report(QStringLiteral("Invalid data type for '%1'").arg(key), key);
            return fallback;
        case StoredValue::WrongLarge:
            report(QStringLiteral("Failed to get data for '%1'").arg(key), key);
            return fallback;
        }
        return fallback;
    }

    bool flag(const char* name, bool fallback) { return number(name, fallback ? 1 : 0) != 0; }

private:
    void report(const QString& text, const QString& key)
    {
        if (reported_.insert(key.toLower()).second && error_) {
            error_(text);
        }
    }

    SettingsHive& hive_;
    const std::function<void(const QString&)>& error_;
    std::set<QString> reported_;
};

// A radio set to chosen unchecks its partner and fires its click; set to not
// chosen, it fires nothing.
void setRadio(TPairedRadio* button, bool chosen)
{
    button->setChecked(chosen);
}

void selectColour(TColorCombo* combo, int index)
{
    const bool inList = index >= 0 && index < static_cast<int>(kColorComboItems.size());
    combo->setCurrentIndex(inList ? index : -1);
}

} // namespace

QString failedToSetText(const QString& name, const QString& reason)
{
    QString text = QStringLiteral("Failed to set data for '%1'").arg(name);
    if (!reason.isEmpty()) {
        text += QLatin1Char('\n') + reason;
    }
    return text;
}

QPoint firstRunPosition(const ScreenLayout& screens, QSize window)
{
    const QRect area = screens.primaryWorkArea;
    return {area.left() + area.width() - window.width(), area.top()};
}

QPoint placeOnScreen(QPoint stored, QSize window, const ScreenLayout& screens)
{
    // In 64 bits: a stored corner near either end of int would overflow a QRect.
    const auto overlaps = [&](const QRect& screen) {
        const std::int64_t left = stored.x();
        const std::int64_t top = stored.y();
        return !window.isEmpty() && !screen.isEmpty() &&
               left < std::int64_t{screen.x()} + screen.width() &&
               left + window.width() > screen.x() &&
               top < std::int64_t{screen.y()} + screen.height() &&
               top + window.height() > screen.y();
    };
    if (std::any_of(screens.screens.begin(), screens.screens.end(), overlaps)) {
        return stored;
    }
    return firstRunPosition(screens, window);
}

void loadSettings(SettingsHive& hive, TForm_Settings& d, const LoadTargets& targets,
                  const ScreenLayout& screens)
{
    const TSettings first = firstRunSettings();
    Reader r(hive, targets.error);

    d.In1->setChecked(r.flag("In", first.In));
    d.Out1->setChecked(r.flag("Out", first.Out));
    d.MaxSpeed1->setChecked(r.flag("MaxSpeed", first.MaxSpeed));
    d.Dock1->setChecked(r.flag("Dock", first.Dock));
    d.OnTop1->setChecked(r.flag("OnTop", first.OnTop));
    d.Percent1->setChecked(r.flag("Percent", first.Percent));
    d.Horiz1->setChecked(r.flag("Horiz", first.Horiz));
    d.Shrink1->setChecked(r.flag("Shrink", first.Shrink));
    setRadio(d.TrayPercent, r.flag("TrayPercent", first.TrayPercent));
    setRadio(d.TrayActual, r.flag("TrayActual", first.TrayActual));

    selectColour(d.InColor1, r.number("InColor1", first.InColor1));
    selectColour(d.InColor2, r.number("InColor2", first.InColor2));
    selectColour(d.OutColor1, r.number("OutColor1", first.OutColor1));
    selectColour(d.OutColor2, r.number("OutColor2", first.OutColor2));
    selectColour(d.TrayIconBakColor, r.number("TrayBakColor", first.TrayBakColor));
    selectColour(d.TrayIconForColor, r.number("TrayForColor", first.TrayForColor));

    d.TaskBar1->setChecked(r.flag("TaskBar", first.TaskBar));
    setRadio(d.KiloBytes1, r.flag("KiloBytes", first.KiloBytes));
    setRadio(d.KiloBits1, r.flag("KiloBits", first.KiloBits));
    d.TrayIconEnabled->setChecked(r.flag("TrayIcon", first.TrayIcon));
    setRadio(d.TrayIconIn, r.flag("TrayIconIn", first.TrayIconIn));
    setRadio(d.TrayIconOut, r.flag("TrayIconOut", first.TrayIconOut));
    setRadio(d.SmallFont, r.flag("SmallFont", first.SmallFont));
    setRadio(d.LargeFont, r.flag("LargeFont", first.LargeFont));

    const int peak = r.number("PeakSpeed", first.PeakSpeed);
    if (d.PeakSpeed->Text() != QString::number(peak)) {
        d.PeakSpeed->setValue(peak);
    }

    if (targets.setTrayActive) {
        targets.setTrayActive(r.flag("TrayIcon", first.TrayIcon));
    }
    if (targets.setDockActive) {
        targets.setDockActive(r.flag("Dock", first.Dock));
    }
    if (targets.setOnTop) {
        targets.setOnTop(r.flag("OnTop", first.OnTop));
    }
    if (targets.arrange) {
        targets.arrange();
    }

    const QSize size = targets.windowSize ? targets.windowSize() : QSize();
    const QPoint fallback = firstRunPosition(screens, size);
    const int left = r.number("Left", fallback.x());
    const int top = r.number("Top", fallback.y());
    if (targets.moveWindow) {
        targets.moveWindow(placeOnScreen({left, top}, size, screens));
    }
    if (targets.startVersionCheck) {
        targets.startVersionCheck();
    }
}

bool saveSettings(SettingsHive& hive, const TForm_Settings& d, QPoint windowPosition,
                  const std::function<void(const QString&)>& error)
{
    const TSettings s = d.current();
    const std::vector<std::pair<const char*, int>> values{
        {"Left", windowPosition.x()},
        {"Top", windowPosition.y()},
        {"Dock", s.Dock},
        {"OnTop", s.OnTop},
        {"In", s.In},
        {"Out", s.Out},
        {"MaxSpeed", s.MaxSpeed},
        {"Percent", s.Percent},
        {"Horiz", s.Horiz},
        {"Shrink", s.Shrink},
        {"TaskBar", s.TaskBar},
        {"KiloBytes", s.KiloBytes},
        {"KiloBits", s.KiloBits},
        {"TrayIcon", s.TrayIcon},
        {"TrayIconIn", s.TrayIconIn},
        {"TrayIconOut", s.TrayIconOut},
        {"TrayPercent", s.TrayPercent},
        {"TrayActual", s.TrayActual},
        {"SmallFont", s.SmallFont},
        {"LargeFont", s.LargeFont},
        {"InColor1", s.InColor1},
        {"InColor2", s.InColor2},
        {"OutColor1", s.OutColor1},
        {"OutColor2", s.OutColor2},
        {"TrayBakColor", s.TrayBakColor},
        {"TrayForColor", s.TrayForColor},
        {"PeakSpeed", s.PeakSpeed},
    };
    for (const auto& [name, value] : values) {
        if (!hive.write(QString::fromLatin1(name), value)) {
            if (error) {
                error(failedToSetText(QString::fromLatin1(name)));
            }
            return false;
        }
    }
    QString reason;
    if (!hive.commit(&reason)) {
        // Nothing reached the file, so the first value is the one that failed.
        if (error) {
            error(failedToSetText(QString::fromLatin1(values.front().first), reason));
        }
        return false;
    }
    return true;
}

} // namespace zarvello
