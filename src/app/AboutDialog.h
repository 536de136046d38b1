#pragma once

#include "core/AppInfo.h"

#include <QObject>
#include <QString>

class QDialog;

namespace zarvello {

// The about box: built anew and shown modally on every Execute.
class AboutDialog : public QObject
{
    Q_OBJECT
public:
    explicit AboutDialog(QObject* owner = nullptr);

    QString Appname = kAppName;
    QString Version = QStringLiteral("v") + kAppVersion;
    QString Copyright = QStringLiteral("Copyright (c) 2026 The Zarvello developers");
    QString Description = QStringLiteral(
        "Zarvello measures TCP/IP speeds on your machine. If you find this usefull, drop me a "
        "line at zarvello-dev@example.org");

    // Builds the dialog without running it (for tests).
    [[nodiscard]] QDialog* build(QWidget* parent = nullptr) const;
    // Shows the box and returns when "OK" closes it.
    void Execute();
};

} // namespace zarvello
