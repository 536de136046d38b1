#include "settings/SettingsStore.h"

#include "meter/LinkFilter.h"
#include "platform/RegistryFile.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cstdint>

namespace zarvello {
namespace {

constexpr QLatin1StringView kKey("HKEY_LOCAL_MACHINE\\Software\\Zarvello");
constexpr QLatin1StringView kInterfaces("Interfaces");

QString wrongTypeText(const QString& name)
{
    return QStringLiteral("Invalid data type for '%1'").arg(name);
}

// A stored value, or `fallback` when it is missing or unreadable; an unreadable one is reported.
int read(const SettingsHive& hive, Option option, int fallback, const ErrorReport& error)
{
    const QString name = QString::fromLatin1(optionInfo(option).name);
    const std::optional<RegData> stored = hive.file().value(kKey, name);
    if (stored && stored->isDword()) {
        return static_cast<std::int32_t>(stored->toDword());
    }
    if (stored && error) {
        error(stored->bytes.size() <= 4 ? wrongTypeText(name)
                                        : QStringLiteral("Failed to get data for '%1'").arg(name));
    }
    return fallback;
}

} // namespace

void SettingsHive::write(const QString& name, std::int32_t value)
{
    file_.setValue(kKey, name, RegData::dword(static_cast<quint32>(value)));
}

void SettingsHive::write(const QString& name, const QString& text)
{
    file_.setValue(kKey, name, RegData::string(text));
}

bool isValidInterfacesOption(const QString& text)
{
    // The kernel refuses '/', ':' and white space in a name.
    return text.size() <= kLongestInterfacesOption &&
           std::none_of(text.begin(), text.end(), [](QChar c) {
               return c == QLatin1Char('/') || c == QLatin1Char(':') || c.isSpace();
           });
}

bool SettingsHive::commit(QString* reason)
{
    return file_.save(reason) || !file_.savesChanges();
}

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

void loadOptions(SettingsHive& hive, Settings& model, const ErrorReport& error)
{
    for (const Option option : kLoadOrder) {
        if (option != Option::Left && option != Option::Top) {
            model.set(option, read(hive, option, optionInfo(option).firstRun, error));
        }
    }
    const std::optional<RegData> stored = hive.file().value(kKey, kInterfaces);
    const QString text = stored && stored->isString() ? stored->toText() : QString();
    const bool valid = !stored || (stored->isString() && isValidInterfacesOption(text));
    if (!valid && error) {
        error(wrongTypeText(kInterfaces));
    }
    model.setInterfaces(valid ? text : QString());
}

QPoint loadPosition(SettingsHive& hive, Settings& model, QSize window, const ScreenLayout& screens,
                    const ErrorReport& error)
{
    const QPoint fallback = firstRunPosition(screens, window);
    const int left = read(hive, Option::Left, fallback.x(), error);
    const int top = read(hive, Option::Top, fallback.y(), error);
    const QPoint placed = placeOnScreen({left, top}, window, screens);
    model.set(Option::Left, placed.x());
    model.set(Option::Top, placed.y());
    return placed;
}

bool saveSettings(SettingsHive& hive, const OptionValues& settings, const QString& interfaces,
                  const ErrorReport& error)
{
    for (const OptionInfo& info : kOptions) {
        hive.write(QString::fromLatin1(info.name), valueOf(settings, info.option));
    }
    // A new options file stays as it was; a stored choice is cleared by an empty one.
    if (!interfaces.isEmpty() || hive.file().value(kKey, kInterfaces)) {
        hive.write(kInterfaces, interfaces);
    }
    QString reason;
    if (!hive.commit(&reason)) {
        // Nothing reached the file, so the first value is the one that failed.
        if (error) {
            error(failedToSetText(QString::fromLatin1(kOptions.front().name), reason));
        }
        return false;
    }
    return true;
}

} // namespace zarvello
