#include "settings/Settings.h"

#include "widgets/ColourCombo.h"

namespace zarvello {

Settings::Settings(QObject* parent) : QObject(parent), values_(formDefaultSettings()) {}

void Settings::set(Option option, int value)
{
    const OptionInfo& info = optionInfo(option);
    if (info.kind == OptionKind::Colour &&
        (value < 0 || value >= static_cast<int>(kColourComboItems.size()))) {
        value = -1;
    }
    if (info.flag != nullptr) {
        value = value != 0 ? 1 : 0;
    }
    if (value == this->value(option)) {
        return;
    }
    setValueOf(values_, option, value);
    if (info.kind == OptionKind::Choice && value != 0 && flag(info.partner)) {
        setValueOf(values_, info.partner, 0);
        Q_EMIT changed(info.partner);
    }
    Q_EMIT changed(option);
}

void Settings::setInterfaces(const QString& interfaces)
{
    if (interfaces != interfaces_) {
        interfaces_ = interfaces;
        Q_EMIT interfacesChanged();
    }
}

} // namespace zarvello
