#include "inventory/day_mask.h"
#include "inventory/records.h"
#include "inventory/settings_file.h"
#include "temp_app_folder.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantiro;
using vantiro::test::TempAppFolder;

namespace {

const QString lobbyPorts = u"1~left screen~LG`2~right screen~OLEVIA"_s;

SettingsContents typicalContents()
{
    SettingsContents contents;
    contents.serial
        = { u"6B 61 20 30 31 20 30 31 0D"_s, u"6B 61 20 30 31 20 30 30 0D"_s, u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
    contents.groupRows = QList<QStringList> { { u"Lobby"_s, u"front wall"_s, lobbyPorts } };
    contents.scheduleRows = QList<QStringList> { { u"Lobby"_s, u"03/25/2009"_s, u"12/31/2009"_s, u"08:00:00"_s,
                                                   u"08:00:00"_s, u"S,N,N,N,N,N,Sat"_s, u"Monitors ON"_s } };
    return contents;
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void daysBothWays_data();
    void daysBothWays();
    void daysFromOddInput_data();
    void daysFromOddInput();
    void writesTheFileLayout();
    void writesRecords_data();
    void writesRecords();
    void readsGroupRecords_data();
    void readsGroupRecords();
    void readsScheduleRecords_data();
    void readsScheduleRecords();
    void loadsHandWrittenFile();
    void saveThenLoadGivesSameTables_data();
    void saveThenLoadGivesSameTables();
    void saveRebuildsTheFile();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
};

void TestSettingsFile::daysBothWays_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("text");
    QTest::newRow("every day") << "1111111"
                               << "S,M,T,W,Th,F,Sat";
    QTest::newRow("weekdays") << "0111110"
                              << "N,M,T,W,Th,F,N";
    QTest::newRow("no day") << "0000000"
                            << "N,N,N,N,N,N,N";
    QTest::newRow("weekend") << "1000001"
                             << "S,N,N,N,N,N,Sat";
    QTest::newRow("thursday") << "0000100"
                              << "N,N,N,N,Th,N,N";
}

void TestSettingsFile::daysBothWays()
{
    QFETCH(QString, mask);
    QFETCH(QString, text);
    QCOMPARE(dayMaskToText(mask), text);
    QCOMPARE(dayTextToMask(text), mask);
}

// Hand-edited masks and texts still give seven days.
void TestSettingsFile::daysFromOddInput_data()
{
    QTest::addColumn<bool>("fromMask");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short mask") << true << "11"
                                << "S,M,N,N,N,N,N";
    QTest::newRow("empty mask") << true << ""
                                << "N,N,N,N,N,N,N";
    QTest::newRow("not 1 is no day") << true << "1x1y1z1"
                                     << "S,N,T,N,Th,N,Sat";
    QTest::newRow("long mask") << true << "000000011"
                               << "N,N,N,N,N,N,N";
    QTest::newRow("any tag is a day") << false << "Sun,N,x,N,N,N,N"
                                      << "1010000";
    QTest::newRow("missing elements") << false << "S,M"
                                      << "1100000";
    QTest::newRow("extra elements") << false << "N,N,N,N,N,N,N,S"
                                    << "0000000";
}

void TestSettingsFile::daysFromOddInput()
{
    QFETCH(bool, fromMask);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(fromMask ? dayMaskToText(input) : dayTextToMask(input), expected);
}

void TestSettingsFile::writesTheFileLayout()
{
    TempAppFolder folder;
    QVERIFY(saveSettingsFile(folder.filePath(u"Settings.ini"_s), typicalContents()).ok);
    QCOMPARE(folder.readFile(u"Settings.ini"_s),
             QByteArray("[SERIAL_COMMAND_SETTINGS]\r\n"
                        "Monitor ON=6B 61 20 30 31 20 30 31 0D\r\n"
                        "Monitor OFF=6B 61 20 30 31 20 30 30 0D\r\n"
                        "Baud Rate=9600\r\nParity=n\r\nData Bits=8\r\nStop Bits=1\r\n"
                        "[GROUP_SETTINGS]\r\n"
                        "Groups=1\r\n"
                        "1=Lobby%front wall%1~left screen~LG`2~right screen~OLEVIA\r\n"
                        "[SCHEDULE_SETTINGS]\r\n"
                        "Schedules=1\r\n"
                        "1=Lobby`03/25/2009`12/31/2009`08:00:00`08:00:00`1000001`Monitors ON\r\n"));
}

// Each row: the group and schedule rows saved, and the lines they give in the file.
void TestSettingsFile::writesRecords_data()
{
    QTest::addColumn<QList<QStringList>>("groups");
    QTest::addColumn<QList<QStringList>>("schedules");
    QTest::addColumn<QByteArray>("lines");

    QTest::newRow("group without note and ports")
        << QList<QStringList> { { u"Spare"_s, {}, {} } } << QList<QStringList> {}
        << QByteArray("Groups=1\r\n1=Spare%%\r\n[SCHEDULE_SETTINGS]\r\nSchedules=0\r\n");
    QTest::newRow("group fields trimmed") << QList<QStringList> { { u" Hall "_s, u" east "_s, u" 3~~LG "_s } }
                                          << QList<QStringList> {} << QByteArray("1=Hall%east%3~~LG\r\n");
    QTest::newRow("no groups") << QList<QStringList> {} << QList<QStringList> {}
                               << QByteArray("[GROUP_SETTINGS]\r\nGroups=0\r\n[SCHEDULE_SETTINGS]\r\n");
    QTest::newRow("schedule days and function trimmed")
        << QList<QStringList> {}
        << QList<QStringList> { { u"Hall"_s, u"01/02/2010"_s, u"01/03/2010"_s, u"09:30:00"_s, u"09:30:00"_s,
                                  u" N,M,T,W,Th,F,N "_s, u" LG All Monitors OFF "_s } }
        << QByteArray("1=Hall`01/02/2010`01/03/2010`09:30:00`09:30:00`0111110`LG All Monitors OFF\r\n");
    QTest::newRow("schedule dates kept as shown")
        << QList<QStringList> {}
        << QList<QStringList> { { u"Hall"_s, u"1/2/2010 "_s, u" x"_s, u"9:30"_s, u"9:30"_s, u"S,M,T,W,Th,F,Sat"_s,
                                  u"Monitors ON"_s } }
        << QByteArray("1=Hall`1/2/2010 ` x`9:30`9:30`1111111`Monitors ON\r\n");
}

void TestSettingsFile::writesRecords()
{
    QFETCH(QList<QStringList>, groups);
    QFETCH(QList<QStringList>, schedules);
    QFETCH(QByteArray, lines);

    SettingsContents contents = typicalContents();
    contents.groupRows = groups;
    contents.scheduleRows = schedules;
    const QByteArray written = settingsToIni(contents).serialize();
    QVERIFY2(written.contains(lines), written.constData());
}

// Each row: the group section of a file, and the rows it loads ("absent": the table is left alone).
void TestSettingsFile::readsGroupRecords_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<bool>("absent");
    QTest::addColumn<QList<QStringList>>("rows");

    const QList<QStringList> none;
    QTest::newRow("keys 1 and 3 of 3") << QByteArray("Groups=3\n1=A%a%\n3=C%%1~x~LG\n") << false
                                       << QList<QStringList> { { u"A"_s, u"a"_s, {} }, { u"C"_s, {}, u"1~x~LG"_s } };
    QTest::newRow("key order, not line order") << QByteArray("Groups=2\n2=B%%\n1=A%%\n") << false
                                               << QList<QStringList> { { u"A"_s, {}, {} }, { u"B"_s, {}, {} } };
    QTest::newRow("keys past the count") << QByteArray("Groups=1\n1=A%%\n2=B%%\n") << false
                                         << QList<QStringList> { { u"A"_s, {}, {} } };
    QTest::newRow("empty record skipped")
        << QByteArray("Groups=2\n1=\n2=B%%\n") << false << QList<QStringList> { { u"B"_s, {}, {} } };
    QTest::newRow("first of a repeated key")
        << QByteArray("Groups=1\n1=A%%\n1=B%%\n") << false << QList<QStringList> { { u"A"_s, {}, {} } };
    QTest::newRow("not a record key") << QByteArray("Groups=1\n01=A%%\n") << false << none;
    QTest::newRow("fields trimmed") << QByteArray("Groups=1\n1= Lobby % front wall % 1~a~LG \n") << false
                                    << QList<QStringList> { { u"Lobby"_s, u"front wall"_s, u"1~a~LG"_s } };
    QTest::newRow("too few fields") << QByteArray("Groups=1\n1=Lobby\n") << false
                                    << QList<QStringList> { { u"Lobby"_s, {}, {} } };
    QTest::newRow("huge count") << QByteArray("Groups=2000000000\n7=G%%\n") << false
                                << QList<QStringList> { { u"G"_s, {}, {} } };
    QTest::newRow("count zero") << QByteArray("Groups=0\n1=A%%\n") << true << none;
    QTest::newRow("count absent") << QByteArray("1=A%%\n") << true << none;
    QTest::newRow("count empty") << QByteArray("Groups=\n1=A%%\n") << true << none;
    QTest::newRow("count not a number") << QByteArray("Groups=two\n1=A%%\n") << true << none;
    QTest::newRow("count negative") << QByteArray("Groups=-1\n1=A%%\n") << true << none;
}

void TestSettingsFile::readsGroupRecords()
{
    QFETCH(QByteArray, section);
    QFETCH(bool, absent);
    QFETCH(QList<QStringList>, rows);

    const SettingsContents contents = readSettings(IniFile::parse("[GROUP_SETTINGS]\n" + section));
    QCOMPARE(!contents.groupRows.has_value(), absent);
    if (!absent)
        QCOMPARE(*contents.groupRows, rows);
}

void TestSettingsFile::readsScheduleRecords_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("row");
    QTest::newRow("weekend mask") << QByteArray("Hall`03/25/2009`12/31/2009`08:00:00`08:00:00`1000001`Monitors ON")
                                  << QStringList { u"Hall"_s,     u"03/25/2009"_s,      u"12/31/2009"_s, u"08:00:00"_s,
                                                   u"08:00:00"_s, u"S,N,N,N,N,N,Sat"_s, u"Monitors ON"_s };
    QTest::newRow("too few fields") << QByteArray("Hall`03/25/2009")
                                    << QStringList { u"Hall"_s, u"03/25/2009"_s, {}, {}, {}, u"N,N,N,N,N,N,N"_s, {} };
}

void TestSettingsFile::readsScheduleRecords()
{
    QFETCH(QByteArray, record);
    QFETCH(QStringList, row);
    const IniFile ini = IniFile::parse("[SCHEDULE_SETTINGS]\nSchedules=1\n1=" + record + "\n");
    QCOMPARE(readSettings(ini).scheduleRows, QList<QStringList> { row });
}

void TestSettingsFile::loadsHandWrittenFile()
{
    TempAppFolder folder;
    folder.writeFile(u"Settings.ini"_s,
                     "; written by hand\r\n"
                     "[serial_command_settings]\r\n"
                     "  monitor on =  6B 61 20 30 31 20 30 31 0D  \r\n"
                     "BAUD RATE=19200\r\n"
                     "Parity=\r\n"
                     "[ Group_Settings ]\r\n"
                     "GROUPS = 2\r\n"
                     "2 = Hall %% 4~spare\r\n"
                     "1=Lobby%front wall%1~left screen~LG`2~right screen~OLEVIA\r\n"
                     "[Schedule_Settings]\r\n"
                     "schedules=1\r\n"
                     "1=Hall`03/25/2009`03/25/2009`08:00:00`08:00:00`0111110`Monitors OFF\r\n");

    const SettingsContents loaded = loadSettingsFile(folder.filePath(u"Settings.ini"_s));
    SerialCommandSettings serial;
    serial.monitorOn = u"6B 61 20 30 31 20 30 31 0D"_s;
    serial.baudRate = u"19200"_s;
    QCOMPARE(loaded.serial, serial);
    const QList<QStringList> groups { { u"Lobby"_s, u"front wall"_s, lobbyPorts }, { u"Hall"_s, {}, u"4~spare"_s } };
    QCOMPARE(loaded.groupRows, groups);
    QCOMPARE(unpackPorts(loaded.groupRows->at(1).at(2)), QList<PortEntry>({ { u"4"_s, u"LG"_s, u"spare"_s } }));
    const QStringList schedule { u"Hall"_s,     u"03/25/2009"_s,     u"03/25/2009"_s,  u"08:00:00"_s,
                                 u"08:00:00"_s, u"N,M,T,W,Th,F,N"_s, u"Monitors OFF"_s };
    QCOMPARE(loaded.scheduleRows, QList<QStringList> { schedule });
}

void TestSettingsFile::saveThenLoadGivesSameTables_data()
{
    QTest::addColumn<QList<QStringList>>("groups");
    QTest::addColumn<QList<QStringList>>("schedules");

    const QStringList everyDay { u"Lobby"_s,    u"01/01/2010"_s,       u"12/31/2010"_s,        u"23:59:59"_s,
                                 u"23:59:59"_s, u"S,M,T,W,Th,F,Sat"_s, u"LG All Monitors ON"_s };
    QTest::newRow("typical") << *typicalContents().groupRows << *typicalContents().scheduleRows;
    QTest::newRow("nothing") << QList<QStringList> {} << QList<QStringList> {};
    QTest::newRow("several groups") << QList<QStringList> {
        { u"A"_s, {}, {} }, { {}, u"unnamed"_s, u"9~~HYUNDAI-D525ML"_s }, { u"A"_s, u"again"_s, lobbyPorts }
    } << QList<QStringList> { everyDay, everyDay };
    QTest::newRow("accented note") << QList<QStringList> { { u"Caf\u00e9"_s, u"Stra\u00dfe"_s, u"1~\u00e9~LG"_s } }
                                   << QList<QStringList> {};
}

void TestSettingsFile::saveThenLoadGivesSameTables()
{
    QFETCH(QList<QStringList>, groups);
    QFETCH(QList<QStringList>, schedules);

    TempAppFolder folder;
    const QString path = folder.filePath(u"Settings.ini"_s);
    SettingsContents saved = typicalContents();
    saved.groupRows = groups;
    saved.scheduleRows = schedules;
    QVERIFY(saveSettingsFile(path, saved).ok);

    const SettingsContents loaded = loadSettingsFile(path);
    QCOMPARE(loaded.serial, saved.serial);
    QCOMPARE(loaded.groupRows.value_or(QList<QStringList> {}), groups);
    QCOMPARE(loaded.scheduleRows.value_or(QList<QStringList> {}), schedules);
}

void TestSettingsFile::saveRebuildsTheFile()
{
    TempAppFolder folder;
    const QString path = folder.filePath(u"Settings.ini"_s);
    folder.writeFile(u"Settings.ini"_s,
                     "[GROUP_SETTINGS]\r\nGroups=3\r\n1=Old%%\r\n2=Old%%\r\n3=Old%%\r\nExtra=1\r\n"
                     "[SCHEDULE_SETTINGS]\r\nSchedules=1\r\n1=Old`a`b`c`d`1111111`Monitors ON\r\n[OTHER]\r\nK=v\r\n");
    SettingsContents contents = typicalContents();
    contents.groupRows = QList<QStringList> { { u"New"_s, {}, {} } };
    contents.scheduleRows.reset();
    QVERIFY(saveSettingsFile(path, contents).ok);

    const IniFile reread = IniFile::load(path);
    QCOMPARE(reread.sections(),
             QStringList({ u"SERIAL_COMMAND_SETTINGS"_s, u"GROUP_SETTINGS"_s, u"SCHEDULE_SETTINGS"_s }));
    QCOMPARE(reread.keys(u"GROUP_SETTINGS"_s), QStringList({ u"Groups"_s, u"1"_s }));
    QCOMPARE(reread.keys(u"SCHEDULE_SETTINGS"_s), QStringList({ u"Schedules"_s }));
    QCOMPARE(reread.value(u"SCHEDULE_SETTINGS"_s, u"Schedules"_s), u"0"_s);
    QVERIFY(!loadSettingsFile(path).scheduleRows.has_value());
}

// Runs as root in the test machines, so the targets are ones no permission bit could allow.
void TestSettingsFile::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("missing folder") << "missing/Settings.ini";
    QTest::newRow("under the old file") << "Settings.ini/Settings.ini";
    QTest::newRow("target is a folder") << "Folder";
}

void TestSettingsFile::failedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    TempAppFolder folder;
    const QByteArray old = "[GROUP_SETTINGS]\r\nGroups=1\r\n1=Old%%\r\n";
    folder.writeFile(u"Settings.ini"_s, old);
    QVERIFY(QDir(folder.path()).mkdir(u"Folder"_s));

    const SaveResult saved = saveSettingsFile(folder.filePath(target), typicalContents());
    QVERIFY(!saved.ok);
    QVERIFY(!saved.error.isEmpty());
    QCOMPARE(folder.readFile(u"Settings.ini"_s), old);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({ u"Folder"_s, u"Settings.ini"_s }));
}

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
