#pragma once

#include <QList>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace vantiro {

// Keeps Vantiro to one running copy per user. The first start holds a lock file in the user's runtime folder and
// listens on a local socket beside it; a later start asks that copy to bring its window forward and then ends.
//
// Two copies would run the schedule twice and send every event twice, so when a live copy holds the lock but does
// not answer, start() says so and the caller must not start a second one. A lock left behind by a copy that died
// is taken over, so a crash never blocks the next start; one that cannot be taken over (a folder in its place, a
// file of another user, a read-only folder) is named with the reason, rather than taken for a running copy.
//
// A copy whose window has closed but which is still finishing a send answers "closing" instead of coming forward:
// the new start waits for it to end and then starts itself.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Start {
        First, // the only copy: it holds the lock until this object is destroyed
        AnotherRunning, // the running copy has handled activationRequested() and answered
        AnotherUnreachable, // a live copy holds the lock but did not answer in time
        Failed, // the lock could not be taken and no copy holds it (see errorString())
    };

    // The folder holds the lock file and the socket; it is created when missing.
    explicit SingleInstance(QString folder = defaultFolder(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // The user's runtime folder (XDG_RUNTIME_DIR on Linux).
    static QString defaultFolder();
    static QString lockFilePath(const QString &folder);
    static QString serverPath(const QString &folder);

    // Call once. answerTimeout bounds the wait for the running copy's answer once connected to it.
    Start start(std::chrono::milliseconds answerTimeout = std::chrono::seconds(5));

    // Why start() did not return First, for the user; empty otherwise.
    QString errorString() const { return m_errorString; }

    // The window has closed and the program ends soon: later starts are told so and wait for the end.
    void setClosing();

    // How long a start waits for a closing copy to end.
    static constexpr std::chrono::seconds closingWait { 60 };

signals:
    // Another start asked for the window. It gets its answer only after this signal has been handled, and requests
    // wait until something is connected to it.
    void activationRequested();

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    enum class Answer { Activated, Closing, Silent, NotListening };

    Start fail(Start result, const QString &reason);
    // Why the lock file cannot be taken although no copy of this user holds it; nothing when a copy may.
    std::optional<QString> lockProblem() const;
    void listen();
    Answer askForActivation(std::chrono::milliseconds answerTimeout) const;
    void takeConnections();
    void readRequest(QLocalSocket *socket);
    void answerWaiting();
    static void drop(QLocalSocket *socket);

    QString m_folder;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
    QList<QPointer<QLocalSocket>> m_waiting;
    QString m_errorString;
    bool m_closing = false;
};

} // namespace vantiro
