#pragma once

#include "display_decoder.h"
#include "serial/rfc2217.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

namespace vantiro::displays {

// A virtual display behind a serial device server of its own: it listens on a loopback TCP port and
// speaks RFC 2217 to whoever connects, taking the line settings it is sent, and decodes the bytes
// that arrive at the baud rate in force, as a display on a pty does. One connection at a time; the
// next waits until the last has ended (a few at most wait; one given up while waiting is forgotten).
// It ends a connection once its client has ended its side, has sent nothing for idleTimeoutMs, has
// sent what no client would (a subnegotiation that never ends) or leaves the answers unread.
class NetworkDisplay : public QObject
{
    Q_OBJECT

public:
    explicit NetworkDisplay(int comNumber, QObject *parent = nullptr);

    // Port 0: any free port.
    bool listen(quint16 port);
    QString errorText() const { return m_error; }
    int comNumber() const { return m_comNumber; }
    // "rfc2217://127.0.0.1:<port>", as Ports.ini names it.
    QString address() const;

    static constexpr int quietTimeMs = 100;
    static constexpr int idleTimeoutMs = 5000;
    static constexpr int maxWaiting = 8;
    // What is read from a client at a time, and what may wait unread by it.
    static constexpr qint64 readBufferBytes = 16 * 1024;
    static constexpr qint64 maxUnsentBytes = 64 * 1024;

signals:
    void commandReceived(const QString &line);

private:
    void takeNewConnections();
    void serveNext();
    void endClient();
    void readClient();
    void clientGone(QTcpSocket *client);
    void answerNegotiation(quint8 verb, quint8 option);
    void answerComPort(const QByteArray &bytes);
    void reply(quint8 command, const QByteArray &value);
    void report(const QStringList &lines);

    int m_comNumber;
    QString m_error;
    QTcpServer m_server;
    QTcpSocket *m_client = nullptr;
    QList<QTcpSocket *> m_waiting; // children of the server's, in the order they came
    QTimer m_idleTimer;
    rfc2217::TelnetReader m_reader;
    QSet<quint16> m_answered;
    DisplayDecoder m_decoder;
    QTimer m_quietTimer;
    quint32 m_baudRate = 9600;
    quint8 m_dataSize = 8;
    quint8 m_parity = 1;
    quint8 m_stopSize = 1;
    quint8 m_outboundFlow = rfc2217::outboundNone;
    quint8 m_inboundFlow = rfc2217::inboundNone;
};

} // namespace vantiro::displays
