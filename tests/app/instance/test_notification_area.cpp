#include "app/notification_area.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

using namespace vantiro;
using namespace Qt::StringLiterals;

namespace {

// Stands in for the watcher of a desktop panel: the one property the probe reads.
class WatcherStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

public:
    explicit WatcherStandIn(bool hostRegistered)
        : m_hostRegistered(hostRegistered)
    { }
    bool hostRegistered() const { return m_hostRegistered; }

private:
    bool m_hostRegistered;
};

} // namespace

class TestNotificationArea : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void hostIsFoundOnTheSessionBus_data();
    void hostIsFoundOnTheSessionBus();

private:
    QProcess m_bus;
    QString m_address;
};

// A session bus of the test's own, so no desktop's panel takes part.
void TestNotificationArea::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed: no private session bus to try the probe on");
    m_bus.start(daemon, { u"--session"_s, u"--nofork"_s, u"--print-address=1"_s });
    QVERIFY(m_bus.waitForStarted());
    QVERIFY(QTest::qWaitFor([this] { return m_bus.canReadLine(); }, 5000));
    m_address = QString::fromUtf8(m_bus.readLine().trimmed());
}

void TestNotificationArea::cleanupTestCase()
{
    m_bus.kill();
    m_bus.waitForFinished();
}

void TestNotificationArea::hostIsFoundOnTheSessionBus_data()
{
    QTest::addColumn<bool>("watcher");
    QTest::addColumn<bool>("hostRegistered");
    QTest::newRow("no watcher: an X11 system tray") << false << false;
    QTest::newRow("a watcher without a panel") << true << false;
    QTest::newRow("a watcher with a panel") << true << true;
}

void TestNotificationArea::hostIsFoundOnTheSessionBus()
{
    QFETCH(bool, watcher);
    QFETCH(bool, hostRegistered);

    // The stand-in answers from a thread of its own while the probe waits for it.
    QThread serving;
    WatcherStandIn standIn(hostRegistered);
    standIn.moveToThread(&serving);
    serving.start();
    const QString name = u"watcher-"_s + QString::fromUtf8(QTest::currentDataTag());
    QDBusConnection watcherBus = QDBusConnection::connectToBus(m_address, name);
    QVERIFY(watcherBus.isConnected());
    if (watcher) {
        QVERIFY(watcherBus.registerObject(u"/StatusNotifierWatcher"_s, &standIn, QDBusConnection::ExportAllProperties));
        QVERIFY(watcherBus.registerService(u"org.kde.StatusNotifierWatcher"_s));
    }

    const QDBusConnection probeBus = QDBusConnection::connectToBus(m_address, u"probe"_s);
    QCOMPARE(statusNotifierHostPresent(probeBus), watcher && hostRegistered);

    QDBusConnection::disconnectFromBus(name); // the watcher's name goes with it
    serving.quit();
    serving.wait();
}

QTEST_GUILESS_MAIN(TestNotificationArea)
#include "test_notification_area.moc"
