#include "running_copy/local_request_server.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

void drop(QLocalSocket *socket)
{
    socket->abort();
    socket->deleteLater();
}

// The timer that drops a connection which has not sent its line in time; gone once the line is read.
const char *const lineTimerName = "vantiroLineTimer";

QTimer *lineTimer(QLocalSocket *socket)
{
    return socket->findChild<QTimer *>(QLatin1StringView(lineTimerName), Qt::FindDirectChildrenOnly);
}

} // namespace

std::optional<quint32> peerUserId(qintptr socketDescriptor)
{
#if defined(Q_OS_LINUX)
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return std::nullopt;
    return quint32(credentials.uid);
#elif defined(Q_OS_UNIX)
    uid_t uid = 0;
    gid_t gid = 0;
    if (::getpeereid(int(socketDescriptor), &uid, &gid) != 0)
        return std::nullopt;
    return quint32(uid);
#else
    Q_UNUSED(socketDescriptor);
    return std::nullopt;
#endif
}

LocalRequestServer::Reply::Reply(QLocalSocket *socket)
    : m_socket(socket)
{ }

void LocalRequestServer::Reply::answer(const QString &word, const QJsonObject &fields) const
{
    answerThen(word, fields, {});
}

void LocalRequestServer::Reply::answerThen(const QString &word, const QJsonObject &fields,
                                           std::function<void()> sent) const
{
    if (!isOpen()) {
        if (sent)
            sent();
        return;
    }
    QLocalSocket *socket = m_socket;
    if (sent) {
        // Disconnected once the answer has been written (or the peer has gone); destroyed with the server.
        auto once = std::make_shared<std::function<void()>>(std::move(sent));
        const auto call = [once] {
            if (*once)
                std::exchange(*once, {})();
        };
        connect(socket, &QLocalSocket::disconnected, socket, call);
        connect(socket, &QObject::destroyed, call);
    }
    // A write the socket does not take whole means the peer has gone: the connection is closed as such.
    const QByteArray text = local_requests::line(word, fields);
    if (socket->write(text) != text.size()) {
        drop(socket);
        return;
    }
    socket->disconnectFromServer();
}

void LocalRequestServer::Reply::error(const QString &message) const
{
    answer(local_requests::error, QJsonObject { { u"message"_s, message } });
}

bool LocalRequestServer::Reply::isOpen() const
{
    return m_socket && m_socket->state() == QLocalSocket::ConnectedState;
}

LocalRequestServer::LocalRequestServer(QObject *parent)
    : QObject(parent)
{ }

LocalRequestServer::~LocalRequestServer()
{
    close();
}

bool LocalRequestServer::listen(const QString &path, QString *error)
{
    close();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &LocalRequestServer::takeConnections);
    QLocalServer::removeServer(path);
    if (m_server->listen(path))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

void LocalRequestServer::close()
{
    delete std::exchange(m_server, nullptr);
    m_connections.clear();
}

void LocalRequestServer::setHandler(const QString &name, Handler handler)
{
    m_handlers.insert(name, std::move(handler));
}

void LocalRequestServer::takeConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection())
        admit(socket);
}

void LocalRequestServer::admit(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    socket->setReadBufferSize(local_requests::maximumLineBytes);
#ifdef Q_OS_UNIX
    const std::optional<quint32> peer = peerUserId(socket->socketDescriptor());
    if (!peer || *peer != ::geteuid()) {
        const QString who = peer ? u"user id %1"_s.arg(*peer) : u"a process whose user cannot be read"_s;
        emit refused(u"A request from "_s + who
                     + u" was refused: only user id %1 may ask this copy."_s.arg(::geteuid()));
        Reply(socket).error(u"refused: this copy belongs to another user"_s);
        return;
    }
#endif

    m_connections.removeAll(nullptr);
    if (m_connections.size() >= maximumConnections) {
        const auto idle = std::find_if(m_connections.begin(), m_connections.end(),
                                       [](const QPointer<QLocalSocket> &held) { return lineTimer(held) != nullptr; });
        if (idle == m_connections.end()) {
            Reply(socket).error(u"busy: too many requests at once; ask again in a moment"_s);
            return;
        }
        QLocalSocket *oldest = *idle;
        m_connections.erase(idle);
        drop(oldest);
    }
    m_connections.append(socket);

    auto *timer = new QTimer(socket);
    timer->setObjectName(QLatin1StringView(lineTimerName));
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, socket, [socket] { drop(socket); });
    timer->start(firstLineTimeout);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    readRequest(socket);
}

void LocalRequestServer::readRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() < local_requests::maximumLineBytes)
            return; // the rest of the line is still coming
    }
    delete lineTimer(socket);
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    const Reply reply(socket);
    if (!socket->canReadLine()) {
        reply.error(u"the request is longer than %1 bytes"_s.arg(local_requests::maximumLineBytes));
        return;
    }

    const std::variant<local_requests::Message, QString> request
        = local_requests::parse(socket->readLine(local_requests::maximumLineBytes + 1));
    if (const QString *problem = std::get_if<QString>(&request)) {
        reply.error(*problem);
        return;
    }
    const local_requests::Message &message = std::get<local_requests::Message>(request);
    const auto handler = m_handlers.constFind(message.word);
    if (handler == m_handlers.cend()) {
        reply.error(u"unknown request \"%1\""_s.arg(message.word));
        return;
    }
    (*handler)(message, reply);
}

} // namespace vantiro
