#include "line_watcher.h"
#include "pty_displays.h"
#include "ser2net_server.h"
#include "serial/port_map.h"
#include "serial/serial_link.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

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

} // namespace

class TestNetworkTransport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void settingsAndBytesReachThePtyBehindTheServer_data();
    void settingsAndBytesReachThePtyBehindTheServer();
    void refusedOptionIsNotSent();
    void unreachableServersAreNamedWithinTheBound_data();
    void unreachableServersAreNamedWithinTheBound();
};

void TestNetworkTransport::init()
{
    if (!Ser2netServer::isInstalled())
        QSKIP("ser2net is not installed (scripts/test installs it)");
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
