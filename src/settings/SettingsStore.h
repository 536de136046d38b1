#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace zarvello {

class Settings;
struct OptionValues;

class RegistryFile;

// Shows an error message to the user.
using ErrorReport = std::function<void(const QString&)>;

// The settings key, HKEY_LOCAL_MACHINE\Software\Zarvello, in the options file.
class SettingsHive
{
public:
    explicit SettingsHive(RegistryFile& file) : file_(file) {}
    [[nodiscard]] const RegistryFile& file() const { return file_; }
    // Held until commit().
    void write(const QString& name, std::int32_t value);
    void write(const QString& name, const QString& text);
    // Saves the writes; false, with the reason, when that failed. Where the
    // file keeps nothing this run (the user was told at start), succeeds.
    [[nodiscard]] bool commit(QString* reason);

private:
    RegistryFile& file_;
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

// Whether `text` can be the Interfaces option: not too long, and nothing in
// it that no interface name could hold.
[[nodiscard]] bool isValidInterfacesOption(const QString& text);

// Reads the options the dialog shows into the model, in the load's order and
// each as a user's change, so with its effects, then Interfaces. A missing
// value takes its first-run value silently; a value of the wrong type (or an
// Interfaces text that is not valid) is reported once and then takes it too.
void loadOptions(SettingsHive& hive, Settings& model, const ErrorReport& error);
// Reads Left and Top (the first-run place when missing) for a window of
// `window`'s size, keeps the place it gets on screen in the model and returns it.
QPoint loadPosition(SettingsHive& hive, Settings& model, QSize window, const ScreenLayout& screens,
                    const ErrorReport& error);

// "Failed to set data for '<name>'", with the system's reason, when there is
// one, on a line of its own.
[[nodiscard]] QString failedToSetText(const QString& name, const QString& reason = {});

// Writes every option and the interfaces, which are left out while empty
// and never stored; a failure is reported as the first value it would
// have written, with the reason on a line of its own. Whether all were saved.
bool saveSettings(SettingsHive& hive, const OptionValues& settings, const QString& interfaces,
                  const ErrorReport& error);

} // namespace zarvello
