#include "line_watcher.h"
#include "pty_displays.h"
#include "ser2net_server.h"
#include "serial/network_transport.h"
#include "serial/port_map.h"
#include "serial/rfc2217.h"
#include "serial/serial_link.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace vantiro;
using namespace Qt::StringLiterals;
using vantiro::test::LineWatcher;
using vantiro::test::PtyDisplays;
using vantiro::test::Ser2netServer;
using vantiro::test::TempAppFolder;
using Status = vantiro::SendOutcome::Status;
using Protocol = vantiro::test::Ser2netServer::Protocol;

namespace {

constexpr quint32 idleSpeed = 50; // the ptys' speed while no one has them open
// 0xFF must reach the line once, though telnet doubles it; CR NUL must stay CR NUL.
const QString command = u"6B 61 20 FF 20 30 31 0D 00 0D"_s;
const QByteArray onTheLine("ka \xFF 01\r\0\r", 10);

// A display on a pty behind a real ser2net, and Vantiro's application folder whose Ports.ini sends
// COM 1 there.
struct ServerRig
{
    // The test checks `started` (with the server's errorText()) before going on.
    explicit ServerRig(Protocol protocol)
        : started(displays.isValid() && server.start({ { displays.display(1).devicePath(), protocol, u"4800n81"_s } }))
    {
        if (started)
            mapCom1(server.url(0));
    }
    void mapCom1(const QString &address)
    {
        folder.writeFile(PortMap::fileName(), "[COM_PORTS]\r\n1=" + address.toUtf8() + "\r\n");
    }

    TempAppFolder serverSide; // holds the ptys' own Ports.ini, unused
    PtyDisplays displays { serverSide, { 1 }, {}, idleSpeed };
    Ser2netServer server;
    bool started = false;
    TempAppFolder folder;
    SerialLink link { PortMap(folder.path()) };
};

// A loopback socket bound to a free port of `host`, listening when a backlog is given; -1 when it
// could not be had.
int boundSocket(const char *host, int backlog = -1)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, host, &address.sin_addr);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || (backlog >= 0 && ::listen(fd, backlog) != 0)) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

sockaddr_in addressOf(int fd)
{
    sockaddr_in address {};
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    return address;
}

quint16 portOf(int fd)
{
    return ntohs(addressOf(fd).sin_port);
}

// A port that listens but never takes a connection: its queue is kept full, so the system lets
// every further connection wait unanswered, as a server that has hung does.
class UnansweredPort
{
public:
    explicit UnansweredPort(const char *host)
        : m_listener(boundSocket(host, 0))
    {
        const sockaddr_in address = addressOf(m_listener);
        for (int &filler : m_fillers) {
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(filler, reinterpret_cast<const sockaddr *>(&address), sizeof address);
        }
    }
    ~UnansweredPort()
    {
        for (const int filler : m_fillers)
            ::close(filler);
        ::close(m_listener);
    }
    quint16 port() const { return portOf(m_listener); }

private:
    int m_listener;
    int m_fillers[3] = {};
};

// A server of the test's own on loopback that takes one connection on a thread of its own and
// answers it as `script` says: given all the client has sent so far, the bytes to send now. It
// records what it received and closes when the client ends its side, goes, or the test is over.
class ScriptedServer
{
public:
    using Script = std::function<QByteArray(const QByteArray &received)>;

    ScriptedServer(const char *host, Script script)
        : m_listener(boundSocket(host, 1))
        , m_thread([this, script = std::move(script)] { serve(script); })
    { }
    ~ScriptedServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    quint16 port() const { return portOf(m_listener); }
    QByteArray received() const
    {
        const std::lock_guard lock(m_mutex);
        return m_received;
    }

private:
    void serve(const Script &script)
    {
        // Should a client never end, the server does after a while rather than hold the test.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int client = -1;
        while (client < 0 && !m_stop && std::chrono::steady_clock::now() < end) {
            pollfd listening { m_listener, POLLIN, 0 };
            if (::poll(&listening, 1, 10) > 0)
                client = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        }
        QByteArray unsent;
        while (client >= 0 && !m_stop && std::chrono::steady_clock::now() < end) {
            pollfd ready { client, short(POLLIN | (unsent.isEmpty() ? 0 : POLLOUT)), 0 };
            ::poll(&ready, 1, 10);
            char buffer[4096];
            const ssize_t read = ::read(client, buffer, sizeof buffer);
            if (read == 0 || (read < 0 && errno != EAGAIN))
                break;
            const std::lock_guard lock(m_mutex);
            if (read > 0)
                m_received.append(buffer, read);
            if (unsent.isEmpty())
                unsent = script(m_received);
            const ssize_t sent = ::send(client, unsent.constData(), size_t(unsent.size()), MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN)
                break;
            unsent.remove(0, qMax<ssize_t>(0, sent));
        }
        if (client >= 0)
            ::close(client);
    }

    int m_listener;
    std::atomic_bool m_stop = false;
    mutable std::mutex m_mutex;
    QByteArray m_received;
    std::thread m_thread;
};

QByteArray wire(std::initializer_list<quint8> bytes)
{
    QByteArray out;
    for (const quint8 byte : bytes)
        out += char(byte);
    return out;
}

const QByteArray acceptComPort = wire({ rfc2217::telnet::iac, rfc2217::telnet::doOption, rfc2217::comPortOption });

} // namespace

class TestNetworkTransport : public QObject
{
    Q_OBJECT

private slots:
    void telnetEscapesTheCommand_data();
    void telnetEscapesTheCommand();
    void hostileServerEndsTheSendInTime_data();
    void hostileServerEndsTheSendInTime();
    void silentHostIsNotTriedAgainInTheRun();
    void settingsAndBytesReachThePtyBehindTheServer_data();
    void settingsAndBytesReachThePtyBehindTheServer();
    void refusedOptionIsNotSent();
    void unreachableServersAreNamedWithinTheBound_data();
    void unreachableServersAreNamedWithinTheBound();
};

// The tests against a real ser2net; the others run without it.
#define SKIP_WITHOUT_SER2NET()                                                                                         \
    do {                                                                                                               \
        if (!Ser2netServer::isInstalled())                                                                             \
            QSKIP("ser2net is not installed (scripts/test installs it)");                                              \
    } while (false)

void TestNetworkTransport::telnetEscapesTheCommand_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<QByteArray>("onTheConnection");

    QTest::newRow("0xFF is doubled") << QByteArray("\x01\xFF\x02") << true << QByteArray("\x01\xFF\xFF\x02");
    QTest::newRow("two of them") << QByteArray("\xFF\xFF") << true << QByteArray("\xFF\xFF\xFF\xFF");
    QTest::newRow("CR as it is in binary mode") << QByteArray("ka\r") << true << QByteArray("ka\r");
    QTest::newRow("CR with NUL outside it") << QByteArray("\xFF\r\0", 3) << false << QByteArray("\xFF\xFF\r\0\0", 5);
}

// A command's bytes as they go on an RFC 2217 connection, and as the other side takes them back.
void TestNetworkTransport::telnetEscapesTheCommand()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, binary);
    QFETCH(QByteArray, onTheConnection);

    QCOMPARE(rfc2217::escapeData(command, binary), onTheConnection);
    rfc2217::TelnetReader reader;
    reader.setBinary(binary);
    const QList<rfc2217::TelnetReader::Event> events = reader.feed(onTheConnection);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events[0].bytes, command);
}

void TestNetworkTransport::hostileServerEndsTheSendInTime_data()
{
    using namespace rfc2217;
    QTest::addColumn<ScriptedServer::Script>("script");
    QTest::addColumn<QString>("outcome");

    const QByteArray filler(4096, 'x');
    QTest::newRow("endless subnegotiation")
        << ScriptedServer::Script([filler, begun = false](const QByteArray &) mutable -> QByteArray {
               const QByteArray start = acceptComPort + wire({ telnet::iac, telnet::sb, comPortOption, 101 });
               return std::exchange(begun, true) ? filler : start;
           })
        << "not sent: the server's answer is malformed";
    QTest::newRow("flood of option offers") << ScriptedServer::Script([](const QByteArray &) -> QByteArray {
        QByteArray offers;
        for (int option = 0; option < 256; ++option)
            offers += wire({ telnet::iac, telnet::will, quint8(option) });
        return offers;
    }) << "not sent: the server's answer is malformed";
    // Answers the baud rate with a value of 4,000 bytes.
    QTest::newRow("oversized answer") << ScriptedServer::Script(
        [filler, step = 0](const QByteArray &received) mutable -> QByteArray {
            const QByteArray askedBaud = wire({ telnet::iac, telnet::sb, comPortOption, setBaudRate });
            if (step == 0) {
                step = 1;
                return acceptComPort;
            }
            if (step == 1 && received.contains(askedBaud)) {
                step = 2;
                return wire({ telnet::iac, telnet::sb, comPortOption, 101 }) + filler.first(4000)
                    + wire({ telnet::iac, telnet::se });
            }
            return QByteArray();
        }) << "not sent: settings rejected";
}

// However a server floods the connection, the send ends within its bound, having read a bounded
// part of what came, and says why in a few words.
void TestNetworkTransport::hostileServerEndsTheSendInTime()
{
    QFETCH(ScriptedServer::Script, script);
    QFETCH(QString, outcome);

    ScriptedServer server("127.0.0.1", script);
    TempAppFolder folder;
    folder.writeFile(PortMap::fileName(), "[COM_PORTS]\r\n1=rfc2217://127.0.0.1:" + QByteArray::number(server.port()));
    SerialLink link { PortMap(folder.path()) };
    QVERIFY(link.configurePort(u"9600,n,8,1"_s, u"1"_s));
    QElapsedTimer clock;
    clock.start();
    const SendOutcome sent = link.sendCommandText(command);
    QCOMPARE(sent.text(), outcome);
    QVERIFY2(sent.detail.size() < 200, qPrintable(sent.detail.left(200)));
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
}

// Within one run a host that let a connection wait out its bound is not waited for again, while a
// working server is sent to as usual and a refused connection counts only for its own port. The
// next run tries the host again.
void TestNetworkTransport::silentHostIsNotTriedAgainInTheRun()
{
    const UnansweredPort hung("127.0.0.2");
    const UnansweredPort hungToo("127.0.0.2");
    const auto takeAll = [](const QByteArray &) {
        return QByteArray();
    };
    const ScriptedServer working("127.0.0.1", takeAll);
    const ScriptedServer besideRefused("127.0.0.3", takeAll);
    const int closed = boundSocket("127.0.0.3");
    const quint16 refusedPort = portOf(closed);
    ::close(closed);
    QVERIFY(hung.port() && hungToo.port() && working.port() && besideRefused.port() && refusedPort);

    TempAppFolder folder;
    const QStringList addresses
        = { u"rfc2217://127.0.0.2:%1"_s.arg(hung.port()),   u"rfc2217://127.0.0.2:%1"_s.arg(hungToo.port()),
            u"socket://127.0.0.1:%1"_s.arg(working.port()), u"rfc2217://127.0.0.2:%1"_s.arg(hung.port()),
            u"rfc2217://127.0.0.3:%1"_s.arg(refusedPort),   u"socket://127.0.0.3:%1"_s.arg(besideRefused.port()) };
    QByteArray ini = "[COM_PORTS]\r\n";
    QList<PortSend> sends;
    for (int com = 1; com <= addresses.size(); ++com) {
        ini += QByteArray::number(com) + '=' + addresses[com - 1].toLatin1() + "\r\n";
        sends.append({ QString::number(com), u"9600,n,8,1"_s, Handshaking::None, u"6B 61 20 30 31 20 30 31 0D"_s });
    }
    folder.writeFile(PortMap::fileName(), ini);

    const QString notTried
        = u"not sent: unreachable (127.0.0.2: no connection within 3 s; not tried again in this send)"_s;
    const QString sentRaw = u"sent (line settings kept by the server)"_s;
    const QStringList expected = {
        u"not sent: unreachable (127.0.0.2:%1: no connection within 3 s)"_s.arg(hung.port()),
        notTried,
        sentRaw,
        notTried,
        u"not sent: unreachable (127.0.0.3:%1: connection refused)"_s.arg(refusedPort),
        sentRaw,
    };
    SerialLink link { PortMap(folder.path()) };
    QFuture<PortProgress> run = link.startRun(sends);
    run.waitForFinished();
    QStringList outcomes; // in the order told, which is the ports' order
    for (const PortProgress &progress : run.results()) {
        if (progress.finished && progress.index == outcomes.size())
            outcomes.append(progress.outcome.text());
    }
    QCOMPARE(outcomes, expected);
    QTRY_COMPARE(working.received(), QByteArray("ka 01 01\r"));
    QTRY_COMPARE(besideRefused.received(), QByteArray("ka 01 01\r"));

    QVERIFY(link.configurePort(u"9600,n,8,1"_s, u"2"_s));
    QCOMPARE(link.sendCommandText(sends[1].command).text(),
             u"not sent: unreachable (127.0.0.2:%1: no connection within 3 s)"_s.arg(hungToo.port()));
}

void TestNetworkTransport::settingsAndBytesReachThePtyBehindTheServer_data()
{
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<QString>("lineSettings");
    QTest::addColumn<Handshaking>("handshaking");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("lineSeen"); // on the pty while the server held it
    QTest::addColumn<QString>("lineNeverSeen"); // empty: no such check

    QTest::newRow("RFC 2217 sets the speed") << Protocol::Rfc2217 << "38400,n,8,1" << Handshaking::None << "sent"
                                             << "38400"
                                             << "38400 XON/XOFF";
    // ser2net keeps one outbound flow control: XON/XOFF is what it applies of handshaking 3.
    QTest::newRow("RFC 2217, handshaking 3") << Protocol::Rfc2217 << "19200,n,8,1" << Handshaking::RtsXonXoff << "sent"
                                             << "19200 XON/XOFF"
                                             << "";
    QTest::newRow("raw TCP keeps the server's speed")
        << Protocol::RawTcp << "38400,n,8,1" << Handshaking::None << "sent (line settings kept by the server)"
        << "4800"
        << "38400";
}

// Two sends in a row to one COM number: each connects anew, sets the line and arrives whole, once.
void TestNetworkTransport::settingsAndBytesReachThePtyBehindTheServer()
{
    SKIP_WITHOUT_SER2NET();
    QFETCH(Protocol, protocol);
    QFETCH(QString, lineSettings);
    QFETCH(Handshaking, handshaking);
    QFETCH(QString, outcome);
    QFETCH(QString, lineSeen);
    QFETCH(QString, lineNeverSeen);

    ServerRig rig(protocol);

    QVERIFY2(rig.started, qPrintable(rig.server.errorText()));
    LineWatcher watcher(rig.displays, idleSpeed);
    QVERIFY(rig.link.configurePort(lineSettings, u"1"_s, handshaking));
    for (int send = 0; send < 2; ++send) {
        const SendOutcome sent = rig.link.sendCommandText(command);
        QCOMPARE(sent.text(), outcome);
        QCOMPARE(sent.device, rig.server.url(0));
        QCOMPARE(rig.displays.display(1).read(int(onTheLine.size())), onTheLine);
    }
    QCOMPARE(rig.displays.display(1).readUntilQuiet(50), QByteArray());
    const QSet<QString> seen = watcher.seen(1);
    QVERIFY2(seen.contains(lineSeen) && (lineNeverSeen.isEmpty() || !seen.contains(lineNeverSeen)),
             qPrintable(QStringList(seen.values()).join(u", ")));
}

// Telnet without the COM-PORT-OPTION cannot take the line settings: nothing goes to the display.
void TestNetworkTransport::refusedOptionIsNotSent()
{
    SKIP_WITHOUT_SER2NET();
    ServerRig rig(Protocol::TelnetOnly);
    QVERIFY2(rig.started, qPrintable(rig.server.errorText()));
    QVERIFY(rig.link.configurePort(u"9600,n,8,1"_s, u"1"_s));
    QCOMPARE(rig.link.sendCommandText(command).text(), u"not sent: settings rejected"_s);
    QCOMPARE(rig.displays.display(1).readUntilQuiet(100), QByteArray());
}

void TestNetworkTransport::unreachableServersAreNamedWithinTheBound_data()
{
    QTest::addColumn<QString>("address"); // %1: the port of a server that was stopped or never answers
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<bool>("wellFormed"); // whether Ports.ini's warning passes it over

    QTest::newRow("stopped server") << "rfc2217://127.0.0.1:%1"
                                    << "not sent: unreachable (127.0.0.1:%1: connection refused)" << true;
    QTest::newRow("silent server") << "rfc2217://127.0.0.1:%1"
                                   << "not sent: unreachable (127.0.0.1:%1: no answer within 5 s)" << true;
    QTest::newRow("unknown scheme")
        << "tcp://127.0.0.1:4001"
        << "not sent: unreachable (tcp://127.0.0.1:4001: unknown kind of address, use rfc2217:// or socket://)"
        << false;
    QTest::newRow("no port") << "socket://127.0.0.1"
                             << "not sent: unreachable (socket://127.0.0.1: write the address as host:port)" << false;
    QTest::newRow("port out of range")
        << "rfc2217://[::1]:70000"
        << "not sent: unreachable (rfc2217://[::1]:70000: the port must be from 1 to 65535)" << false;
}

// Never opened as a file, never a stall: each fails on its own, names host and port, within the bound.
void TestNetworkTransport::unreachableServersAreNamedWithinTheBound()
{
    SKIP_WITHOUT_SER2NET();
    QFETCH(QString, address);
    QFETCH(QString, outcome);
    QFETCH(bool, wellFormed);

    ServerRig rig(Protocol::Rfc2217);

    QVERIFY2(rig.started, qPrintable(rig.server.errorText()));
    QTcpServer silent; // listens, so connections are taken, but never says a word
    quint16 port = rig.server.port(0);
    if (QTest::currentDataTag() == QByteArray("silent server")) {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        port = silent.serverPort();
    }
    rig.server.stop();
    if (address.contains(u"%1"))
        address = address.arg(port);
    rig.mapCom1(address);
    QCOMPARE(deviceProblem(address).has_value(), !wellFormed);

    QVERIFY(rig.link.configurePort(u"9600,n,8,1"_s, u"1"_s));
    QElapsedTimer clock;
    clock.start();
    const SendOutcome sent = rig.link.sendCommandText(command);
    QCOMPARE(sent.text(), outcome.contains(u"%1") ? outcome.arg(port) : outcome);
    QCOMPARE(sent.bytesWritten, 0);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestNetworkTransport)
#include "test_network_transport.moc"
