#include "platform/RestartRequest.h"

#include "core/AppInfo.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QMessageBox>

namespace zarvello {

void LogindRestartRequest::promptReboot(QWidget* owner)
{
    const auto answer = QMessageBox::question(
        owner, kAppName, QStringLiteral("The changes take effect after a restart. Restart now?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        return;
    }
    QDBusInterface logind(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
    // Interactive: logind may ask for authorisation itself.
    const QDBusMessage reply = logind.call(QStringLiteral("Reboot"), true);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        QMessageBox::warning(
            owner, kAppName,
            QStringLiteral("The restart could not be requested: %1").arg(reply.errorMessage()));
    }
}

} // namespace zarvello
