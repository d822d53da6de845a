#include "commands/display_models.h"
#include "inventory/day_mask.h"
#include "inventory/records.h"
#include "inventory/settings_file.h"
#include "temp_app_folder.h"

#include <QDir>
#include <QTest>

#include <cstring>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace vantiro;
using vantiro::test::TempAppFolder;

namespace {

using Rows = QList<QStringList>;
using MaybeRows = std::optional<Rows>; // absent: the table keeps what it has

const QString lobbyPorts = u"1~left screen~LG`2~right screen~OLEVIA"_s;
const QStringList lobbySchedule { u"Lobby"_s,    u"03/25/2009"_s,      u"12/31/2009"_s, u"08:00:00"_s,
                                  u"08:00:00"_s, u"S,N,N,N,N,N,Sat"_s, u"Monitors ON"_s };

SettingsContents contentsWith(const Rows &groups, const Rows &schedules)
{
    SettingsContents contents;
    contents.serial
        = { u"6B 61 20 30 31 20 30 31 0D"_s, u"6B 61 20 30 31 20 30 30 0D"_s, { u"9600"_s, u"n"_s, u"8"_s, u"1"_s } };
    contents.groupRows = groups;
    contents.scheduleRows = schedules;
    return contents;
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void days_data();
    void days();
    void writes_data();
    void writes();
    void reads_data();
    void reads();
    void loadsHandWrittenFile();
    void saveThenLoadGivesSameTables();
    void datesWithoutEventsRoundTrip_data();
    void datesWithoutEventsRoundTrip();
    void previousFileIsKeptAsBak_data();
    void previousFileIsKeptAsBak();
};

// Hand-edited masks and day texts still give seven days (the file's masks are read and written below).
void TestSettingsFile::days_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    QTest::newRow("short mask") << u"11"_s << u"S,M,N,N,N,N,N"_s;
    QTest::newRow("not 1 is no day") << u"1x1y1z1"_s << u"S,N,T,N,Th,N,Sat"_s;
    QTest::newRow("any tag is a day") << u"Sun,N,x,N,N,N,N"_s << u"1010000"_s;
    QTest::newRow("missing elements") << u"S,M"_s << u"1100000"_s;
}

void TestSettingsFile::days()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QCOMPARE(from.contains(u',') ? dayTextToMask(from) : dayMaskToText(from), to);
}

// Each row: the group and schedule rows saved, and the file from the group section on.
void TestSettingsFile::writes_data()
{
    QTest::addColumn<Rows>("groups");
    QTest::addColumn<Rows>("schedules");
    QTest::addColumn<QByteArray>("tail");

    QTest::newRow("Lobby") << Rows { { u"Lobby"_s, u"front wall"_s, lobbyPorts } } << Rows { lobbySchedule }
                           << QByteArray("[GROUP_SETTINGS]\r\nGroups=1\r\n"
                                         "1=Lobby%front wall%1~left screen~LG`2~right screen~OLEVIA\r\n"
                                         "[SCHEDULE_SETTINGS]\r\nSchedules=1\r\n"
                                         "1=Lobby`03/25/2009`12/31/2009`08:00:00`08:00:00`1000001`Monitors ON\r\n");
    QTest::newRow("no note, no ports, no schedule")
        << Rows { { u"Spare"_s, {}, {} } } << Rows {}
        << QByteArray("[GROUP_SETTINGS]\r\nGroups=1\r\n1=Spare%%\r\n[SCHEDULE_SETTINGS]\r\nSchedules=0\r\n");
    QTest::newRow("fields trimmed, dates and times as shown")
        << Rows { { u" Hall "_s, u" east "_s, u" 3~~LG "_s } }
        << Rows { { u"Hall"_s, u"1/2/2010 "_s, u" x"_s, u"9:30"_s, u"9:30"_s, u" N,M,T,W,Th,F,N "_s,
                    u" LG All Monitors OFF "_s } }
        << QByteArray("[GROUP_SETTINGS]\r\nGroups=1\r\n1=Hall%east%3~~LG\r\n[SCHEDULE_SETTINGS]\r\nSchedules=1\r\n"
                      "1=Hall`1/2/2010 ` x`9:30`9:30`0111110`LG All Monitors OFF\r\n");
}

void TestSettingsFile::writes()
{
    QFETCH(Rows, groups);
    QFETCH(Rows, schedules);
    QFETCH(QByteArray, tail);

    QCOMPARE(settingsToIni(contentsWith(groups, schedules)).serialize(),
             QByteArray("[SERIAL_COMMAND_SETTINGS]\r\n"
                        "Monitor ON=6B 61 20 30 31 20 30 31 0D\r\n"
                        "Monitor OFF=6B 61 20 30 31 20 30 30 0D\r\n"
                        "Baud Rate=9600\r\nParity=n\r\nData Bits=8\r\nStop Bits=1\r\n"
                        + tail));
}

// Each row: a section of a file, and the rows it loads.
// Each row: the file after its schedule section, and the dates it holds. A file read and saved again
// is the same, byte for byte, with the section and without it.
void TestSettingsFile::datesWithoutEventsRoundTrip_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<Rows>("dates");

    QTest::newRow("none") << QByteArray() << Rows {};
    QTest::newRow("notes, none, and one holding the separator")
        << QByteArray("[SCHEDULE_EXCEPTIONS]\r\nDates=3\r\n1=12/25/2027`Christmas\r\n2=12/26/2027\r\n"
                      "3=01/01/2028`New Year`s Day\r\n")
        << Rows { { u"12/25/2027"_s, u"Christmas"_s }, { u"12/26/2027"_s, {} }, { u"01/01/2028"_s, u"New Year`s Day"_s } };
    QTest::newRow("a date text that names no date is kept")
        << QByteArray("[SCHEDULE_EXCEPTIONS]\r\nDates=1\r\n1=13/45/2027`typo\r\n") << Rows { { u"13/45/2027"_s, u"typo"_s } };
}

void TestSettingsFile::datesWithoutEventsRoundTrip()
{
    QFETCH(QByteArray, tail);
    QFETCH(Rows, dates);

    const QByteArray file = settingsToIni(contentsWith({ { u"Lobby"_s, {}, lobbyPorts } }, { lobbySchedule })).serialize()
        + tail;
    const SettingsContents read = readSettings(IniFile::parse(file));
    QCOMPARE(read.datesWithoutEvents, dates);
    QCOMPARE(settingsToIni(read).serialize(), file);
}

void TestSettingsFile::reads_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<MaybeRows>("rows");

    const QByteArray groups = "[GROUP_SETTINGS]\n";
    QTest::newRow("keys 1 and 3 of 3") << groups + "Groups=3\n1=A%a%\n3=C%%1~x~LG\n"
                                       << MaybeRows(Rows { { u"A"_s, u"a"_s, {} }, { u"C"_s, {}, u"1~x~LG"_s } });
    QTest::newRow("key order, not line order") << groups + "Groups=2\n2=B%%\n1=A%%\n"
                                               << MaybeRows(Rows { { u"A"_s, {}, {} }, { u"B"_s, {}, {} } });
    QTest::newRow("keys past the count") << groups + "Groups=1\n1=A%%\n2=B%%\n"
                                         << MaybeRows(Rows { { u"A"_s, {}, {} } });
    QTest::newRow("empty record skipped") << groups + "Groups=2\n1=\n2=B%%\n" << MaybeRows(Rows { { u"B"_s, {}, {} } });
    QTest::newRow("first of a repeated key") << groups + "Groups=1\n1=A%%\n1=B%%\n"
                                             << MaybeRows(Rows { { u"A"_s, {}, {} } });
    QTest::newRow("empty first of a repeated key") << groups + "Groups=1\n1=\n1=B%%\n" << MaybeRows(Rows {});
    QTest::newRow("not a record key") << groups + "Groups=1\n01=A%%\n" << MaybeRows(Rows {});
    QTest::newRow("fields trimmed, missing ones empty")
        << groups + "Groups=2\n1= Lobby % front wall % 1~a~LG \n2=Hall\n"
        << MaybeRows(Rows { { u"Lobby"_s, u"front wall"_s, u"1~a~LG"_s }, { u"Hall"_s, {}, {} } });
    // A count that cannot be taken as it stands never loses a record a later save would then drop.
    const MaybeRows ab(Rows { { u"A"_s, {}, {} }, { u"B"_s, {}, {} } });
    QTest::newRow("huge count") << groups + "Groups=2000000000\n7=G%%\n" << MaybeRows(Rows { { u"G"_s, {}, {} } });
    QTest::newRow("count past any whole number") << groups + "Groups=99999999999\n1=A%%\n2=B%%\n" << ab;
    QTest::newRow("negative count") << groups + "Groups=-5\n1=A%%\n2=B%%\n" << ab;
    QTest::newRow("count read by its leading digits") << groups + "Groups=2.5\n1=A%%\n2=B%%\n3=C%%\n" << ab;
    QTest::newRow("count not a number") << groups + "Groups=two\n1=A%%\n2=B%%\n" << ab;
    QTest::newRow("count absent") << groups + "1=A%%\n2=B%%\n" << ab;
    QTest::newRow("count absent, no records") << groups + "Other=1\n" << MaybeRows();
    QTest::newRow("count zero") << groups + "Groups=0\n1=A%%\n" << MaybeRows();
    QTest::newRow("negative schedule count")
        << QByteArray("[SCHEDULE_SETTINGS]\nSchedules=-1\n1=Hall`03/25/2009\n")
        << MaybeRows(Rows { { u"Hall"_s, u"03/25/2009"_s, {}, {}, {}, u"N,N,N,N,N,N,N"_s, {} } });
    QTest::newRow("schedule with too few fields")
        << QByteArray("[SCHEDULE_SETTINGS]\nSchedules=1\n1=Hall`03/25/2009\n")
        << MaybeRows(Rows { { u"Hall"_s, u"03/25/2009"_s, {}, {}, {}, u"N,N,N,N,N,N,N"_s, {} } });
}

void TestSettingsFile::reads()
{
    QFETCH(QByteArray, section);
    QFETCH(MaybeRows, rows);

    const SettingsContents contents = readSettings(IniFile::parse(section));
    QCOMPARE(section.startsWith("[GROUP") ? contents.groupRows : contents.scheduleRows, rows);
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
                     "1=Hall`03/25/2009`03/25/2009`08:00:00`08:00:00`1000001`Monitors OFF\r\n");

    const SettingsContents loaded = loadSettingsFile(folder.filePath(u"Settings.ini"_s)).contents;
    SerialCommandSettings serial; // an empty value counts as absent
    serial.monitorOn = u"6B 61 20 30 31 20 30 31 0D"_s;
    serial.lineSettings.baudRate = u"19200"_s;
    QCOMPARE(loaded.serial, serial);
    QCOMPARE(loaded.groupRows, Rows({ { u"Lobby"_s, u"front wall"_s, lobbyPorts }, { u"Hall"_s, {}, u"4~spare"_s } }));
    QCOMPARE(loaded.scheduleRows,
             Rows({ { u"Hall"_s, u"03/25/2009"_s, u"03/25/2009"_s, u"08:00:00"_s, u"08:00:00"_s, u"S,N,N,N,N,N,Sat"_s,
                      u"Monitors OFF"_s } }));
}

void TestSettingsFile::saveThenLoadGivesSameTables()
{
    TempAppFolder folder;
    const QString path = folder.filePath(u"Settings.ini"_s);
    folder.writeFile(u"Settings.ini"_s,
                     "[GROUP_SETTINGS]\r\nGroups=4\r\n1=A%%\r\n2=B%%\r\n3=C%%\r\n4=D%%\r\n[X]\r\nK=v\r\n");
    const QStringList everyDay { u"Caf\u00e9"_s, u"01/01/2010"_s,       u"12/31/2010"_s,        u"23:59:59"_s,
                                 u"23:59:59"_s,  u"S,M,T,W,Th,F,Sat"_s, u"LG All Monitors ON"_s };
    QList<PortEntry> sixtyPorts;
    for (int port = 1; port <= 60; ++port)
        sixtyPorts.append({ QString::number(port), displayModelNames().at(port % 4), u"screen %1"_s.arg(port) });
    QVERIFY(packPorts(sixtyPorts).size() > 1023); // longer than older versions could read back
    const SettingsContents saved = contentsWith({ { u"Lobby"_s, u"front wall"_s, lobbyPorts },
                                                  { u"Wall"_s, {}, packPorts(sixtyPorts) },
                                                  { {}, u"unnamed"_s, u"9~~HYUNDAI-D525ML"_s },
                                                  { u"Caf\u00e9"_s, u"Stra\u00dfe"_s, u"1~\u00e9~LG"_s } },
                                                { lobbySchedule, everyDay });
    QVERIFY(saveSettingsFile(path, saved).ok);

    const SettingsContents loaded = loadSettingsFile(path).contents;
    QVERIFY(loaded == saved);
    QCOMPARE(unpackPorts(loaded.groupRows->at(1).at(2)), sixtyPorts);
    // The old file is replaced as a whole: none of its keys or sections are left.
    QCOMPARE(folder.readFile(u"Settings.ini"_s), settingsToIni(saved).serialize());
}

// Each row: Settings.ini and Settings.ini.bak before a save (empty: none; "<folder>": a folder in its
// place), whether the save holds what the file holds already, the copy afterwards, and the system's reason
// in the warning about the copy.
void TestSettingsFile::previousFileIsKeptAsBak_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("bakBefore");
    QTest::addColumn<bool>("unchanged");
    QTest::addColumn<QByteArray>("bakAfter");
    QTest::addColumn<QString>("reason");

    const QByteArray handEdited = "[GROUP_SETTINGS]\r\nGroups=1\r\n1=Hall%%\r\n";
    QTest::newRow("a change keeps the old file") << handEdited << QByteArray() << false << handEdited << QString();
    QTest::newRow("one copy: the older one goes")
        << handEdited << QByteArray("older") << false << handEdited << QString();
    QTest::newRow("the same bytes: nothing is written")
        << QByteArray() << QByteArray("older") << true << QByteArray("older") << QString();
    QTest::newRow("no file before, no copy") << QByteArray() << QByteArray() << false << QByteArray() << QString();
    QTest::newRow("a copy that cannot be written stops nothing")
        << handEdited << QByteArray("<folder>") << false << QByteArray("<folder>")
        << QString::fromLocal8Bit(std::strerror(EISDIR));
}

void TestSettingsFile::previousFileIsKeptAsBak()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, bakBefore);
    QFETCH(bool, unchanged);
    QFETCH(QByteArray, bakAfter);
    QFETCH(QString, reason);

    TempAppFolder folder;
    const QString path = folder.filePath(u"Settings.ini"_s);
    const QString bak = folder.filePath(u"Settings.ini.bak"_s);
    const SettingsContents contents = contentsWith({ { u"Lobby"_s, u"front wall"_s, lobbyPorts } }, {});
    if (unchanged)
        QVERIFY(saveSettingsFile(path, contents).ok);
    else if (!before.isEmpty())
        folder.writeFile(u"Settings.ini"_s, before);
    if (bakBefore == "<folder>")
        QVERIFY(QDir(folder.path()).mkdir(u"Settings.ini.bak"_s));
    else if (!bakBefore.isEmpty())
        folder.writeFile(u"Settings.ini.bak"_s, bakBefore);
    struct stat old = {};
    ::stat(QFile::encodeName(path).constData(), &old);

    const SettingsSaveResult saved = saveSettingsFile(path, contents);
    QVERIFY2(saved.ok, qPrintable(saved.error));
    QCOMPARE(loadSettingsFile(path).contents.groupRows, contents.groupRows);
    struct stat now = {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &now), 0);
    QCOMPARE(now.st_ino == old.st_ino && now.st_mtim.tv_nsec == old.st_mtim.tv_nsec, unchanged); // written or not
    if (bakAfter == "<folder>")
        QVERIFY(QFileInfo(bak).isDir());
    else
        QCOMPARE(folder.readFile(u"Settings.ini.bak"_s), bakAfter);
    QCOMPARE(QFileInfo::exists(bak), !bakAfter.isEmpty());
    QVERIFY2(reason.isEmpty() ? saved.backupWarning.isEmpty()
                              : saved.backupWarning.contains(bak) && saved.backupWarning.contains(reason),
             qPrintable(saved.backupWarning));
}

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
