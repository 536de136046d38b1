#pragma once

#include <QObject>

class QSocketNotifier;

namespace zarvello {

// Turns SIGTERM and SIGINT into a Qt signal on the user-interface thread, so
// the program ends the same orderly way as when its window is closed.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace zarvello
