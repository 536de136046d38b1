#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace zarvello {

// One running copy per executable file name and user session: a lock file
// decides who runs, and a local socket beside it lets a second copy ask the
// running one to come forward.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // Takes the lock `<directory>/<name>.lock` at once.
    SingleInstance(const QString& name, const QString& directory, QObject* parent = nullptr);
    ~SingleInstance() override;

    // False only when another live copy holds the lock. A lock that cannot be
    // created at all (no runtime folder, say) lets this copy run as the first.
    [[nodiscard]] bool isFirst() const { return first_; }

    // First copy: start answering activation requests.
    void listen();

    // Second copy: ask the running copy to come forward. False if nobody answered in time.
    bool activateRunningCopy(int timeoutMs) const;

Q_SIGNALS:
    void activationRequested();

private:
    QString socketPath_;
    QLockFile lock_;
    bool first_ = true;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace zarvello
