#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace zarvello {

class RegistryFile;
class RestartRequest;

// How the tuning talks to the user.
struct TuningDialogs
{
    std::function<bool(const QString&)> confirm; // true only for "OK"
    std::function<void(const QString&)> error;   // the stop-icon error box
    std::function<void(const QString&)> message; // a plain message box
};

// Writes the dial-up TCP/IP tuning values into the registry and asks for a
// restart. Stops at the first failed write, and before tuning the transport
// when a search along the adapter chain finds nothing.
void improveSpeed(RegistryFile& registry, const TuningDialogs& dialogs, RestartRequest& restart,
                  QWidget* owner);

} // namespace zarvello
