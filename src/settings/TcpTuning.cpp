#include "settings/TcpTuning.h"

#include "core/Piece.h"
#include "platform/RegistryFile.h"
#include "platform/RestartRequest.h"
#include "settings/SettingsStore.h"

namespace zarvello {
namespace {

constexpr QLatin1StringView kConfirmation(
    "This function will optimize your registry settings for Internet peformance. You will be "
    "required to reboot your computer when this is compleated. ONLY USE THIS FEATURE IF YOUR "
    "ARE CONNECTING THROUGH A MODEM!! Do you want to continue?");

// A failed write or an unreadable value ends the whole action, with this message.
struct Failure
{
    QString text;
};

constexpr QLatin1StringView kMachine("HKEY_LOCAL_MACHINE\\");

// Into a key that must exist, as the tuning never adds one.
void writeStrings(RegistryFile& registry, const QString& path,
                  std::initializer_list<std::pair<const char*, const char*>> values)
{
    const QString first = QString::fromLatin1(values.begin()->first);
    if (!registry.hasKey(kMachine + path)) {
        throw Failure{failedToSetText(first, {})};
    }
    for (const auto& [name, data] : values) {
        registry.setValue(kMachine + path, QString::fromLatin1(name),
                          RegData::string(QString::fromLatin1(data)));
    }
    // Nothing of the key reached the file: the first value is the one that failed.
    QString reason;
    if (!registry.save(&reason)) {
        throw Failure{failedToSetText(first, reason)};
    }
}

// A string value; absent (or in a missing key) is empty text.
QString readString(const RegistryFile& registry, const QString& path, const QString& name)
{
    const auto data = registry.value(kMachine + path, name);
    if (!data) {
        return {};
    }
    if (!data->isString()) {
        throw Failure{QStringLiteral("Invalid data type for '%1'").arg(name)};
    }
    return data->toText();
}

} // namespace

void improveSpeed(RegistryFile& registry, const TuningDialogs& dialogs, RestartRequest& restart,
                  QWidget* owner)
{
    if (!dialogs.confirm || !dialogs.confirm(kConfirmation)) {
        return;
    }
    auto stop = [&](const QString& text) {
        if (dialogs.message) {
            dialogs.message(text);
        }
    };
    try {
        writeStrings(registry, QStringLiteral("System\\CurrentControlSet\\Services\\VxD\\MSTCP"),
                     {{"DefaultRcvWindow", "4288"}, {"DefaultTTL", "128"}});

        const QString net = QStringLiteral("Enum\\Root\\Net\\");
        QString dialUp;
        for (const QString& adapter : registry.subkeyNames(kMachine + net.chopped(1))) {
            // The last match wins.
            if (readString(registry, net + adapter, QStringLiteral("DeviceDesc")) ==
                QStringLiteral("Dial-Up Adapter")) {
                dialUp = adapter;
            }
        }
        if (dialUp.isEmpty()) {
            stop(QStringLiteral("No \"Dial-Up Adapter\" was found; the transport was not tuned."));
            return;
        }

        QString instance;
        const QString backslash = QStringLiteral("\\");
        for (const QString& binding :
             registry.valueNames(kMachine + net + dialUp + QStringLiteral("\\Bindings"))) {
            if (piece(binding, backslash, 1) == QStringLiteral("MSTCP")) {
                instance = piece(binding, backslash, 2);
            }
        }
        if (instance.isEmpty()) {
            stop(QStringLiteral("The dial-up adapter has no MSTCP binding; the transport was not "
                                "tuned."));
            return;
        }

        const QString driver =
            piece(readString(registry, QStringLiteral("Enum\\Network\\MSTCP\\") + instance,
                             QStringLiteral("Driver")),
                  backslash, 2);
        if (driver.isEmpty()) {
            stop(QStringLiteral("The MSTCP binding names no transport driver; the transport was "
                                "not tuned."));
            return;
        }

        writeStrings(registry,
                     QStringLiteral("System\\CurrentControlSet\\Services\\Class\\NetTrans\\") +
                         driver,
                     {{"MaxMTU", "576"}, {"MaxMSS", "536"}});
    } catch (const Failure& failure) {
        if (dialogs.error) {
            dialogs.error(failure.text);
        }
        return;
    }
    restart.promptReboot(owner);
}

} // namespace zarvello
