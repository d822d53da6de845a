#include "ser2net_server.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vantiro::test {

namespace {

constexpr int startMs = 5000;

// A port nobody listens on now. Another program may take it before ser2net does; start() then tries
// again with others.
quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

// The sockets that listen on a TCP port, by the system's tables: a server is not connected to, so
// ser2net opens no device for the look.
QSet<QByteArray> listeningSockets(quint16 port)
{
    QSet<QByteArray> inodes;
    const QByteArray portHex = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const char *table : { "/proc/net/tcp", "/proc/net/tcp6" }) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // the heading
        for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
            // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
            const QList<QByteArray> fields = line.simplified().split(' ');
            constexpr int listenState = 0x0A;
            if (fields.size() > 9 && fields[1].endsWith(QByteArray(':' + portHex)) && fields[3].toInt(nullptr, 16) == listenState)
                inodes.insert(fields[9]);
        }
    }
    return inodes;
}

// Whether the process itself listens there. Another program may have taken the port before ser2net
// could, and ser2net runs on without it; connections would then reach that program instead.
bool listensOn(qint64 pid, quint16 port)
{
    const QSet<QByteArray> inodes = listeningSockets(port);
    if (inodes.isEmpty())
        return false;
    const QString fds = u"/proc/%1/fd"_s.arg(pid);
    for (const QString &fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const ssize_t size = ::readlink(QFile::encodeName(fds + u'/' + fd).constData(), target, sizeof target - 1);
        const QByteArray link(target, qMax<ssize_t>(0, size));
        if (link.startsWith("socket:[") && inodes.contains(link.mid(8).chopped(1)))
            return true;
    }
    return false;
}

QString accepter(Ser2netServer::Protocol protocol)
{
    switch (protocol) {
    case Ser2netServer::Protocol::Rfc2217:
        return u"telnet(rfc2217),tcp"_s;
    case Ser2netServer::Protocol::RawTcp:
        return u"tcp"_s;
    case Ser2netServer::Protocol::TelnetOnly:
        return u"telnet,tcp"_s;
    }
    return u"tcp"_s;
}

// The server's program: on the PATH, or in /usr/sbin, which a user's PATH may leave out.
QString ser2netProgram()
{
    const QString onPath = QStandardPaths::findExecutable(u"ser2net"_s);
    return onPath.isEmpty() ? QStandardPaths::findExecutable(u"ser2net"_s, { u"/usr/sbin"_s }) : onPath;
}

} // namespace

Ser2netServer::~Ser2netServer()
{
    stop();
}

bool Ser2netServer::isInstalled()
{
    return !ser2netProgram().isEmpty();
}

bool Ser2netServer::start(const QList<Connection> &connections)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startOnce(connections))
            return true;
        stop();
    }
    return false;
}

bool Ser2netServer::startOnce(const QList<Connection> &connections)
{
    m_connections = connections;
    m_ports.clear();
    QByteArray config = "%YAML 1.1\n---\n";
    for (int i = 0; i < connections.size(); ++i) {
        const quint16 port = freeLoopbackPort();
        if (port == 0) {
            m_error = u"no free loopback port"_s;
            return false;
        }
        m_ports.append(port);
        // "local": a pty has no modem lines to wait for.
        config
            += QStringLiteral("connection: &con%1\n  accepter: %2,127.0.0.1,%3\n  connector: serialdev,%4,%5,local\n")
                   .arg(QString::number(i), accepter(connections[i].protocol), QString::number(port),
                        connections[i].device, connections[i].lineSettings)
                   .toUtf8();
    }
    QFile file(m_dir.filePath(u"ser2net.yaml"_s));
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(config) != config.size()) {
        m_error = u"cannot write the ser2net configuration"_s;
        return false;
    }
    file.close();

    const QString program = ser2netProgram();
    // Foreground (-n), no UUCP lock files (-u): the test owns its ptys; its own pid file.
    // What it says goes to a file, read only to tell why it did not start.
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(u"ser2net.log"_s));
    m_process.start(program, { u"-n"_s, u"-u"_s, u"-c"_s, file.fileName(), u"-P"_s, m_dir.filePath(u"ser2net.pid"_s) });
    if (!m_process.waitForStarted(startMs)) {
        m_error = u"ser2net did not start: "_s + m_process.errorString();
        return false;
    }
    if (!QTest::qWaitFor([this] { return allListening() || m_process.state() != QProcess::Running; }, startMs)
        || m_process.state() != QProcess::Running) {
        QFile log(m_dir.filePath(u"ser2net.log"_s));
        m_error = u"ser2net did not listen on every port: "_s
            + QString::fromLocal8Bit(log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray());
        return false;
    }
    return true;
}

bool Ser2netServer::allListening() const
{
    for (const quint16 port : m_ports) {
        if (!listensOn(m_process.processId(), port))
            return false;
    }
    return true;
}

void Ser2netServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(startMs)) {
        m_process.kill();
        m_process.waitForFinished(startMs);
    }
}

QString Ser2netServer::url(int connection) const
{
    const QString scheme = m_connections.at(connection).protocol == Protocol::RawTcp ? u"socket"_s : u"rfc2217"_s;
    return scheme + u"://127.0.0.1:"_s + QString::number(port(connection));
}

} // namespace vantiro::test
