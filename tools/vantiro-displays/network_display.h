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
// next waits until the last has ended. It ends a connection once its client has ended its side.
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

signals:
    void commandReceived(const QString &line);

private:
    void takeNextConnection();
    void readClient();
    void clientGone();
    void answerNegotiation(quint8 verb, quint8 option);
    void answerComPort(const QByteArray &bytes);
    void reply(quint8 command, const QByteArray &value);
    void report(const QStringList &lines);

    int m_comNumber;
    QString m_error;
    QTcpServer m_server;
    QTcpSocket *m_client = nullptr;
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
