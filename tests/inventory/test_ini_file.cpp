#include "inventory/ini_file.h"

#include "temp_app_folder.h"

#include <QDir>
#include <QTest>

using namespace vantiro;
using vantiro::test::TempAppFolder;

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void lookups_data();
    void lookups();
    void lineEnds_data();
    void lineEnds();
    void missingFileReadsEmpty();
    void writesSectionsAndKeysInOrder();
    void setValueReplacesFirstMatch();
    void roundTrips_data();
    void roundTrips();
    void encodingOnDisk_data();
    void encodingOnDisk();
    void longValueReadWhole();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void saveLeavesNoTemporaryFiles();
};

// Each row: a file, a lookup, and what the lookup gives ("<absent>" for an absent key).
void TestIniFile::lookups_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray settings = "[SERIAL_COMMAND_SETTINGS]\r\nBaud Rate=9600\r\nParity=n\r\n";
    QTest::newRow("exact names") << settings << "SERIAL_COMMAND_SETTINGS" << "Baud Rate" << "9600";
    QTest::newRow("section in other case") << settings << "serial_command_settings" << "Parity" << "n";
    QTest::newRow("key in other case") << settings << "SERIAL_COMMAND_SETTINGS" << "BAUD RATE" << "9600";
    QTest::newRow("absent key") << settings << "SERIAL_COMMAND_SETTINGS" << "Stop Bits" << "<absent>";
    QTest::newRow("absent section") << settings << "GROUP_SETTINGS" << "Groups" << "<absent>";

    QTest::newRow("first key wins") << QByteArray("[S]\nOn=first\nON=second\n") << "s" << "on" << "first";
    QTest::newRow("first section wins") << QByteArray("[S]\nA=1\n[s]\nA=2\nB=3\n") << "S" << "A" << "1";
    QTest::newRow("present but empty") << QByteArray("[S]\nOn=\n") << "S" << "On" << "";
    QTest::newRow("blanks only is empty") << QByteArray("[S]\nOn=   \n") << "S" << "On" << "";
    QTest::newRow("blanks trimmed") << QByteArray("  [ S ]  \n  Baud Rate  =  9600  \n") << "S" << "Baud Rate"
                                    << "9600";
    QTest::newRow("tabs trimmed") << QByteArray("[S]\n\tKey\t=\tv a l\t\n") << "S" << "Key" << "v a l";
    QTest::newRow("double quotes removed") << QByteArray("[S]\nK=\"  padded  \"\n") << "S" << "K" << "  padded  ";
    QTest::newRow("single quotes removed") << QByteArray("[S]\nK='x'\n") << "S" << "K" << "x";
    QTest::newRow("one pair only") << QByteArray("[S]\nK=\"\"x\"\"\n") << "S" << "K" << "\"x\"";
    QTest::newRow("unmatched quotes kept") << QByteArray("[S]\nK=\"x'\n") << "S" << "K" << "\"x'";
    QTest::newRow("lone quote kept") << QByteArray("[S]\nK=\"\n") << "S" << "K" << "\"";
    QTest::newRow("equals inside the value") << QByteArray("[S]\nK=a=b\n") << "S" << "K" << "a=b";
    QTest::newRow("comment line") << QByteArray("[S]\n;K=commented\nK=real\n") << "S" << "K" << "real";
    QTest::newRow("indented comment") << QByteArray("[S]\n   ; K=commented\n") << "S" << "K" << "<absent>";
    QTest::newRow("semicolon inside a value") << QByteArray("[S]\nK=a;b\n") << "S" << "K" << "a;b";
    QTest::newRow("key before any section") << QByteArray("K=orphan\n[S]\n") << "S" << "K" << "<absent>";
    QTest::newRow("line without equals") << QByteArray("[S]\nK\nL=1\n") << "S" << "K" << "<absent>";
    QTest::newRow("utf-8 BOM") << QByteArray("\xEF\xBB\xBF[S]\nK=Caf\xC3\xA9\n") << "S" << "K"
                               << QString::fromUtf8("Café");
    QTest::newRow("latin-1 file") << QByteArray("[S]\nK=Caf\xE9\n") << "S" << "K" << QString::fromUtf8("Café");
    QTest::newRow("utf-8 file") << QByteArray("[S]\nK=\xE6\x9D\xB1\xE4\xBA\xAC\n") << "S" << "K"
                                << QString::fromUtf8("東京");
    QTest::newRow("non-ascii section name") << QByteArray("[Caf\xE9]\nK=1\n") << QString::fromUtf8("CAFÉ") << "k"
                                            << "1";
}

void TestIniFile::lookups()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const IniFile ini = IniFile::parse(contents);
    const std::optional<QString> value = ini.value(section, key);
    QCOMPARE(value.value_or(QStringLiteral("<absent>")), expected);
    QCOMPARE(ini.value(section, key, QStringLiteral("dflt")), value ? expected : QStringLiteral("dflt"));
}

void TestIniFile::lineEnds_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("CRLF") << QByteArray("\r\n");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR") << QByteArray("\r");
}

void TestIniFile::lineEnds()
{
    QFETCH(QByteArray, lineEnd);
    const QByteArray contents = "[A]" + lineEnd + "One=1" + lineEnd + lineEnd + "[B]" + lineEnd + "Two=2";
    const IniFile ini = IniFile::parse(contents);
    QCOMPARE(ini.sections(), QStringList({ QStringLiteral("A"), QStringLiteral("B") }));
    QCOMPARE(ini.value(QStringLiteral("A"), QStringLiteral("One")), QStringLiteral("1"));
    QCOMPARE(ini.value(QStringLiteral("B"), QStringLiteral("Two")), QStringLiteral("2"));
    QVERIFY(!ini.contains(QStringLiteral("A"), QStringLiteral("Two")));
}

void TestIniFile::missingFileReadsEmpty()
{
    TempAppFolder folder;
    const IniFile ini = IniFile::load(folder.filePath(QStringLiteral("Settings.ini")));
    QVERIFY(ini.sections().isEmpty());
    QCOMPARE(ini.value(QStringLiteral("GROUP_SETTINGS"), QStringLiteral("Groups"), QStringLiteral("0")),
             QStringLiteral("0"));
}

void TestIniFile::writesSectionsAndKeysInOrder()
{
    IniFile ini;
    ini.setValue(QStringLiteral("SERIAL_COMMAND_SETTINGS"), QStringLiteral("Monitor ON"),
                 QStringLiteral("6B 61 20 30 31 20 30 31 0D"));
    ini.setValue(QStringLiteral("SERIAL_COMMAND_SETTINGS"), QStringLiteral("Baud Rate"), QStringLiteral("9600"));
    ini.setValue(QStringLiteral("GROUP_SETTINGS"), QStringLiteral("Groups"), QStringLiteral("1"));
    ini.setValue(QStringLiteral("GROUP_SETTINGS"), QStringLiteral("1"), QStringLiteral("Lobby%front wall%"));
    ini.setValue(QStringLiteral("serial_command_settings"), QStringLiteral("Parity"), QStringLiteral("n"));
    ini.setValue(QStringLiteral("SCHEDULE_SETTINGS"), QStringLiteral("Schedules"), QStringLiteral("0"));
    ini.setValue(QStringLiteral("SERIAL_COMMAND_SETTINGS"), QStringLiteral("Empty"), QString());

    QCOMPARE(ini.serialize(), QByteArray("[SERIAL_COMMAND_SETTINGS]\r\n"
                                         "Monitor ON=6B 61 20 30 31 20 30 31 0D\r\n"
                                         "Baud Rate=9600\r\n"
                                         "Parity=n\r\n"
                                         "Empty=\r\n"
                                         "[GROUP_SETTINGS]\r\n"
                                         "Groups=1\r\n"
                                         "1=Lobby%front wall%\r\n"
                                         "[SCHEDULE_SETTINGS]\r\n"
                                         "Schedules=0\r\n"));
}

void TestIniFile::setValueReplacesFirstMatch()
{
    IniFile ini = IniFile::parse("[S]\nOn=old\nOff=x\n[s]\nOn=shadowed\n");
    ini.setValue(QStringLiteral("s"), QStringLiteral("ON"), QStringLiteral("new"));
    QCOMPARE(ini.value(QStringLiteral("S"), QStringLiteral("On")), QStringLiteral("new"));
    QCOMPARE(ini.keys(QStringLiteral("S")), QStringList({ QStringLiteral("On"), QStringLiteral("Off") }));
}

// Values written and read back through a real file come back as they were set.
void TestIniFile::roundTrips_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "9600" << "9600";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("separators") << "Lobby%front wall%1~left screen~LG`2~right~OLEVIA"
                                << "Lobby%front wall%1~left screen~LG`2~right~OLEVIA";
    QTest::newRow("latin-1 note") << QString::fromUtf8("Café") << QString::fromUtf8("Café");
    QTest::newRow("non-latin-1 note") << QString::fromUtf8("東京") << QString::fromUtf8("東京");
    QTest::newRow("latin-1 that looks like utf-8") << QString::fromUtf8("Ã©") << QString::fromUtf8("Ã©");
    QTest::newRow("blanks at the ends kept") << "  a  " << "  a  ";
    QTest::newRow("quotes kept") << "\"quoted\"" << "\"quoted\"";
    QTest::newRow("leading semicolon") << ";not a comment" << ";not a comment";
    QTest::newRow("brackets") << "[x]" << "[x]";
    QTest::newRow("line breaks become blanks") << "two\r\nlines\nhere" << "two lines here";
}

void TestIniFile::roundTrips()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);

    TempAppFolder folder;
    const QString path = folder.filePath(QStringLiteral("Settings.ini"));
    IniFile ini;
    ini.setValue(QStringLiteral("NOTES"), QStringLiteral("Note"), value);
    ini.setValue(QStringLiteral("NOTES"), QStringLiteral("After"), QStringLiteral("still here"));
    const SaveResult saved = ini.save(path);
    QVERIFY2(saved.ok, qPrintable(saved.error));

    const IniFile reread = IniFile::load(path);
    QCOMPARE(reread.value(QStringLiteral("NOTES"), QStringLiteral("Note")), expected);
    QCOMPARE(reread.value(QStringLiteral("NOTES"), QStringLiteral("After")), QStringLiteral("still here"));
}

void TestIniFile::encodingOnDisk_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << "Lobby" << QByteArray("K=Lobby\r\n");
    QTest::newRow("latin-1 as single bytes") << QString::fromUtf8("Café") << QByteArray("K=Caf\xE9\r\n");
    QTest::newRow("other text as utf-8") << QString::fromUtf8("東京") << QByteArray("K=\xE6\x9D\xB1\xE4\xBA\xAC\r\n");
}

void TestIniFile::encodingOnDisk()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, bytes);
    IniFile ini;
    ini.setValue(QStringLiteral("S"), QStringLiteral("K"), value);
    QCOMPARE(ini.serialize(), "[S]\r\n" + bytes);
}

void TestIniFile::longValueReadWhole()
{
    TempAppFolder folder;
    const QString path = folder.filePath(QStringLiteral("Settings.ini"));
    QString ports;
    for (int port = 1; ports.size() < 5000; ++port)
        ports += QStringLiteral("%1~display number %1~HYUNDAI-D525ML`").arg(port);
    ports.chop(1);

    IniFile ini;
    ini.setValue(QStringLiteral("GROUP_SETTINGS"), QStringLiteral("1"), ports);
    QVERIFY(ini.save(path).ok);
    const QString reread = IniFile::load(path).value(QStringLiteral("GROUP_SETTINGS"), QStringLiteral("1")).value();
    QVERIFY(reread.size() >= 5000);
    QCOMPARE(reread, ports);
}

void TestIniFile::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target"); // relative to the temporary folder
    QTest::newRow("missing folder") << "no such folder/Settings.ini";
    QTest::newRow("folder path is a file") << "blocker/Settings.ini";
    QTest::newRow("target is a folder") << "Settings.ini";
}

void TestIniFile::failedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    TempAppFolder folder;
    folder.writeFile(QStringLiteral("blocker"), "[S]\r\nK=old\r\n");
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Settings.ini")));

    IniFile ini;
    ini.setValue(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new"));
    const SaveResult saved = ini.save(folder.filePath(target));
    QVERIFY(!saved.ok);
    QVERIFY(!saved.error.isEmpty());
    QCOMPARE(folder.readFile(QStringLiteral("blocker")), QByteArray("[S]\r\nK=old\r\n"));
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("Settings.ini"))).isDir());
}

void TestIniFile::saveLeavesNoTemporaryFiles()
{
    TempAppFolder folder;
    const QString path = folder.filePath(QStringLiteral("Settings.ini"));
    folder.writeFile(QStringLiteral("Settings.ini"), "[OLD]\r\nGone=1\r\n");

    IniFile ini;
    ini.setValue(QStringLiteral("NEW"), QStringLiteral("Here"), QStringLiteral("1"));
    QVERIFY(ini.save(path).ok);

    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList(QStringLiteral("Settings.ini")));
    QCOMPARE(folder.readFile(QStringLiteral("Settings.ini")), QByteArray("[NEW]\r\nHere=1\r\n"));
}

QTEST_APPLESS_MAIN(TestIniFile)
#include "test_ini_file.moc"
