#pragma once

class QWidget;

namespace zarvello {

// Asks the user whether to restart the computer now and, only on yes, asks
// the session's login manager to do it.
class RestartRequest
{
public:
    virtual ~RestartRequest() = default;
    virtual void promptReboot(QWidget* owner) = 0;
};

// The desktop's: a question box, then logind's Reboot over the system bus.
class LogindRestartRequest : public RestartRequest
{
public:
    void promptReboot(QWidget* owner) override;
};

} // namespace zarvello
