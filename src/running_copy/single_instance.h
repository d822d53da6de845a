#pragma once

#include "running_copy/local_request_server.h"

#include <QJsonObject>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vantiro {

// The program's version, all four parts: "1.2.0.3".
QString programVersion();

// Keeps Vantiro to one running copy per user, window or background copy. The first start holds a lock file in the
// user's runtime folder (runtime_folder.h) and takes local requests on a socket beside it (local_requests.h); a
// later start asks that copy instead of running itself: a window asks it to bring its window forward, a background
// copy asks what runs.
//
// Two copies would run the schedule twice and send every event twice, so when a live copy holds the lock but does
// not answer, start() says so and the caller must not start a second one. A lock left behind by a copy that died
// is taken over, so a crash never blocks the next start; one that cannot be taken over (a folder in its place, a
// file of another user, a read-only folder) is named with the reason, rather than taken for a running copy.
//
// A copy that is ending but still finishing a send answers "closing" to every request: the new start waits for it
// to end and then starts itself.
//
// With the user's fixed folder set (runtime_folder.h), a start first takes the user's lock there and records in it
// which runtime folder it listens in; a later start that finds that lock taken asks the copy in the recorded
// folder, whatever runtime folder its own environment gave it. Both lock names carry the machine's name, so a home
// shared between machines keeps one copy per machine.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { Window, Background };
    enum class Start {
        First, // the only copy: it holds the lock until this object is destroyed
        AnotherRunning, // the running copy answered (see runningCopy())
        AnotherUnreachable, // a live copy holds the lock but did not answer in time
        Failed, // the lock could not be taken and no copy holds it (see errorString())
    };
    // What the running copy said of itself.
    struct RunningCopy
    {
        Role role = Role::Window;
        qint64 pid = 0;
        QString folder; // its application folder
        QString message; // why it did not do what was asked, in its words; empty when it did
    };

    // The folder holds the lock file and the socket; it is created when missing.
    explicit SingleInstance(QString folder, Role role = Role::Window, QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString lockFilePath(const QString &folder);
    static QString serverPath(const QString &folder);
    static QString roleName(Role role);
    // In the user's fixed folder: the user's lock, and the record of the runtime folder its holder listens in.
    static QString userLockFilePath(const QString &stateFolder);
    static QString listeningRecordPath(const QString &stateFolder);

    // Before start(): the user's fixed folder, whose lock is taken before the one in the runtime folder.
    void setUserFolder(const QString &stateFolder);

    // Call once. answerTimeout bounds the wait for the running copy's answer once connected to it.
    Start start(std::chrono::milliseconds answerTimeout = std::chrono::seconds(5));

    // Why start() did not return First, for the user; empty otherwise.
    QString errorString() const { return m_errorString; }
    // After AnotherRunning.
    const RunningCopy &runningCopy() const { return m_runningCopy; }

    // The application folder and what the schedule does, for the status answer.
    void setApplicationFolder(const QString &folder) { m_applicationFolder = folder; }
    void setScheduleRunning(std::function<bool()> running) { m_scheduleRunning = std::move(running); }
    // The schedule's next event for the status answer, in the words of the window's schedule tab.
    void setNextEvent(std::function<QString()> next) { m_nextEvent = std::move(next); }
    // What this copy says of itself in its answers: copy, pid, folder, version, schedule, and next when known.
    QJsonObject statusFields() const;
    bool isClosing() const { return m_closing; }
    // Where later requests are added; it listens once start() has returned First.
    LocalRequestServer &server() { return m_server; }

    // After AnotherRunning with a background copy: asks it to hand its schedule over (local_requests.h) and waits,
    // up to closingWait, for the send on the wire to finish. The handed-over state as text; nothing, with
    // errorString() saying why, when the copy would not or could not. Then start() again takes the lock once that
    // copy has ended.
    enum class HandOver {
        HandedOver, // the state is in `state`; that copy is ending
        Ending, // that copy is ending without handing anything over
        Refused, // that copy goes on (an older one that does not hand over, or silent): see errorString()
    };
    HandOver askHandOver(QString *state);

    // The copy is ending: later starts are told so and wait for the end.
    void setClosing();
    // The copy goes on after all (a hand-over whose asker has gone).
    void cancelClosing() { m_closing = false; }
    // Stops listening and lets both locks go before the object is destroyed, so the copy that takes over need not
    // wait for this process to end.
    void release();
    // Where a schedule handed back is left for the next background copy, and where that copy looks for one.
    QString handOverFolder() const;
    QStringList handOverFolders() const;

    // How long a start waits for a closing copy to end.
    static constexpr std::chrono::seconds closingWait { 60 };

signals:
    // Another start asked for the window. It gets its answer only after this signal has been handled, and requests
    // wait until something is connected to it.
    void activationRequested();
    // A connection was refused, with the reason (another user's).
    void requestRefused(const QString &reason);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    enum class Answer { Answered, Closing, Silent, NotListening };
    enum class Locking { Taken, Held, Failed };

    Start fail(Start result, const QString &reason);
    // Both locks, or neither; the error names the one that could not be taken.
    Locking takeLocks();
    // The runtime folder the running copy listens in, as far as this start can tell.
    QString runningCopyFolder() const;
    const QLockFile &heldLock() const;
    void recordListening();
    // Why the lock file cannot be taken although no copy of this user holds it; nothing when a copy may.
    std::optional<QString> lockProblem(const QLockFile &lock) const;
    void listen();
    Answer askRunningCopy(std::chrono::milliseconds answerTimeout);
    void activate(const LocalRequestServer::Reply &reply);
    void answerWaiting();

    QString m_folder;
    Role m_role;
    QLockFile m_lock;
    QString m_userFolder;
    std::unique_ptr<QLockFile> m_userLock;
    QString m_lockError; // the lock file that could not be taken, for the message
    QString m_answeredFolder; // where the running copy answered
    LocalRequestServer m_server;
    QList<LocalRequestServer::Reply> m_waiting;
    QString m_errorString;
    RunningCopy m_runningCopy;
    QString m_applicationFolder;
    std::function<bool()> m_scheduleRunning;
    std::function<QString()> m_nextEvent;
    bool m_closing = false;
};

} // namespace vantiro
