#pragma once
// One running copy per user. The first copy holds a lock file in the runtime
// folder and listens on a local socket beside it; a later copy finds the lock
// taken, asks the running copy to show its window (unless it was started with
// /TRAY, as at log-on, when it just ends) and ends with exit status 0, so no
// second rotation ever runs on the same project file. A lock left by a copy
// that died is recovered: the lock names its process, which no longer runs
// (or is this copy itself, given the dead one's process number again).

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder` holds plimbury.lock and plimbury.socket; empty means the
    // runtime folder (XDG_RUNTIME_DIR, else Qt's private fallback).
    explicit SingleInstance(const QString& folder = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Once, at start, with the command-line arguments (program name excluded).
    // True: this is the running copy from now on (also when the folder cannot
    // hold a lock: running unguarded beats not running). False: another copy
    // runs, and has been asked to show its window unless `arguments` hold
    // "/TRAY"; the caller ends with exit status 0.
    bool start(const QStringList& arguments);

    // A command of a later copy (plimbury --next): its exit status and the
    // text it prints. Answered by the running copy's handler.
    struct Reply {
        int status = 0;
        QString text;
    };
    using CommandHandler = std::function<Reply(const QString& argument)>;
    // In the running copy: who answers commands.
    void setCommandHandler(CommandHandler handler) { m_handler = std::move(handler); }
    // In a later copy, instead of start(): sends the command to the running
    // copy and waits up to `timeoutMs` for its answer; nullopt when no copy
    // answers.
    std::optional<Reply> sendCommand(const QString& argument, int timeoutMs = 60000);

    QString lockPath() const;
    QString socketPath() const;

signals:
    // A later copy asked for the window.
    void showRequested();

private:
    // Takes the lock when it names this process itself; see the .cpp.
    bool takeOwnDeadLock();
    void acceptConnections();
    bool askRunningCopyToShow();

    QString m_folder;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
    CommandHandler m_handler;
};
