#pragma once

#include "running_copy/local_requests.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

class QLocalServer;
class QLocalSocket;

namespace vantiro {

// The listening side of the local requests (local_requests.h): takes connections on a local socket, reads one
// request line from each and hands it to the handler registered for its name.
//
// Bounded against a flood and a hostile peer: a connection from another user is refused on arrival (its user id
// is read from the socket); one that has not sent its whole line within firstLineTimeout is dropped; a line over
// the limit, a malformed line and an unknown name get an error answer. At most maximumConnections are held at
// once: a new one beyond that drops the oldest one still waiting for its line (or, when all are being answered,
// is told the copy is busy), so idle connections can never use up the process's file descriptors.
class LocalRequestServer : public QObject
{
    Q_OBJECT

public:
    // Answers one request, now or later; answering closes the connection. A connection that has gone meanwhile
    // takes the answer nowhere.
    class Reply
    {
    public:
        explicit Reply(QLocalSocket *socket = nullptr);
        void answer(const QString &word, const QJsonObject &fields = {}) const;
        // The same, and `sent` is called once the answer has left (or the connection has gone without it).
        void answerThen(const QString &word, const QJsonObject &fields, std::function<void()> sent) const;
        void error(const QString &message) const;
        bool isOpen() const;

    private:
        QPointer<QLocalSocket> m_socket;
    };
    using Handler = std::function<void(const local_requests::Message &request, const Reply &reply)>;

    static constexpr std::chrono::seconds firstLineTimeout { 5 };
    static constexpr int maximumConnections = 32;

    explicit LocalRequestServer(QObject *parent = nullptr);
    ~LocalRequestServer() override;

    // Removes a socket file left at the path (the caller holds the lock that makes the name its own) and listens,
    // readable and writable by this user only.
    bool listen(const QString &path, QString *error);
    // Stops listening and removes the socket file; connections held are closed.
    void close();

    void setHandler(const QString &name, Handler handler);

signals:
    // A connection was refused for a reason the user should hear of (another user's).
    void refused(const QString &reason);

private:
    void takeConnections();
    void admit(QLocalSocket *socket);
    void readRequest(QLocalSocket *socket);

    QLocalServer *m_server = nullptr; // a child, so it moves to another thread with this object
    QHash<QString, Handler> m_handlers;
    // Every connection held, oldest first.
    QList<QPointer<QLocalSocket>> m_connections;
};

// The user id of the process at the other end of a connected local socket; nothing where it cannot be read.
std::optional<quint32> peerUserId(qintptr socketDescriptor);

} // namespace vantiro
