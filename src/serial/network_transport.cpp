#include "network_transport.h"

#include "serial/network_address.h"
#include "serial/rfc2217.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QSet>
#include <QTcpSocket>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif
#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#endif

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

namespace telnet = rfc2217::telnet;

// A host name looked up on a thread of its own, so that a resolver that hangs cannot hold the send
// past its deadline; a lookup that comes back late is dropped.
std::optional<QHostAddress> lookUp(const QString &host, const QDeadlineTimer &deadline, QString &why)
{
    if (QHostAddress literal; literal.setAddress(host))
        return literal;
    struct Shared
    {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<QHostInfo> info;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, host] {
        QHostInfo info = QHostInfo::fromName(host);
        const std::lock_guard lock(shared->mutex);
        shared->info = std::move(info);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, std::chrono::milliseconds(deadline.remainingTime()),
                               [&] { return shared->info.has_value(); })) {
        why = u"the name could not be looked up in time"_s;
        return std::nullopt;
    }
    if (shared->info->error() != QHostInfo::NoError || shared->info->addresses().isEmpty()) {
        why = u"host not found"_s;
        return std::nullopt;
    }
    return shared->info->addresses().constFirst();
}

QString noConnectionText()
{
    return u"no connection within %1 s"_s.arg(connectTimeoutMs / 1000);
}

// A value as a message shows it: a server's answer may be of any length.
QString shownBytes(const QByteArray &bytes)
{
    constexpr qsizetype shown = 8;
    const QString hex = QString::fromLatin1(bytes.first(qMin(shown, bytes.size())).toHex(' '));
    return bytes.size() > shown ? hex + u" ..."_s : hex;
}

QString socketProblem(const QTcpSocket &socket)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return u"connection refused"_s;
    case QAbstractSocket::RemoteHostClosedError:
        return u"the server closed the connection"_s;
    case QAbstractSocket::HostNotFoundError:
        return u"host not found"_s;
    case QAbstractSocket::SocketTimeoutError:
        return u"no answer in time"_s;
    case QAbstractSocket::NetworkError:
        return u"network unreachable"_s;
    default:
        return socket.errorString();
    }
}

class NetworkTransport final : public SerialTransport
{
public:
    SendOutcome::Status open(const PortConfig &config) override
    {
        m_deadline = QDeadlineTimer(sendTimeoutMs);
        m_error.clear();
        m_unanswered = false;
        m_pending.clear();
        m_baudRate = config.settings.baudRate;
        m_binary = false;
        m_drained = false;
        QString problem;
        const std::optional<NetworkAddress> address = parseNetworkAddress(config.devicePath, &problem);
        if (!address) {
            m_error = problem;
            return SendOutcome::Status::Unreachable;
        }
        m_address = *address;
        if (!connectToServer())
            return SendOutcome::Status::Unreachable;
        if (m_address.protocol == NetworkAddress::Protocol::RawTcp)
            return SendOutcome::Status::Sent;
        return negotiate(config);
    }

    bool write(char byte) override
    {
        // Collected and handed over at once in drain(): the line sees the bytes back to back either way.
        m_pending += byte;
        return true;
    }

    SendOutcome::Status drain() override
    {
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            return unreachable(socketProblem(m_socket));
        // A raw connection carries the bytes as they are; telnet escapes them.
        const bool raw = m_address.protocol == NetworkAddress::Protocol::RawTcp;
        m_socket.write(raw ? m_pending : rfc2217::escapeData(m_pending, m_binary));
        const qint64 bytes = m_pending.size();
        m_pending.clear();
        while (m_socket.bytesToWrite() > 0) {
            if (m_deadline.hasExpired() || !m_socket.waitForBytesWritten(remainingMs()))
                return unreachable(m_deadline.hasExpired() ? timedOut() : socketProblem(m_socket));
        }
        m_lineFree = std::chrono::steady_clock::now() + std::chrono::microseconds(lineTimeUs(bytes, m_baudRate));
        m_drained = true;
        return m_address.protocol == NetworkAddress::Protocol::RawTcp ? SendOutcome::Status::SentLineSettingsKept
                                                                      : SendOutcome::Status::Sent;
    }

    bool finishesLater() const override { return m_drained; }

    // The bytes are given their time on the server's line before the connection ends: a server may
    // discard what its port still holds when a connection closes (ser2net flushes the port, and a
    // USB adapter's own buffer is not counted as still to send). The link runs this while it opens
    // the next port, so the wait costs a run nothing. Should the link have been held up meanwhile,
    // the close still gets a moment of its own.
    SendOutcome::Status finish() override
    {
        m_drained = false;
        std::this_thread::sleep_until(m_lineFree);
        if (m_deadline.remainingTime() < closeGraceMs)
            m_deadline = QDeadlineTimer(closeGraceMs);
        // Our end of the connection is ended; the server ends its own once it has taken every byte.
        // Anything it sends meanwhile is read, so that closing never resets the connection.
        endOurSide();
        while (m_socket.state() == QAbstractSocket::ConnectedState) {
            if (m_deadline.hasExpired())
                return unreachable(u"the server did not close the connection in time"_s);
            m_socket.waitForReadyRead(remainingMs());
            m_socket.readAll();
        }
        if (m_socket.error() != QAbstractSocket::RemoteHostClosedError
            && m_socket.error() != QAbstractSocket::UnknownSocketError)
            return unreachable(socketProblem(m_socket));
        return SendOutcome::Status::Sent;
    }

    void close() override
    {
        if (m_socket.state() == QAbstractSocket::UnconnectedState)
            return;
        m_socket.readAll();
        m_socket.abort();
    }

    QString errorText() const override { return m_error; }

    std::optional<QString> unansweredHost() const override
    {
        return m_unanswered ? std::optional(m_address.host) : std::nullopt;
    }

private:
    bool connectToServer()
    {
        const QDeadlineTimer connectDeadline(qMin<qint64>(connectTimeoutMs, m_deadline.remainingTime()));
        QString why;
        const std::optional<QHostAddress> host = lookUp(m_address.host, connectDeadline, why);
        if (!host) {
            m_unanswered = connectDeadline.hasExpired();
            unreachable(why);
            return false;
        }
        // Whatever the server sends waits in the system until it is read, a piece at a time.
        m_socket.setReadBufferSize(readChunkBytes);
        m_socket.connectToHost(*host, m_address.port);
        if (!m_socket.waitForConnected(int(qMax<qint64>(1, connectDeadline.remainingTime())))) {
            m_unanswered = m_socket.error() == QAbstractSocket::SocketTimeoutError || connectDeadline.hasExpired();
            unreachable(m_unanswered ? noConnectionText() : socketProblem(m_socket));
            m_socket.abort();
            return false;
        }
        // Commands are a few bytes each; waiting to fill a segment would only delay them.
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }

    // Offers the COM-PORT-OPTION and binary transmission, then, once the server takes the option,
    // asks each line setting in turn and waits for the server to confirm it. One at a time: each
    // question carries the acknowledgement of the last answer, so a server that holds back small
    // packets until they are acknowledged (Nagle) answers at once instead of after a delayed ACK.
    SendOutcome::Status negotiate(const PortConfig &config)
    {
        m_requested = rfc2217::settingsFor(config.settings, config.handshaking);
        m_confirmed = 0;
        m_asked = 0;
        m_mismatch.clear();
        m_comPort = Answer::Pending;
        m_binaryAnswer = Answer::Pending;
        m_answered.clear();
        m_negotiations = 0;
        m_reader = rfc2217::TelnetReader();
        m_socket.write(rfc2217::negotiation(telnet::will, rfc2217::comPortOption)
                       + rfc2217::negotiation(telnet::will, telnet::binary)
                       + rfc2217::negotiation(telnet::doOption, telnet::binary));
        for (;;) {
            if (m_comPort == Answer::Refused)
                return rejected(m_address.hostAndPort() + u" refused the COM-PORT-OPTION"_s);
            if (!m_mismatch.isEmpty())
                return rejected(m_mismatch);
            if (m_comPort == Answer::Accepted && m_asked == m_confirmed) {
                // The server answers in order, so binary transmission is settled by now; a server
                // that never answered it gets CR as CR NUL, which it takes either way.
                if (m_confirmed == m_requested.size()) {
                    m_binary = m_binaryAnswer == Answer::Accepted;
                    return SendOutcome::Status::Sent;
                }
                const rfc2217::Setting &setting = m_requested.at(m_asked++);
                m_socket.write(rfc2217::subnegotiation(setting.command, setting.value));
            }
            if (const std::optional<SendOutcome::Status> failure = waitForServer()) {
                if (*failure == SendOutcome::Status::Unreachable && m_deadline.hasExpired()
                    && m_comPort == Answer::Accepted)
                    return rejected(m_address.hostAndPort() + u" did not confirm the line settings"_s);
                return *failure;
            }
        }
    }

    // Reads a piece of what the server sent and answers its negotiations. Nothing while the send can
    // go on; otherwise why not, with the reason in m_error: the connection is gone, the deadline has
    // passed (however busy the server keeps us), or the server's answer is malformed.
    std::optional<SendOutcome::Status> waitForServer()
    {
        while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(remainingMs())) { }
        acknowledgeAtOnce();
        if (m_deadline.hasExpired() || (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(remainingMs())))
            return unreachable(m_deadline.hasExpired() ? timedOut() : socketProblem(m_socket));
        for (const rfc2217::TelnetReader::Event &event : m_reader.feed(m_socket.read(readChunkBytes))) {
            if (event.kind == rfc2217::TelnetReader::Event::Kind::Negotiation) {
                if (++m_negotiations > maxNegotiations)
                    return malformed(u"more than %1 negotiations"_s.arg(maxNegotiations));
                answerNegotiation(event.verb, event.option);
            } else if (event.kind == rfc2217::TelnetReader::Event::Kind::Subnegotiation
                       && event.option == rfc2217::comPortOption) {
                takeConfirmation(event.bytes);
            }
            // Data from the display is not for us: nothing is ever read back.
        }
        if (m_reader.isMalformed())
            return malformed(
                u"a subnegotiation longer than %1 bytes"_s.arg(rfc2217::TelnetReader::maxSubnegotiationBytes));
        return std::nullopt;
    }

    void answerNegotiation(quint8 verb, quint8 option)
    {
        if (option == rfc2217::comPortOption && (verb == telnet::doOption || verb == telnet::dont)) {
            if (m_comPort == Answer::Pending)
                m_comPort = verb == telnet::doOption ? Answer::Accepted : Answer::Refused;
            return;
        }
        if (option == telnet::binary && (verb == telnet::doOption || verb == telnet::dont)) {
            if (m_binaryAnswer == Answer::Pending)
                m_binaryAnswer = verb == telnet::doOption ? Answer::Accepted : Answer::Refused;
            return;
        }
        if (option == telnet::binary && verb == telnet::will)
            return; // asked for already
        // Going ahead unprompted is what we want both ways; anything else the server offers or asks is
        // declined, once per option, so that no two sides answer each other for ever.
        const quint16 key = quint16(verb << 8 | option);
        if (m_answered.contains(key) || verb == telnet::wont || verb == telnet::dont)
            return;
        m_answered.insert(key);
        const bool goAhead = option == telnet::suppressGoAhead;
        if (verb == telnet::will)
            m_socket.write(rfc2217::negotiation(goAhead ? telnet::doOption : telnet::dont, option));
        else
            m_socket.write(rfc2217::negotiation(goAhead ? telnet::will : telnet::wont, option));
    }

    // The server's answers come in the order the settings were asked; each must be what was asked.
    void takeConfirmation(const QByteArray &bytes)
    {
        if (bytes.isEmpty() || m_confirmed >= m_asked)
            return;
        const rfc2217::Setting &asked = m_requested.at(m_confirmed);
        if (quint8(bytes.at(0)) != asked.command + rfc2217::serverOffset)
            return; // a notification, not an answer
        ++m_confirmed;
        if (bytes.mid(1) != asked.value)
            m_mismatch = m_address.hostAndPort()
                + u" refused the %1 (asked %2, in force %3)"_s.arg(rfc2217::commandName(asked.command),
                                                                   shownBytes(asked.value), shownBytes(bytes.mid(1)));
    }

    // A server answers one packet at a time while its last one is unacknowledged (Nagle), and our
    // system would hold that acknowledgement back for up to 40 ms hoping to send it with data of
    // ours. Each answer comes sooner when every packet is acknowledged as it arrives.
    void acknowledgeAtOnce()
    {
#ifdef Q_OS_LINUX
        const int on = 1;
        ::setsockopt(int(m_socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
    }

    void endOurSide()
    {
#ifdef Q_OS_WIN
        ::shutdown(SOCKET(m_socket.socketDescriptor()), SD_SEND);
#else
        ::shutdown(int(m_socket.socketDescriptor()), SHUT_WR);
#endif
    }

    SendOutcome::Status rejected(const QString &why)
    {
        m_error = why;
        return SendOutcome::Status::SettingsRejected;
    }

    SendOutcome::Status malformed(const QString &why)
    {
        m_error = m_address.hostAndPort() + u": "_s + why;
        return SendOutcome::Status::MalformedAnswer;
    }

    SendOutcome::Status unreachable(const QString &why)
    {
        m_error = m_address.hostAndPort() + u": "_s + why;
        return SendOutcome::Status::Unreachable;
    }

    QString timedOut() const
    {
        return u"no answer within %1 s"_s.arg(sendTimeoutMs / 1000);
    }
    int remainingMs() const
    {
        return int(qMax<qint64>(1, m_deadline.remainingTime()));
    }

    enum class Answer { Pending, Accepted, Refused };

    QTcpSocket m_socket;
    NetworkAddress m_address;
    QDeadlineTimer m_deadline;
    rfc2217::TelnetReader m_reader;
    QList<rfc2217::Setting> m_requested;
    qsizetype m_asked = 0;
    qsizetype m_confirmed = 0;
    QString m_mismatch;
    Answer m_comPort = Answer::Pending;
    Answer m_binaryAnswer = Answer::Pending;
    QSet<quint16> m_answered;
    int m_negotiations = 0;
    bool m_unanswered = false;
    bool m_binary = false;
    bool m_drained = false;
    std::chrono::steady_clock::time_point m_lineFree;
    QByteArray m_pending;
    qint32 m_baudRate = 9600;
    QString m_error;
};

} // namespace

QString notTriedAgainText(const QString &host)
{
    return host + u": "_s + noConnectionText() + u"; not tried again in this send"_s;
}

std::unique_ptr<SerialTransport> makeNetworkTransport()
{
    return std::make_unique<NetworkTransport>();
}

} // namespace vantiro
