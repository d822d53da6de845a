#include "custom/checked_send.h"
#include "pty_displays.h"
#include "scripted_prompts.h"
#include "serial/serial_link.h"

#include <QTest>

using namespace vantiro;
using namespace vantiro::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(vantiro::PromptIcon)

namespace {

const QString lgScreenMuteOff = u"6B 64 20 30 31 20 30 30 0D"_s;

QString settingMessage(const QString &name)
{
    return u"Can't find the "_s + name + u" setting. Please make sure the setting is correct"_s;
}

// A display on COM 3, a device that does not exist on COM 4, and the link, prompts and pointer a send uses.
struct Rig
{
    CheckedSend send(const QString &portSpec, const QString &command, bool showFinish = true)
    {
        return sendWithPortSpec(link, prompts, busy, portSpec, command, showFinish);
    }

    TempAppFolder folder;
    PtyDisplays displays { folder, { 3 }, { 4 } };
    Pty &display = displays.display(3);
    SerialLink link { PortMap(folder.path()) };
    ScriptedPrompts prompts;
    RecordingBusyPointer busy;
};

} // namespace

class TestCheckedSend : public QObject
{
    Q_OBJECT

private slots:
    void sends_data();
    void sends();
    void checksStopBeforeSending_data();
    void checksStopBeforeSending();
};

void TestCheckedSend::sends_data()
{
    QTest::addColumn<QString>("portSpec");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("showFinish");
    QTest::addColumn<QByteArray>("onTheLine");
    QTest::addColumn<QString>("message"); // empty: none shown
    QTest::addColumn<PromptIcon>("icon");

    const QString finished = u"Finish sending out command string!"_s;
    QTest::newRow("blanks in the fields and around the command")
        << " 3 , 96 00 , n , 8 , 1 " << u"  "_s + lgScreenMuteOff + u"  "_s << true << QByteArray("kd 01 00\r")
        << finished << PromptIcon::None;
    QTest::newRow("sent quietly") << "3,9600,n,8,1" << lgScreenMuteOff << false << QByteArray("kd 01 00\r") << ""
                                  << PromptIcon::None;
    // A command of no bytes reached no display: it is not reported as sent.
    const QString nothing = u"The serial command was not sent to COM3: nothing to send."_s;
    QTest::newRow("command of blanks") << "3,9600,n,8,1"
                                       << "   " << true << QByteArray() << nothing << PromptIcon::Exclamation;
    QTest::newRow("command of no byte values") << "3,9600,n,8,1"
                                               << "XYZ" << true << QByteArray() << nothing << PromptIcon::Exclamation;
    QTest::newRow("lone placeholder") << "3,9600,n,8,1"
                                      << "_" << true << QByteArray() << nothing << PromptIcon::Exclamation;
    // A port that is no COM number sends nowhere, not to the port set before (COM 3), whatever the settings.
    for (const char *spec : { "0,9600,n,8,1", "abc,96OO,n,8,1", "256,9600,n,8,1" }) {
        const QString port = QString::fromLatin1(spec).section(u',', 0, 0);
        QTest::addRow("port %s", spec) << QString::fromLatin1(spec) << lgScreenMuteOff << true << QByteArray()
                                       << u"The serial command was not sent: \"%1\" is not a COM number."_s.arg(port)
                                       << PromptIcon::Exclamation;
    }
    QTest::newRow("missing device is not a success")
        << "4,9600,n,8,1" << lgScreenMuteOff << true << QByteArray()
        << u"The serial command was not sent to COM4: no such device (%1, from Ports.ini)."_s.arg(
               QString::fromLocal8Bit(PtyDisplays::missingDevice()))
        << PromptIcon::Exclamation;
    QTest::newRow("speed the port cannot take is not a success")
        << "3,96OO,n,8,1" << lgScreenMuteOff << true << QByteArray()
        << "The serial command was not sent to COM3: settings rejected." << PromptIcon::Exclamation;
}

void TestCheckedSend::sends()
{
    QFETCH(QString, portSpec);
    QFETCH(QString, command);
    QFETCH(bool, showFinish);
    QFETCH(QByteArray, onTheLine);
    QFETCH(QString, message);
    QFETCH(PromptIcon, icon);

    Rig rig;
    QVERIFY(rig.displays.isValid());
    rig.link.configurePort(u"9600,n,8,1"_s, u"3"_s, Handshaking::RtsXonXoff);
    const std::optional<SendOutcome> outcome = rig.send(portSpec, command, showFinish).outcome;
    QVERIFY(outcome.has_value());
    QCOMPARE(outcome->bytesWritten, onTheLine.size());
    QCOMPARE(rig.display.readUntilQuiet(50), onTheLine);
    QCOMPARE(rig.link.handshaking(), Handshaking::None);

    QCOMPARE(rig.prompts.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(rig.prompts.messages[0].text, message);
        QCOMPARE(rig.prompts.messages[0].icon, icon);
        QCOMPARE(rig.prompts.messages[0].buttons, PromptButtons::Ok);
        QCOMPARE(rig.prompts.messages[0].title, u"Vantiro"_s);
    }
    QCOMPARE(rig.busy.timesShown, 1);
    QCOMPARE(rig.busy.depth, 0);
}

void TestCheckedSend::checksStopBeforeSending_data()
{
    QTest::addColumn<QString>("portSpec");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");

    const QString noPort = u"Can't find the COM port. Please make sure the setting is correct."_s;
    QTest::newRow("empty command first") << ""
                                         << ""
                                         << "The serial command doesn't exist.";
    QTest::newRow("no port") << ",9600,n,8,1" << lgScreenMuteOff << noPort;
    QTest::newRow("port of blanks") << "  ,9600,n,8,1" << lgScreenMuteOff << noPort;
    QTest::newRow("no baud rate") << "3,,n,8,1" << lgScreenMuteOff << settingMessage(u"Baud Rate"_s);
    QTest::newRow("parity of blanks") << "3,9600, ,8,1" << lgScreenMuteOff << settingMessage(u"Parity"_s);
    QTest::newRow("no data bits") << "3,9600,n,,1" << lgScreenMuteOff << settingMessage(u"Data Bits"_s);
    QTest::newRow("stop bits missing") << "3,9600,n,8" << lgScreenMuteOff << settingMessage(u"Stop Bits"_s);
    QTest::newRow("first problem wins") << "3,,,," << lgScreenMuteOff << settingMessage(u"Baud Rate"_s);
}

void TestCheckedSend::checksStopBeforeSending()
{
    QFETCH(QString, portSpec);
    QFETCH(QString, command);
    QFETCH(QString, message);

    Rig rig;
    QVERIFY(rig.displays.isValid());
    QVERIFY(!rig.send(portSpec, command).outcome.has_value());
    QCOMPARE(rig.prompts.messages.size(), 1);
    QCOMPARE(rig.prompts.messages[0].text, message);
    QCOMPARE(rig.prompts.messages[0].icon, command.isEmpty() ? PromptIcon::Information : PromptIcon::Exclamation);
    QCOMPARE(rig.prompts.messages[0].title, u"Vantiro"_s);
    QCOMPARE(rig.busy.timesShown, 1);
    QCOMPARE(rig.busy.depth, 0);
    // Nothing went out and the link still points where it did.
    QCOMPARE(rig.display.readUntilQuiet(50), QByteArray());
    QCOMPARE(rig.link.comNumber(), 1);
}

QTEST_GUILESS_MAIN(TestCheckedSend)
#include "test_checked_send.moc"
