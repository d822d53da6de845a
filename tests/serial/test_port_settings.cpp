#include "serial/line_settings.h"
#include "serial/port_map.h"

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
    void rejectedLineSettings_data();
    void rejectedLineSettings();
    void handshaking_data();
    void handshaking();
    void portTexts_data();
    void portTexts();
    void portsFile();
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
    QTest::newRow("OLEVIA speed") << "115200,n,8,1" << 115200 << Parity::None << 8 << StopBits::One;
    QTest::newRow("even, 7 bits, 2 stop") << "19200,e,7,2" << 19200 << Parity::Even << 7 << StopBits::Two;
    QTest::newRow("odd") << "38400,o,8,1" << 38400 << Parity::Odd << 8 << StopBits::One;
    QTest::newRow("mark") << "57600,m,8,1" << 57600 << Parity::Mark << 8 << StopBits::One;
    QTest::newRow("space, 5 bits") << "1200,s,5,1.5" << 1200 << Parity::Space << 5 << StopBits::OneAndHalf;
    QTest::newRow("custom baud") << "12345,n,6,1" << 12345 << Parity::None << 6 << StopBits::One;
    QTest::newRow("upper-case parity") << "9600,N,8,1" << 9600 << Parity::None << 8 << StopBits::One;
    QTest::newRow("blanks around fields") << " 9600 , n , 8 , 1 " << 9600 << Parity::None << 8 << StopBits::One;
}

void TestPortSettings::lineSettings()
{
    QFETCH(QString, text);
    QFETCH(int, baud);
    QFETCH(Parity, parity);
    QFETCH(int, dataBits);
    QFETCH(StopBits, stopBits);

    const std::optional<PortSettings> settings = parseLineSettings(text);
    QVERIFY(settings.has_value());
    QCOMPARE(settings->baudRate, baud);
    QCOMPARE(settings->parity, parity);
    QCOMPARE(settings->dataBits, dataBits);
    QCOMPARE(settings->stopBits, stopBits);
    QCOMPARE(parseLineSettings(lineSettingsText(*settings)), settings);
}

void TestPortSettings::rejectedLineSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("three fields") << "9600,n,8";
    QTest::newRow("five fields") << "9600,n,8,1,1";
    QTest::newRow("baud not a number") << "fast,n,8,1";
    QTest::newRow("baud zero") << "0,n,8,1";
    QTest::newRow("baud negative") << "-9600,n,8,1";
    QTest::newRow("baud with fraction") << "9600.5,n,8,1";
    QTest::newRow("baud too large") << "99999999999,n,8,1";
    QTest::newRow("parity unknown") << "9600,x,8,1";
    QTest::newRow("parity empty") << "9600,,8,1";
    QTest::newRow("data bits 4") << "9600,n,4,1";
    QTest::newRow("data bits 9") << "9600,n,9,1";
    QTest::newRow("stop bits 3") << "9600,n,8,3";
    QTest::newRow("stop bits 0") << "9600,n,8,0";
}

void TestPortSettings::rejectedLineSettings()
{
    QFETCH(QString, text);
    QVERIFY(!parseLineSettings(text).has_value());
}

void TestPortSettings::handshaking_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<Handshaking>("handshaking");
    QTest::newRow("LG panel") << "100" << Handshaking::RtsXonXoff;
    QTest::newRow("leading digits count") << "100abc" << Handshaking::RtsXonXoff;
    QTest::newRow("leading zero") << "0100" << Handshaking::RtsXonXoff;
    QTest::newRow("Hyundai panel") << "99" << Handshaking::None;
    QTest::newRow("quick command") << "2" << Handshaking::None;
    QTest::newRow("1000") << "1000" << Handshaking::None;
    QTest::newRow("empty") << "" << Handshaking::None;
}

void TestPortSettings::handshaking()
{
    QFETCH(QString, index);
    QFETCH(Handshaking, handshaking);
    QCOMPARE(handshakingForIndex(index), handshaking);
}

void TestPortSettings::portTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("comNumber"); // 0: names no port
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("40") << "40" << 40;
    QTest::newRow("blanks") << " 7 " << 7;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("negative") << "-3" << 0;
    QTest::newRow("letters") << "COM3" << 0;
    QTest::newRow("above the control's range") << "40000" << 0;
}

void TestPortSettings::portTexts()
{
    QFETCH(QString, text);
    QFETCH(int, comNumber);
    QCOMPARE(comNumberFromPortText(text).value_or(0), comNumber);
}

void TestPortSettings::portsFile()
{
    TempAppFolder folder;
    const PortMap withoutFile(folder.path());
    QCOMPARE(withoutFile.devicePath(1), PortMap::defaultDevicePath(1));
    QCOMPARE(PortMap::defaultDevicePath(1), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(PortMap::defaultDevicePath(40), QStringLiteral("/dev/ttyS39"));

    folder.writeFile(QStringLiteral("Ports.ini"), "[com_ports]\r\n"
                                                  "1=/dev/serial/by-id/usb-adapter-port0\r\n"
                                                  " 2 = \"/dev/ttyUSB1\" \r\n"
                                                  "3=\r\n"
                                                  "x=/dev/ignored\r\n"
                                                  "1=/dev/second-entry-loses\r\n");
    const PortMap map(folder.path());
    QCOMPARE(map.devicePath(1), QStringLiteral("/dev/serial/by-id/usb-adapter-port0"));
    QCOMPARE(map.devicePath(2), QStringLiteral("/dev/ttyUSB1"));
    QCOMPARE(map.devicePath(3), QStringLiteral("/dev/ttyS2"));
    QCOMPARE(map.devicePath(4), QStringLiteral("/dev/ttyS3"));
}

void TestPortSettings::portsFileFollowsEdits()
{
    TempAppFolder folder;
    const PortMap map(folder.path());
    QCOMPARE(map.devicePath(5), QStringLiteral("/dev/ttyS4"));

    folder.writeFile(QStringLiteral("Ports.ini"), "[COM_PORTS]\r\n5=/dev/ttyUSB0\r\n");
    QCOMPARE(map.devicePath(5), QStringLiteral("/dev/ttyUSB0"));

    folder.writeFile(QStringLiteral("Ports.ini"), "[COM_PORTS]\r\n5=/dev/ttyUSB12\r\n");
    QCOMPARE(map.devicePath(5), QStringLiteral("/dev/ttyUSB12"));

    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("Ports.ini"))));
    QCOMPARE(map.devicePath(5), QStringLiteral("/dev/ttyS4"));
}

QTEST_APPLESS_MAIN(TestPortSettings)
#include "test_port_settings.moc"
