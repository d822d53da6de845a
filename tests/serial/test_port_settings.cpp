#include "serial/line_settings.h"
#include "serial/port_map.h"
#include "serial/port_text.h"
#include "temp_app_folder.h"

#include <QTest>

using namespace vantiro;
using vantiro::test::TempAppFolder;

Q_DECLARE_METATYPE(vantiro::Parity)
Q_DECLARE_METATYPE(vantiro::StopBits)

class TestPortSettings : public QObject
{
    Q_OBJECT

private slots:
    void lineSettings_data();
    void lineSettings();
    void rejectedLineSettings();
    void portTexts_data();
    void portTexts();
    void portsFileFollowsEdits();
};

void TestPortSettings::lineSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baud");
    QTest::addColumn<Parity>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<StopBits>("stopBits");

    QTest::newRow("default") << "9600,n,8,1" << 9600 << Parity::None << 8 << StopBits::One;
    QTest::newRow("even, 7 bits, 2 stop") << "19200,e,7,2" << 19200 << Parity::Even << 7 << StopBits::Two;
    QTest::newRow("odd, custom baud, 6 bits") << "12345,o,6,1" << 12345 << Parity::Odd << 6 << StopBits::One;
    QTest::newRow("mark, blanks, upper case") << " 57600 , M , 8 , 1 " << 57600 << Parity::Mark << 8 << StopBits::One;
    QTest::newRow("space, 5 bits, 1.5 stop") << "1200,s,5,1.5" << 1200 << Parity::Space << 5 << StopBits::OneAndHalf;
}

void TestPortSettings::lineSettings()
{
    QFETCH(QString, text);
    QFETCH(int, baud);
    QFETCH(Parity, parity);
    QFETCH(int, dataBits);
    QFETCH(StopBits, stopBits);

    const std::optional<PortSettings> settings = parseLineSettings(text);
    QCOMPARE(settings, std::optional(PortSettings { baud, parity, dataBits, stopBits }));
    QCOMPARE(parseLineSettings(lineSettingsText(*settings)), settings);
}

void TestPortSettings::rejectedLineSettings()
{
    for (const char *text : { "", "9600,n,8", "9600,n,8,1,1", "fast,n,8,1", "0,n,8,1", "-9600,n,8,1",
                              "99999999999,n,8,1", "9600,x,8,1", "9600,n,4,1", "9600,n,9,1", "9600,n,8,3" })
        QVERIFY2(!parseLineSettings(QString::fromLatin1(text)).has_value(), text);
}

void TestPortSettings::portTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sendsTo"); // the COM port a send goes to; 0: none
    QTest::newRow("blanks") << " 7 " << 7;
    QTest::newRow("leading zero") << "07" << 7;
    QTest::newRow("highest COM port") << "255" << 255;
    QTest::newRow("above the COM ports") << "256" << 0;
    QTest::newRow("above the control's range") << "99999" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-3" << 0;
    QTest::newRow("plus sign") << "+5" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestPortSettings::portTexts()
{
    QFETCH(QString, text);
    QFETCH(int, sendsTo);
    QCOMPARE(comPortNumber(text).value_or(0), sendsTo);
}

void TestPortSettings::portsFileFollowsEdits()
{
    TempAppFolder folder;
    const PortMap map(folder.path());
    QCOMPARE(map.devicePath(1), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(map.devicePath(40), QStringLiteral("/dev/ttyS39"));

    folder.writeFile(PortMap::fileName(),
                     "[com_ports]\r\n"
                     "1=/dev/serial/by-id/usb-adapter-port0\r\n"
                     " 2 = \"/dev/ttyUSB1\" \r\n"
                     "3=\r\n"
                     "x=/dev/ignored\r\n"
                     "1=/dev/second-entry-loses\r\n");
    QCOMPARE(map.devicePath(1), QStringLiteral("/dev/serial/by-id/usb-adapter-port0"));
    QCOMPARE(map.devicePath(2), QStringLiteral("/dev/ttyUSB1"));
    QCOMPARE(map.devicePath(3), QStringLiteral("/dev/ttyS2"));

    // An edit takes effect at the next look-up.
    folder.writeFile(PortMap::fileName(), "[COM_PORTS]\r\n1=/dev/ttyUSB12\r\n");
    QCOMPARE(map.devicePath(1), QStringLiteral("/dev/ttyUSB12"));
    QCOMPARE(map.devicePath(2), QStringLiteral("/dev/ttyS1"));

    QVERIFY(QFile::remove(folder.filePath(PortMap::fileName())));
    QCOMPARE(map.devicePath(1), QStringLiteral("/dev/ttyS0"));
}

QTEST_APPLESS_MAIN(TestPortSettings)
#include "test_port_settings.moc"
