#include "custom/checked_send.h"
#include "serial/serial_link.h"

#include "pseudo_terminal.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"

#include <QTest>

using namespace vantiro;
using namespace vantiro::test;

Q_DECLARE_METATYPE(vantiro::PromptIcon)

namespace {

const QString lgScreenMuteOff = QStringLiteral("6B 64 20 30 31 20 30 30 0D");

QString settingMessage(const char *name)
{
    return QStringLiteral("Can't find the ") + QLatin1String(name)
        + QStringLiteral(" setting. Please make sure the setting is correct");
}

} // namespace

class TestCheckedSend : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sends_data();
    void sends();
    void checksStopBeforeSending_data();
    void checksStopBeforeSending();

private:
    std::unique_ptr<TempAppFolder> m_folder;
    std::unique_ptr<Pty> m_display; // COM 3
    std::unique_ptr<SerialLink> m_link;
    ScriptedPrompts m_prompts;
    RecordingBusyPointer m_busy;
};

void TestCheckedSend::init()
{
    m_folder = std::make_unique<TempAppFolder>();
    m_display = std::make_unique<Pty>();
    m_folder->writeFile(QStringLiteral("Ports.ini"), "[COM_PORTS]\r\n3=" + m_display->devicePath().toLocal8Bit()
                                                         + "\r\n4=/dev/vantiro-test-no-such-device\r\n");
    m_link = std::make_unique<SerialLink>(PortMap(m_folder->path()));
    m_prompts = ScriptedPrompts();
    m_busy = RecordingBusyPointer();
}

void TestCheckedSend::cleanup()
{
    m_link.reset();
    m_display.reset();
    m_folder.reset();
}

void TestCheckedSend::sends_data()
{
    QTest::addColumn<QString>("portSpec");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("showFinish");
    QTest::addColumn<QByteArray>("onTheLine");
    QTest::addColumn<QString>("message"); // empty: none shown
    QTest::addColumn<PromptIcon>("icon");

    const QString finished = QStringLiteral("Finish sending out command string!");
    QTest::newRow("sent, finish shown") << "3,9600,n,8,1" << lgScreenMuteOff << true << QByteArray("kd 01 00\r")
                                        << finished << PromptIcon::None;
    QTest::newRow("sent quietly") << "3,9600,n,8,1" << lgScreenMuteOff << false << QByteArray("kd 01 00\r") << ""
                                  << PromptIcon::None;
    QTest::newRow("blanks in the port fields") << " 3 , 96 00 , n , 8 , 1 " << lgScreenMuteOff << true
                                                 << QByteArray("kd 01 00\r") << finished << PromptIcon::None;
    QTest::newRow("command trimmed") << "3,9600,n,8,1" << QStringLiteral("  ") + lgScreenMuteOff + QStringLiteral("  ") << true
                                     << QByteArray("kd 01 00\r") << finished << PromptIcon::None;
    QTest::newRow("command of blanks") << "3,9600,n,8,1" << "   " << true << QByteArray() << finished
                                       << PromptIcon::None;
    QTest::newRow("missing device is not a success")
        << "4,9600,n,8,1" << lgScreenMuteOff << true << QByteArray()
        << "The serial command was not sent to COM4: no such device." << PromptIcon::Exclamation;
}

void TestCheckedSend::sends()
{
    QFETCH(QString, portSpec);
    QFETCH(QString, command);
    QFETCH(bool, showFinish);
    QFETCH(QByteArray, onTheLine);
    QFETCH(QString, message);
    QFETCH(PromptIcon, icon);

    const auto outcome = sendWithPortSpec(*m_link, m_prompts, m_busy, portSpec, command, showFinish);
    QVERIFY(outcome.has_value());
    QCOMPARE(outcome->bytesWritten, onTheLine.size());
    QCOMPARE(m_display->readUntilQuiet(50), onTheLine);
    QCOMPARE(m_link->handshaking(), Handshaking::None);

    if (message.isEmpty()) {
        QVERIFY(m_prompts.messages.isEmpty());
    } else {
        QCOMPARE(m_prompts.messages.size(), 1);
        QCOMPARE(m_prompts.messages[0].text, message);
        QCOMPARE(m_prompts.messages[0].icon, icon);
        QCOMPARE(m_prompts.messages[0].buttons, PromptButtons::Ok);
        QCOMPARE(m_prompts.messages[0].title, QStringLiteral("Vantiro"));
    }
    QCOMPARE(m_busy.timesShown, 1);
    QCOMPARE(m_busy.depth, 0);
}

void TestCheckedSend::checksStopBeforeSending_data()
{
    QTest::addColumn<QString>("portSpec");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");
    QTest::addColumn<PromptIcon>("icon");

    const QString noPort = QStringLiteral("Can't find the COM port. Please make sure the setting is correct.");
    QTest::newRow("empty command first") << "" << "" << "The serial command doesn't exist." << PromptIcon::Information;
    QTest::newRow("no port") << ",9600,n,8,1" << lgScreenMuteOff << noPort << PromptIcon::Exclamation;
    QTest::newRow("port of blanks") << "  ,9600,n,8,1" << lgScreenMuteOff << noPort << PromptIcon::Exclamation;
    QTest::newRow("empty specification") << "" << lgScreenMuteOff << noPort << PromptIcon::Exclamation;
    QTest::newRow("no baud rate") << "3,,n,8,1" << lgScreenMuteOff << settingMessage("Baud Rate")
                                  << PromptIcon::Exclamation;
    QTest::newRow("parity of blanks") << "3,9600, ,8,1" << lgScreenMuteOff << settingMessage("Parity")
                                      << PromptIcon::Exclamation;
    QTest::newRow("no data bits") << "3,9600,n,,1" << lgScreenMuteOff << settingMessage("Data Bits")
                                  << PromptIcon::Exclamation;
    QTest::newRow("stop bits missing") << "3,9600,n,8" << lgScreenMuteOff << settingMessage("Stop Bits")
                                       << PromptIcon::Exclamation;
    QTest::newRow("port only") << "3" << lgScreenMuteOff << settingMessage("Baud Rate") << PromptIcon::Exclamation;
    QTest::newRow("first problem wins") << "3,,,," << lgScreenMuteOff << settingMessage("Baud Rate")
                                        << PromptIcon::Exclamation;
}

void TestCheckedSend::checksStopBeforeSending()
{
    QFETCH(QString, portSpec);
    QFETCH(QString, command);
    QFETCH(QString, message);
    QFETCH(PromptIcon, icon);

    const auto outcome = sendWithPortSpec(*m_link, m_prompts, m_busy, portSpec, command, true);
    QVERIFY(!outcome.has_value());
    QCOMPARE(m_prompts.messages.size(), 1);
    QCOMPARE(m_prompts.messages[0].text, message);
    QCOMPARE(m_prompts.messages[0].icon, icon);
    QCOMPARE(m_prompts.messages[0].title, QStringLiteral("Vantiro"));
    QCOMPARE(m_busy.timesShown, 1);
    QCOMPARE(m_busy.depth, 0);
    // Nothing went out and the link still points where it did.
    QCOMPARE(m_display->readUntilQuiet(50), QByteArray());
    QCOMPARE(m_link->comNumber(), 1);
}

QTEST_GUILESS_MAIN(TestCheckedSend)
#include "test_checked_send.moc"
