#include "settings/TcpTuning.h"

#include "core/Piece.h"
#include "platform/Registry.h"
#include "platform/RestartRequest.h"
#include "settings/SettingsStore.h"

namespace zarvello {
namespace {

constexpr QLatin1StringView kConfirmation(
    "This function will optimize your registry settings for Internet peformance. You will be "
    "required to reboot your computer when this is compleated. ONLY USE THIS FEATURE IF YOUR "
    "ARE CONNECTING THROUGH A MODEM!! Do you want to continue?");

// A failed write ends the whole action.
struct WriteFailed
{
    QString name;
    QString reason; // the system's, when the save failed
};

void writeStrings(Registry& registry, const QString& path,
                  std::initializer_list<std::pair<const char*, const char*>> values)
{
    RegistryKey key = registry.open(RegRoot::LocalMachine, path);
    for (const auto& [name, data] : values) {
        if (!key.setString(QString::fromLatin1(name), QString::fromLatin1(data))) {
            throw WriteFailed{QString::fromLatin1(name), {}};
        }
    }
    // Nothing of the key reached the file: the first value is the one that failed.
    if (!key.close()) {
        throw WriteFailed{QString::fromLatin1(values.begin()->first), key.errorString()};
    }
}

// Reads a string value; absent (or an unopened key) is empty text.
struct WrongType
{
    QString name;
};
QString readString(const RegistryKey& key, const QString& name)
{
    const auto data = key.value(name);
    if (!data) {
        return {};
    }
    if (!data->isString()) {
        throw WrongType{name};
    }
    return data->toText();
}

} // namespace

void improveSpeed(Registry& registry, const TuningDialogs& dialogs, RestartRequest& restart,
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

        QStringList adapters;
        {
            RegistryKey net =
                registry.open(RegRoot::LocalMachine, QStringLiteral("Enum\\Root\\Net"));
            adapters = net.subkeyNames();
        }
        QString dialUp;
        for (const QString& adapter : adapters) {
            const RegistryKey key =
                registry.open(RegRoot::LocalMachine, QStringLiteral("Enum\\Root\\Net\\") + adapter);
            // The last match wins.
            if (readString(key, QStringLiteral("DeviceDesc")) ==
                QStringLiteral("Dial-Up Adapter")) {
                dialUp = adapter;
            }
        }
        if (dialUp.isEmpty()) {
            stop(QStringLiteral("No \"Dial-Up Adapter\" was found; the transport was not tuned."));
            return;
        }

        QStringList bindings;
        {
            const RegistryKey key = registry.open(
                RegRoot::LocalMachine, QStringLiteral("Enum\\Root\\Net\\%1\\Bindings").arg(dialUp));
            bindings = key.valueNames();
        }
        QString instance;
        const QString backslash = QStringLiteral("\\");
        for (const QString& binding : bindings) {
            if (piece(binding, backslash, 1) == QStringLiteral("MSTCP")) {
                instance = piece(binding, backslash, 2);
            }
        }
        if (instance.isEmpty()) {
            stop(QStringLiteral("The dial-up adapter has no MSTCP binding; the transport was not "
                                "tuned."));
            return;
        }

        QString driver;
        {
            const RegistryKey key = registry.open(
                RegRoot::LocalMachine, QStringLiteral("Enum\\Network\\MSTCP\\") + instance);
            driver = piece(readString(key, QStringLiteral("Driver")), backslash, 2);
        }
        if (driver.isEmpty()) {
            stop(QStringLiteral("The MSTCP binding names no transport driver; the transport was "
                                "not tuned."));
            return;
        }

        writeStrings(registry,
                     QStringLiteral("System\\CurrentControlSet\\Services\\Class\\NetTrans\\") +
                         driver,
                     {{"MaxMTU", "576"}, {"MaxMSS", "536"}});
    } catch (const WriteFailed& failed) {
        if (dialogs.error) {
            dialogs.error(failedToSetText(failed.name, failed.reason));
        }
        return;
    } catch (const WrongType& wrong) {
        if (dialogs.error) {
            dialogs.error(QStringLiteral("Invalid data type for '%1'").arg(wrong.name));
        }
        return;
    }
    restart.promptReboot(owner);
}

} // namespace zarvello
