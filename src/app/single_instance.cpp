#include "single_instance.h"

#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaMethod>
#include <QPointer>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>

#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace std::chrono_literals;

namespace vantiro {

namespace {

// Two copies started together: the one that won the lock may not listen yet, so the other keeps trying this long.
constexpr auto reachWindow = 1500ms;
constexpr auto retryPause = 50ms;
constexpr auto connectTimeout = 200ms;

// A lock file whose owner cannot be read (a crash between creating and writing it) counts as stale after this
// long. A live owner keeps its file locked while it runs, so age alone never takes its lock away.
constexpr auto unreadableLockAge = 10s;

constexpr QByteArrayView activateRequest = "activate\n";
constexpr QByteArrayView activatedAnswer = "activated\n";
constexpr QByteArrayView closingAnswer = "closing\n";
constexpr qint64 longestRequest = 64;

// Waits while still handling events, so that an answer from this same process (in tests) can arrive.
void pause(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_lock(lockFilePath(m_folder))
{
    m_lock.setStaleLockTime(unreadableLockAge);
}

SingleInstance::~SingleInstance()
{
    // The socket file goes while the lock is still ours: once the lock is free, the next copy may already have made
    // its own socket file under the same name.
    m_server.reset();
    m_lock.unlock();
}

QString SingleInstance::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString SingleInstance::lockFilePath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("vantiro.lock"));
}

QString SingleInstance::serverPath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("vantiro.socket"));
}

SingleInstance::Start SingleInstance::start(std::chrono::milliseconds answerTimeout)
{
    if (m_lock.isLocked())
        return Start::First;
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return fail(Start::Failed, tr("Vantiro cannot create its runtime folder \"%1\".").arg(m_folder));

    const QDeadlineTimer reachDeadline(reachWindow);
    std::optional<QDeadlineTimer> closingDeadline;
    for (;;) {
        if (m_lock.tryLock(0)) {
            listen();
            return Start::First;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            const QFileInfo folder(m_folder);
            return fail(
                Start::Failed,
                tr("Vantiro cannot create its lock file \"%1\"%2.")
                    .arg(m_lock.fileName(),
                         folder.isWritable() ? QString() : tr(": the folder \"%1\" is read-only").arg(m_folder)));
        }

        if (closingDeadline) {
            // The closing copy only has to end; its lock is then free.
            if (closingDeadline->hasExpired())
                return fail(Start::AnotherUnreachable,
                            tr("Vantiro is still closing after %1 seconds; start it again once it has ended.")
                                .arg(closingWait.count()));
            pause(retryPause);
            continue;
        }
        const Answer answer = askForActivation(answerTimeout);
        if (answer == Answer::Activated)
            return Start::AnotherRunning;
        if (answer == Answer::Closing) {
            closingDeadline = QDeadlineTimer(closingWait);
            continue;
        }
        if (answer == Answer::NotListening) {
            if (const std::optional<QString> problem = lockProblem())
                return fail(Start::Failed, *problem);
        }
        if (answer == Answer::Silent || reachDeadline.hasExpired())
            break;
        pause(retryPause);
    }
    if (const std::optional<QString> problem = lockProblem())
        return fail(Start::Failed, *problem);
    return fail(Start::AnotherUnreachable,
                tr("Vantiro is already running but did not answer; not starting a second copy."));
}

std::optional<QString> SingleInstance::lockProblem() const
{
    const QString path = m_lock.fileName();
    const QFileInfo info(path);
    if (info.isDir())
        return tr("Vantiro cannot start: its lock file \"%1\" is a folder. Remove it and start Vantiro again.")
            .arg(path);
    if (!info.exists())
        return std::nullopt; // freed meanwhile
#ifdef Q_OS_UNIX
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0 && status.st_uid != ::geteuid())
        return tr("Vantiro cannot start: its lock file \"%1\" belongs to another user (user id %2), probably left by "
                  "a copy run as that user. Remove it and start Vantiro again.")
            .arg(path)
            .arg(status.st_uid);
    qint64 pid = 0;
    QString host;
    if (m_lock.getLockInfo(&pid, &host, nullptr) && host == QSysInfo::machineHostName() && pid > 0
        && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
        const QString reason = !QFileInfo(m_folder).isWritable() ? tr("the folder \"%1\" is read-only").arg(m_folder)
            : !info.isWritable()                                 ? tr("the file is read-only")
                                                                 : tr("it cannot be removed");
        return tr("Vantiro cannot start: its lock file \"%1\" was left by a copy that has ended (process %2), and %3. "
                  "Remove it and start Vantiro again.")
            .arg(path)
            .arg(pid)
            .arg(reason);
    }
#endif
    return std::nullopt;
}

void SingleInstance::setClosing()
{
    m_closing = true;
    answerWaiting();
}

SingleInstance::Start SingleInstance::fail(Start result, const QString &reason)
{
    m_errorString = reason;
    return result;
}

void SingleInstance::listen()
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::takeConnections);

    // A copy that crashed leaves its socket file behind; holding the lock makes the name ours.
    const QString path = serverPath(m_folder);
    QLocalServer::removeServer(path);
    if (!m_server->listen(path))
        qWarning("Vantiro cannot listen on %ls (%ls); a second start will not find this one.", qUtf16Printable(path),
                 qUtf16Printable(m_server->errorString()));
}

SingleInstance::Answer SingleInstance::askForActivation(std::chrono::milliseconds answerTimeout) const
{
    QLocalSocket socket;
    socket.connectToServer(serverPath(m_folder));
    if (!socket.waitForConnected(int(connectTimeout.count())))
        return Answer::NotListening;
    socket.write(activateRequest.data(), activateRequest.size());

    QEventLoop loop;
    QTimer::singleShot(answerTimeout, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (socket.canReadLine())
            loop.quit();
    });
    connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    if (socket.state() == QLocalSocket::ConnectedState)
        loop.exec();

    if (socket.canReadLine()) {
        const QByteArray answer = socket.readLine(longestRequest);
        if (answer == activatedAnswer)
            return Answer::Activated;
        if (answer == closingAnswer)
            return Answer::Closing;
    }
    // Closed without an answer: that copy is ending, and its lock is about to be free.
    if (socket.state() != QLocalSocket::ConnectedState)
        return Answer::NotListening;
    return Answer::Silent;
}

void SingleInstance::takeConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > longestRequest)
            drop(socket);
        return;
    }
    if (socket->readLine(longestRequest + 1) != activateRequest) {
        drop(socket);
        return;
    }
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    m_waiting.append(socket);
    answerWaiting();
}

void SingleInstance::connectNotify(const QMetaMethod &signal)
{
    // Requests that came while nothing could bring a window forward (the window was still being made) are
    // answered now, from the event loop rather than from inside connect().
    if (signal == QMetaMethod::fromSignal(&SingleInstance::activationRequested))
        QMetaObject::invokeMethod(this, &SingleInstance::answerWaiting, Qt::QueuedConnection);
}

void SingleInstance::answerWaiting()
{
    if (!m_closing && !isSignalConnected(QMetaMethod::fromSignal(&SingleInstance::activationRequested)))
        return;
    // Taken out first: a handler that runs an event loop may bring in further requests meanwhile.
    const QList<QPointer<QLocalSocket>> waiting = std::exchange(m_waiting, {});
    for (const QPointer<QLocalSocket> &socket : waiting) {
        // A start that gave up waiting has already told the user so.
        if (!socket || socket->state() != QLocalSocket::ConnectedState)
            continue;
        // A closing copy brings nothing forward: the asking start waits for it to end instead.
        if (m_closing) {
            socket->write(closingAnswer.data(), closingAnswer.size());
            socket->disconnectFromServer();
            continue;
        }
        // The window is forward before the answer leaves, so the asking start can end knowing the user sees it.
        emit activationRequested();
        if (!socket)
            continue;
        socket->write(activatedAnswer.data(), activatedAnswer.size());
        socket->disconnectFromServer();
    }
}

// Anything but the one request is not another start of Vantiro.
void SingleInstance::drop(QLocalSocket *socket)
{
    socket->abort();
    socket->deleteLater();
}

} // namespace vantiro
