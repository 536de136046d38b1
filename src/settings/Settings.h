#pragma once

#include "settings/Options.h"

#include <QObject>

namespace zarvello {

// The live options. The dialog edits and shows them; the meter window, its
// tray icon and the save read them; the load fills them. Created with the
// dialog's form defaults.
class Settings : public QObject
{
    Q_OBJECT
public:
    explicit Settings(QObject* parent = nullptr);

    [[nodiscard]] const OptionValues& values() const { return values_; }
    [[nodiscard]] int value(Option option) const { return valueOf(values_, option); }
    [[nodiscard]] bool flag(Option option) const { return value(option) != 0; }

    // One option changed as a user would change its control: choosing a radio
    // clears its partner, and a colour outside the list is none. Announces each
    // option whose value changed, the cleared partner first.
    void set(Option option, int value);
    // The whole record at once, announcing nothing: for whoever then applies it whole.
    void setValues(const OptionValues& values) { values_ = values; }

    // The Interfaces option: which links count; empty means all of them.
    [[nodiscard]] const QString& interfaces() const { return interfaces_; }
    void setInterfaces(const QString& interfaces);

Q_SIGNALS:
    void changed(zarvello::Option option);
    void interfacesChanged();

private:
    OptionValues values_;
    QString interfaces_;
};

} // namespace zarvello
