#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace vantiro::test {

// A real ser2net (the Debian package), run in the foreground on loopback by the test itself with a
// configuration of its own: one connection per device, each on a free TCP port, serving the device
// over RFC 2217 or as raw TCP. Stopped when it goes.
class Ser2netServer
{
public:
    enum class Protocol { Rfc2217, RawTcp, TelnetOnly }; // TelnetOnly: telnet without the COM-PORT-OPTION

    struct Connection
    {
        QString device;
        Protocol protocol = Protocol::Rfc2217;
        QString lineSettings = QStringLiteral("9600n81"); // in force until a client sets its own
    };

    Ser2netServer() = default;
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer &) = delete;
    Ser2netServer &operator=(const Ser2netServer &) = delete;

    static bool isInstalled();

    // Starts the server and waits until every connection listens; false with the reason in
    // errorText() otherwise.
    bool start(const QList<Connection> &connections);
    void stop();
    QString errorText() const { return m_error; }

    quint16 port(int connection) const { return m_ports.at(connection); }
    // "rfc2217://127.0.0.1:<port>" or "socket://127.0.0.1:<port>", as Ports.ini names it.
    QString url(int connection) const;

private:
    bool startOnce(const QList<Connection> &connections);
    bool allListening() const;

    QTemporaryDir m_dir;
    QProcess m_process;
    QList<Connection> m_connections;
    QList<quint16> m_ports;
    QString m_error;
};

} // namespace vantiro::test
