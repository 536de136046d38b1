#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace zarvello {

class TForm_Settings;

// One stored setting as the store found it.
struct StoredValue
{
    enum Kind {
        Missing,    // no such value
        Dword,      // a 32-bit number
        WrongSmall, // another type, at most four bytes
        WrongLarge, // another type, more than four bytes
    };
    Kind kind = Missing;
    std::int32_t value = 0;
};

// The settings key, as the load and the save see it.
class SettingsHive
{
public:
    virtual ~SettingsHive() = default;
    [[nodiscard]] virtual StoredValue read(const QString& name) = 0;
    // Buffered writes; false when this one cannot be made.
    [[nodiscard]] virtual bool write(const QString& name, std::int32_t value) = 0;
    // Makes the writes so far durable; false, with the system's reason when
    // there is one, when that failed.
    [[nodiscard]] virtual bool commit(QString* reason) = 0;
};

// What the load does outside the dialog.
struct LoadTargets
{
    std::function<void(bool)> setTrayActive;
    std::function<void(bool)> setDockActive;
    std::function<void(bool)> setOnTop;
    std::function<void()> arrange;
    std::function<QSize()> windowSize;
    std::function<void(QPoint)> moveWindow;
    std::function<void()> startVersionCheck;
    std::function<void(const QString&)> error; // a stop-icon message box
};

// The screens' work areas, for placing the window.
struct ScreenLayout
{
    QRect primaryWorkArea;
    std::vector<QRect> screens;
};

// Top right corner of the primary screen's work area.
[[nodiscard]] QPoint firstRunPosition(const ScreenLayout& screens, QSize window);
// The stored position, unless it would leave the window off every screen.
[[nodiscard]] QPoint placeOnScreen(QPoint stored, QSize window, const ScreenLayout& screens);

// Fills the dialog's controls from the hive in the stored order, as if the
// user made each change, then applies the window's parts, arranges, places the
// window and starts the version check. A missing value takes its first-run
// value silently; a value of the wrong type is reported once and then takes it too.
void loadSettings(SettingsHive& hive, TForm_Settings& dialog, const LoadTargets& targets,
                  const ScreenLayout& screens);

// "Failed to set data for '<name>'", with the system's reason, when there is
// one, on a line of its own.
[[nodiscard]] QString failedToSetText(const QString& name, const QString& reason = {});

// Writes what the controls show. Stops at the first failure and reports it
// (a failed commit as the first value it would have written, with the reason
// on a line of its own); returns whether everything was written.
bool saveSettings(SettingsHive& hive, const TForm_Settings& dialog, QPoint windowPosition,
                  const std::function<void(const QString&)>& error);

} // namespace zarvello
