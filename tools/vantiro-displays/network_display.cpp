#include "network_display.h"

#include <QTcpSocket>
#include <QtEndian>

#include <utility>

using namespace Qt::StringLiterals;

namespace vantiro::displays {

namespace telnet = rfc2217::telnet;

NetworkDisplay::NetworkDisplay(int comNumber, QObject *parent)
    : QObject(parent)
    , m_comNumber(comNumber)
    , m_decoder(comNumber)
{
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(quietTimeMs);
    connect(&m_quietTimer, &QTimer::timeout, this, [this] { report(m_decoder.lineQuiet()); });
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleTimeoutMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &NetworkDisplay::endClient);
    connect(&m_server, &QTcpServer::newConnection, this, &NetworkDisplay::takeNewConnections);
}

bool NetworkDisplay::listen(quint16 port)
{
    if (m_server.listen(QHostAddress::LocalHost, port))
        return true;
    m_error = m_decoder.portName() + u": cannot listen on port "_s + QString::number(port) + u": "_s
        + m_server.errorString();
    return false;
}

QString NetworkDisplay::address() const
{
    return u"rfc2217://127.0.0.1:"_s + QString::number(m_server.serverPort());
}

// Every connection is taken from the server at once, so that one given up while it waits is seen
// to go and never served; what it sends meanwhile waits in the system.
void NetworkDisplay::takeNewConnections()
{
    while (m_server.hasPendingConnections()) {
        QTcpSocket *socket = m_server.nextPendingConnection();
        socket->setReadBufferSize(readBufferBytes);
        if (m_waiting.size() >= maxWaiting) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (m_waiting.removeOne(socket))
                socket->deleteLater();
        });
        m_waiting.append(socket);
    }
    serveNext();
}

void NetworkDisplay::serveNext()
{
    while (!m_client && !m_waiting.isEmpty()) {
        QTcpSocket *socket = m_waiting.takeFirst();
        socket->disconnect(this);
        if (socket->state() != QAbstractSocket::ConnectedState) {
            socket->deleteLater();
            continue;
        }
        m_client = socket;
        m_reader = rfc2217::TelnetReader();
        m_answered.clear();
        connect(socket, &QTcpSocket::readyRead, this, &NetworkDisplay::readClient);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { clientGone(socket); });
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_idleTimer.start();
        readClient();
    }
}

// Ends the connection being served, whatever its state, and serves the next.
void NetworkDisplay::endClient()
{
    QTcpSocket *client = std::exchange(m_client, nullptr);
    m_idleTimer.stop();
    if (client) {
        client->disconnect(this);
        client->abort();
        client->deleteLater();
    }
    serveNext();
}

void NetworkDisplay::readClient()
{
    QTcpSocket *client = m_client;
    if (!client || client->bytesAvailable() == 0)
        return;
    m_idleTimer.start();
    for (const rfc2217::TelnetReader::Event &event : m_reader.feed(client->readAll())) {
        switch (event.kind) {
        case rfc2217::TelnetReader::Event::Kind::Data:
            report(m_decoder.receive(event.bytes, m_baudRate));
            if (m_decoder.hasPendingBytes())
                m_quietTimer.start();
            else
                m_quietTimer.stop();
            break;
        case rfc2217::TelnetReader::Event::Kind::Negotiation:
            answerNegotiation(event.verb, event.option);
            break;
        case rfc2217::TelnetReader::Event::Kind::Subnegotiation:
            if (event.option == rfc2217::comPortOption)
                answerComPort(event.bytes);
            break;
        }
    }
    if (m_reader.isMalformed() || client->bytesToWrite() > maxUnsentBytes)
        endClient();
}

// The client has ended the connection, or its side of it: ours ends too, and the next may come.
void NetworkDisplay::clientGone(QTcpSocket *client)
{
    if (client != m_client)
        return;
    readClient();
    if (client == m_client)
        endClient();
}

// The COM-PORT-OPTION, binary transmission and going ahead unprompted are taken, anything else
// declined; each once, so that the two sides never answer each other for ever.
void NetworkDisplay::answerNegotiation(quint8 verb, quint8 option)
{
    const quint16 key = quint16(verb << 8 | option);
    if (m_answered.contains(key) || verb == telnet::wont || verb == telnet::dont)
        return;
    m_answered.insert(key);
    const bool taken
        = option == rfc2217::comPortOption || option == telnet::binary || option == telnet::suppressGoAhead;
    if (verb == telnet::will) {
        if (option == telnet::binary)
            m_reader.setBinary(true);
        m_client->write(rfc2217::negotiation(taken ? telnet::doOption : telnet::dont, option));
    } else {
        const bool ours = taken && option != rfc2217::comPortOption; // the client side of the option
        m_client->write(rfc2217::negotiation(ours ? telnet::will : telnet::wont, option));
    }
}

// Each setting asked is answered with the value in force: the one asked when the display can take
// it, the one before otherwise. Value 0 asks what is in force.
void NetworkDisplay::answerComPort(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const quint8 command = quint8(bytes.at(0));
    const QByteArray value = bytes.mid(1);
    const quint8 byte = value.isEmpty() ? 0 : quint8(value.at(0));
    switch (command) {
    case rfc2217::setBaudRate: {
        if (const quint32 baud = rfc2217::baudRateFromWire(value); baud > 0)
            m_baudRate = baud;
        reply(command, rfc2217::baudRateOnWire(m_baudRate));
        return;
    }
    case rfc2217::setDataSize:
        if (byte >= 5 && byte <= 8)
            m_dataSize = byte;
        reply(command, QByteArray(1, char(m_dataSize)));
        return;
    case rfc2217::setParity:
        if (rfc2217::parityFromWire(byte))
            m_parity = byte;
        reply(command, QByteArray(1, char(m_parity)));
        return;
    case rfc2217::setStopSize:
        if (rfc2217::stopBitsFromWire(byte))
            m_stopSize = byte;
        reply(command, QByteArray(1, char(m_stopSize)));
        return;
    case rfc2217::setControl:
        if (byte >= rfc2217::outboundNone && byte <= rfc2217::outboundHardware) {
            m_outboundFlow = byte;
            reply(command, QByteArray(1, char(m_outboundFlow)));
        } else if (byte >= rfc2217::inboundNone && byte <= rfc2217::inboundHardware) {
            m_inboundFlow = byte;
            reply(command, QByteArray(1, char(m_inboundFlow)));
        } else if (byte == 13) {
            reply(command, QByteArray(1, char(m_inboundFlow)));
        } else if (byte == 0) {
            reply(command, QByteArray(1, char(m_outboundFlow)));
        } else {
            reply(command, value); // break, DTR and RTS: a display has none, so any state will do
        }
        return;
    default:
        reply(command, value); // signature, masks and purges: taken as asked
        return;
    }
}

void NetworkDisplay::reply(quint8 command, const QByteArray &value)
{
    m_client->write(rfc2217::subnegotiation(quint8(command + rfc2217::serverOffset), value));
}

void NetworkDisplay::report(const QStringList &lines)
{
    for (const QString &line : lines)
        emit commandReceived(line);
}

} // namespace vantiro::displays
