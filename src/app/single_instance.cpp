#include "single_instance.h"

#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaMethod>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

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
    for (;;) {
        if (m_lock.tryLock(0)) {
            listen();
            return Start::First;
        }
        if (m_lock.error() != QLockFile::LockFailedError)
            return fail(Start::Failed, tr("Vantiro cannot create its lock file \"%1\".").arg(m_lock.fileName()));

        const Answer answer = askForActivation(answerTimeout);
        if (answer == Answer::Activated)
            return Start::AnotherRunning;
        if (answer == Answer::Silent || reachDeadline.hasExpired())
            break;
        pause(retryPause);
    }
    return fail(Start::AnotherUnreachable,
                tr("Vantiro is already running but did not answer; not starting a second copy."));
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

    if (socket.canReadLine() && socket.readLine(longestRequest) == activatedAnswer)
        return Answer::Activated;
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
    if (!isSignalConnected(QMetaMethod::fromSignal(&SingleInstance::activationRequested)))
        return;
    // Taken out first: a handler that runs an event loop may bring in further requests meanwhile.
    const QList<QPointer<QLocalSocket>> waiting = std::exchange(m_waiting, {});
    for (const QPointer<QLocalSocket> &socket : waiting) {
        // A start that gave up waiting has already told the user so.
        if (!socket || socket->state() != QLocalSocket::ConnectedState)
            continue;
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
