#include "common/ini_file.h"
#include "file_size_limit.h"
#include "inventory/settings_file.h"
#include "temp_app_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/time.h>
#include <utility>

using namespace Qt::StringLiterals;
using namespace vantiro;
using vantiro::test::TempAppFolder;

namespace {

// A file's bytes as written, NULs included.
template<qsizetype N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// Text as UTF-16 in little-endian order, the byte-order mark first.
QByteArray utf16Le(const QString &text)
{
    QByteArray file("\xFF\xFE");
    for (const QChar c : text) {
        file += char(c.unicode() & 0xFF);
        file += char(c.unicode() >> 8);
    }
    return file;
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void lookups_data();
    void lookups();
    void setValueReplacesInPlaceOrAppends();
    void roundTrips_data();
    void roundTrips();
    void saveReplacesTheFileOrNothing_data();
    void saveReplacesTheFileOrNothing();
    void utf16FileIsSavedAsUtf16_data();
    void utf16FileIsSavedAsUtf16();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void leftoverSavesAreRemovedAfterAMinute_data();
    void leftoverSavesAreRemovedAfterAMinute();
};

// Each row: a file, a lookup, and what the lookup gives ("<absent>" for an absent key).
void TestIniFile::lookups_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray settings = "[SERIAL_COMMAND_SETTINGS]\r\nBaud Rate=9600\r\nParity=n\r\n";
    QTest::newRow("exact names") << settings << "SERIAL_COMMAND_SETTINGS"
                                 << "Baud Rate"
                                 << "9600";
    QTest::newRow("section in other case") << settings << "serial_command_settings"
                                           << "Parity"
                                           << "n";
    QTest::newRow("key in other case") << settings << "SERIAL_COMMAND_SETTINGS"
                                       << "BAUD RATE"
                                       << "9600";
    QTest::newRow("absent key") << settings << "SERIAL_COMMAND_SETTINGS"
                                << "Stop Bits"
                                << "<absent>";
    QTest::newRow("absent section") << settings << "GROUP_SETTINGS"
                                    << "Groups"
                                    << "<absent>";
    QTest::newRow("CR line ends") << QByteArray("[A]\rOne=1\r\r[B]\rTwo=2") << "B"
                                  << "Two"
                                  << "2";
    QTest::newRow("first key wins") << QByteArray("[S]\nOn=first\nON=second\n") << "s"
                                    << "on"
                                    << "first";
    QTest::newRow("first section wins") << QByteArray("[S]\nA=1\n[s]\nA=2\n") << "S"
                                        << "A"
                                        << "1";
    QTest::newRow("mixed line ends") << QByteArray("[A]\r\nOne=1\rTwo=2\nThree=3\r\n\r\r\n[B]\nK=b") << "a"
                                     << "three"
                                     << "3";
    // Enough names that the lookup tables grow several times before the repeat is met.
    QByteArray manyKeys = "[S]\n";
    QByteArray manySections;
    for (int i = 1; i <= 2000; ++i) {
        manyKeys += "Key" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\n";
        manySections += "[Section" + QByteArray::number(i) + "]\nK=" + QByteArray::number(i) + "\n";
    }
    QTest::newRow("first of many keys wins") << manyKeys + "KEY700=late\n"
                                             << "S"
                                             << "key700"
                                             << "700";
    QTest::newRow("first of many sections wins") << manySections + "[SECTION700]\nK=late\n"
                                                 << "section700"
                                                 << "K"
                                                 << "700";
    QTest::newRow("letters beyond the first plane")
        << QByteArray("[\xF0\x90\x90\x80]\nK=deseret\n") << QString::fromUtf8("\xF0\x90\x90\xA8") << "K"
        << "deseret";
    QTest::newRow("present but empty") << QByteArray("[S]\nOn=\n") << "S"
                                       << "On"
                                       << "";
    QTest::newRow("blanks and tabs trimmed") << QByteArray("  [ S ]  \n \t Baud Rate\t =  9 6 \t\n") << "S"
                                             << "Baud Rate"
                                             << "9 6";
    QTest::newRow("double quotes removed") << QByteArray("[S]\nK=\"  padded  \"\n") << "S"
                                           << "K"
                                           << "  padded  ";
    QTest::newRow("single quotes removed") << QByteArray("[S]\nK='x'\n") << "S"
                                           << "K"
                                           << "x";
    QTest::newRow("one pair only") << QByteArray("[S]\nK=\"\"x\"\"\n") << "S"
                                   << "K"
                                   << "\"x\"";
    QTest::newRow("unmatched quotes kept") << QByteArray("[S]\nK=\"x'\n") << "S"
                                           << "K"
                                           << "\"x'";
    QTest::newRow("lone quote kept") << QByteArray("[S]\nK=\"\n") << "S"
                                     << "K"
                                     << "\"";
    QTest::newRow("equals and semicolon in a value") << QByteArray("[S]\nK=a=b;c\n") << "S"
                                                     << "K"
                                                     << "a=b;c";
    QTest::newRow("indented comment") << QByteArray("[S]\n   ; K=commented\nK=real\n") << "S"
                                      << "K"
                                      << "real";
    QTest::newRow("key before any section") << QByteArray("K=orphan\n[S]\n") << "S"
                                            << "K"
                                            << "<absent>";
    QTest::newRow("line without equals") << QByteArray("[S]\nK\nL=1\n") << "S"
                                         << "K"
                                         << "<absent>";
    QTest::newRow("utf-8 BOM") << QByteArray("\xEF\xBB\xBF[S]\nK=Caf\xC3\xA9\n") << "S"
                               << "K" << QString::fromUtf8("Café");
    QTest::newRow("latin-1 file, accented section")
        << QByteArray("[Caf\xE9]\nK=Caf\xE9\n") << QString::fromUtf8("CAFÉ") << "k" << QString::fromUtf8("Café");
    QTest::newRow("utf-8 file") << QByteArray("[S]\nK=\xE6\x9D\xB1\xE4\xBA\xAC\n") << "S"
                                << "K" << QString::fromUtf8("東京");
    QTest::newRow("windows-1252 file") << QByteArray("[S]\nK=\x93It\x92s \x80 5\x85\x94 \x96 \x81\n") << "S"
                                       << "K" << QString::fromUtf8("“It’s € 5…” – \u0081");
    // A byte-order mark before bytes that are not UTF-8: the text is single-byte all the same.
    QTest::newRow("BOM before windows-1252") << QByteArray("\xEF\xBB\xBF[S]\nK=Caf\xE9\n") << "S"
                                             << "K" << QString::fromUtf8("Café");

    // Where a hand-edited file is read as the Windows profile functions read it.
    QTest::newRow("UTF-16LE with its mark (Notepad's \"Unicode\")")
        << bytes("\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0") << "A"
        << "k"
        << "v";
    QTest::newRow("UTF-16BE with its mark") << bytes("\xFE\xFF\0[\0A\0]\0\r\0\n\0k\0=\0v\0\r\0\n") << "A"
                                            << "k"
                                            << "v";
    QTest::newRow("a [ line without ] starts no section") << bytes("[X]\r\na=1\r\n[A\r\nk=1\r\n") << "X"
                                                          << "k"
                                                          << "1";
    QTest::newRow("a line without = hides the key after it") << bytes("[A]\r\nk\r\nk=2\r\n") << "A"
                                                             << "k"
                                                             << "<absent>";
    QTest::newRow("a NUL ends a value") << bytes("[A]\r\nk=ab\0cd\r\n") << "A"
                                        << "k"
                                        << "ab";
    QTest::newRow("a NUL ends section and key names") << bytes("[A\0B]\r\nk\0x=1\r\n") << "A"
                                                      << "k"
                                                      << "1";
    QTest::newRow("Ctrl-Z at the end of a value is trimmed") << bytes("[A]\r\nk=1\x1A\r\n") << "A"
                                                             << "k"
                                                             << "1";
    QTest::newRow("a no-break space is no blank") << bytes("[A]\r\nk=\xA0v\xA0\r\n") << "A"
                                                  << "k" << QString::fromUtf8("\u00A0v\u00A0");
    QTest::newRow("a section name runs to the last ]") << bytes("[A]B]\r\nk=1\r\n") << "A]B"
                                                       << "k"
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
    QCOMPARE(value.value_or(u"<absent>"_s), expected);
    QCOMPARE(ini.value(section, key, u"dflt"_s), value ? expected : u"dflt"_s);
}

void TestIniFile::setValueReplacesInPlaceOrAppends()
{
    // Lines without "=" are written back as they were, unless given a value.
    IniFile ini = IniFile::parse("[S]\nOn=old\nBare\nOff=x\nLater\n[s]\nOn=shadowed\n");
    ini.setValue(u"s"_s, u"ON"_s, u"new"_s);
    ini.setValue(u"GROUP_SETTINGS"_s, u"1"_s, u"two\r\nlines\rand\nmore"_s);
    ini.setValue(u"S"_s, u"Empty"_s, {});
    ini.setValue(u"S"_s, u"later"_s, u"set"_s);
    QCOMPARE(ini.serialize(),
             QByteArray("[S]\r\nOn=new\r\nBare\r\nOff=x\r\nLater=set\r\nEmpty=\r\n"
                        "[s]\r\nOn=shadowed\r\n"
                        "[GROUP_SETTINGS]\r\n1=two lines and more\r\n"));
}

// Each row: the values of the keys K1, K2 ... of one section, and the file's lines after the section's.
void TestIniFile::roundTrips_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QByteArray>("lines");

    const QString cafe = QString::fromUtf8("Café");
    QTest::newRow("latin-1 as single bytes") << QStringList { cafe } << QByteArray("K1=Caf\xE9\r\n");
    QTest::newRow("windows-1252 as single bytes") << QStringList { QString::fromUtf8("It’s €5 – Café…") }
                                                  << QByteArray("K1=It\x92s \x80\x35 \x96 Caf\xE9\x85\r\n");
    QTest::newRow("C1 controls not in windows-1252 make it utf-8")
        << QStringList { QString::fromUtf8("\u0080") } << QByteArray("K1=\xC2\x80\r\n");
    QTest::newRow("other text makes the whole file utf-8")
        << QStringList { cafe, QString::fromUtf8("東京") }
        << QByteArray("K1=Caf\xC3\xA9\r\nK2=\xE6\x9D\xB1\xE4\xBA\xAC\r\n");
    QTest::newRow("latin-1 that looks like utf-8")
        << QStringList { QString::fromUtf8("Ã©") } << QByteArray("K1=\xC3\x83\xC2\xA9\r\n");
    QTest::newRow("blanks and quotes at the ends kept")
        << QStringList { u"  a  "_s, u"\"quoted\""_s } << QByteArray("K1=\"  a  \"\r\nK2=\"\"quoted\"\"\r\n");
    QTest::newRow("trailing blanks only kept") << QStringList { u"a  "_s } << QByteArray("K1=\"a  \"\r\n");
    // Longer than the 64 KB a save writes at a time.
    const QString longValue = u"12~display number 12~HYUNDAI-D525ML`"_s.repeated(2000);
    QTest::newRow("long value read and written whole")
        << QStringList { longValue } << QByteArray("K1=" + longValue.toLatin1() + "\r\n");
}

void TestIniFile::roundTrips()
{
    QFETCH(QStringList, values);
    QFETCH(QByteArray, lines);

    TempAppFolder folder;
    const QString path = folder.filePath(u"Settings.ini"_s);
    IniFile ini;
    for (int i = 0; i < values.size(); ++i)
        ini.setValue(u"S"_s, u"K%1"_s.arg(i + 1), values.at(i));
    const SaveResult saved = ini.save(path);
    QVERIFY2(saved.ok, qPrintable(saved.error));

    QCOMPARE(folder.readFile(u"Settings.ini"_s), QByteArray("[S]\r\n" + lines));
    const IniFile reread = IniFile::load(path);
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(reread.value(u"S"_s, u"K%1"_s.arg(i + 1)), values.at(i));
}

// The folder holds "Settings.ini" and a file with a 250-character name, both old, and a folder "Folder".
void TestIniFile::saveReplacesTheFileOrNothing_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("ok");
    QTest::newRow("over the old file") << u"Settings.ini"_s << true;
    QTest::newRow("missing folder") << u"missing/Settings.ini"_s << false;
    QTest::newRow("target is a folder") << u"Folder"_s << false;
    // No temporary file can be named after it, so the old file cannot be replaced.
    QTest::newRow("old file with the longest name") << QString(250, u'n') << false;
}

void TestIniFile::saveReplacesTheFileOrNothing()
{
    QFETCH(QString, target);
    QFETCH(bool, ok);

    TempAppFolder folder;
    const QByteArray old = "[OLD]\r\nGone=1\r\n";
    folder.writeFile(u"Settings.ini"_s, old);
    folder.writeFile(QString(250, u'n'), old);
    QVERIFY(QDir(folder.path()).mkdir(u"Folder"_s));
    const auto entries = [&] {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    const QStringList before = entries();

    IniFile ini;
    ini.setValue(u"NEW"_s, u"Here"_s, u"1"_s);
    const SaveResult saved = ini.save(folder.filePath(target));
    QCOMPARE(saved.ok, ok);
    QCOMPARE(saved.error.isEmpty(), ok);
    QCOMPARE(folder.readFile(u"Settings.ini"_s), ok ? QByteArray("[NEW]\r\nHere=1\r\n") : old);
    QCOMPARE(folder.readFile(QString(250, u'n')), old);
    QCOMPARE(entries(), before); // no temporary file left behind
}

// Each row: the file on disk before the save, and whether the file saved is that one read back and
// changed, or one built anew as Settings.ini is on every save.
void TestIniFile::utf16FileIsSavedAsUtf16_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("builtAnew");
    const QByteArray little = utf16Le(u"[S]\r\nK=old\r\n"_s);
    QByteArray big = little;
    for (qsizetype i = 0; i + 1 < big.size(); i += 2)
        std::swap(big[i], big[i + 1]);
    QTest::newRow("read from UTF-16LE") << little << false;
    QTest::newRow("read from UTF-16BE") << big << false;
    QTest::newRow("built anew over UTF-16LE") << little << true;
}

void TestIniFile::utf16FileIsSavedAsUtf16()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, builtAnew);

    TempAppFolder folder;
    const QString path = folder.filePath(u"Settings.ini"_s);
    folder.writeFile(u"Settings.ini"_s, before);
    IniFile ini = builtAnew ? IniFile() : IniFile::load(path);
    const QString value = u"Stra\u00dfe \u20ac \u6771"_s;
    ini.setValue(u"S"_s, u"K"_s, value);
    const SaveResult saved = ini.save(path);
    QVERIFY2(saved.ok, qPrintable(saved.error));
    QCOMPARE(folder.readFile(u"Settings.ini"_s), utf16Le(u"[S]\r\nK="_s + value + u"\r\n"_s));
}

namespace {

const char saveChildFlag[] = "--save-child";
const QByteArray smallIni = "[OLD]\r\nKept=1\r\n";

// The child's side of the test below: one save of a kind, with a value of a size; prints the reason
// of a failure (and the warning about Settings.ini.bak).
int runSaveChild(const QString &kind, const QString &path, int size)
{
    const QString value(size, u'x');
    SaveResult saved;
    if (kind == u"plain"_s) {
        saved = saveFile(path, value.toLatin1());
    } else if (kind == u"ini"_s) {
        IniFile ini;
        ini.setValue(u"S"_s, u"K"_s, value);
        saved = ini.save(path);
    } else {
        SettingsContents contents;
        contents.groupRows = QList<QStringList> { { u"Lobby"_s, value, {} } };
        const SettingsSaveResult settings = saveSettingsFile(path, contents);
        saved = settings;
        std::printf("%s\n", qPrintable(settings.backupWarning));
    }
    std::printf("%s\n", qPrintable(saved.error));
    return saved.ok ? 0 : 1;
}

} // namespace

// Each row: a save run with its file size limited (as on a full disk), the file there before, and what
// the folder holds afterwards. The save fails with the system's reason and the old bytes stay.
void TestIniFile::failedWriteKeepsTheOldFile_data()
{
    using Files = QMap<QString, QByteArray>;
    QTest::addColumn<QString>("kind"); // what saves: "ini", "plain", "settings", or "displays" for vantiro-displays
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<int>("size"); // of the new value
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<Files>("after");

    // The small file is written in one piece at the end, the large one in chunks along the way.
    QTest::newRow("LGSettings.ini, smaller than a chunk")
        << u"ini"_s << u"LGSettings.ini"_s << smallIni << 3000 << qint64(1024)
        << Files { { u"LGSettings.ini"_s, smallIni } };
    QTest::newRow("GeneralControlSettings.ini, several chunks")
        << u"ini"_s << u"GeneralControlSettings.ini"_s << smallIni << 300000 << qint64(100000)
        << Files { { u"GeneralControlSettings.ini"_s, smallIni } };
    const QByteArray entry = "[Desktop Entry]\nType=Application\n";
    QTest::newRow("the autostart entry") << u"plain"_s << u"vantiro.desktop"_s << entry << 3000 << qint64(1024)
                                         << Files { { u"vantiro.desktop"_s, entry } };
    // The copy is smaller than the limit, so it is kept; the new file is not.
    QTest::newRow("Settings.ini") << u"settings"_s << u"Settings.ini"_s << smallIni << 3000 << qint64(1024)
                                  << Files { { u"Settings.ini"_s, smallIni }, { u"Settings.ini.bak"_s, smallIni } };
    const QByteArray ports = "[COM_PORTS]\r\n1=/dev/ttyUSB7\r\n[OTHER]\r\nK=" + QByteArray(2000, 'p') + "\r\n";
    QTest::newRow("Ports.ini, its copy cannot be written")
        << u"displays"_s << u"Ports.ini"_s << ports << 0 << qint64(1024) << Files { { u"Ports.ini"_s, ports } };
    QTest::newRow("Ports.ini, the copy written but not the new file")
        << u"displays"_s << u"Ports.ini"_s << ports << 0 << qint64(ports.size() + 4)
        << Files { { u"Ports.ini"_s, ports } };
}

void TestIniFile::failedWriteKeepsTheOldFile()
{
    using Files = QMap<QString, QByteArray>;
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(QByteArray, old);
    QFETCH(int, size);
    QFETCH(qint64, limit);
    QFETCH(Files, after);

    TempAppFolder folder;
    folder.writeFile(file, old);
    const test::LimitedRun run = kind == u"displays"_s
        ? test::runWithFileSizeLimit(
            limit, { u"--displays"_s, u"1"_s, u"--first-com"_s, u"2"_s, u"--app-folder"_s, folder.path() },
            QStringLiteral(VANTIRO_DISPLAYS_PATH))
        : test::runWithFileSizeLimit(
            limit, { QString::fromLatin1(saveChildFlag), kind, folder.filePath(file), QString::number(size) });
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.contains(test::fileTooLargeReason()), qPrintable(run.output));

    Files left;
    for (const QString &name : QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        left.insert(name, folder.readFile(name));
    QCOMPARE(left, after);
}

// Each row: a file in the application folder, how old it is, and whether a start removes it.
void TestIniFile::leftoverSavesAreRemovedAfterAMinute_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("removed");
    QTest::newRow("ours, old") << u".LGSettings.ini.vantiro-save-a1B2c3"_s << 120 << true;
    QTest::newRow("ours, a save may still be writing it") << u".LGSettings.ini.vantiro-save-a1B2c3"_s << 10 << false;
    QTest::newRow("a name like older versions gave") << u"LGSettings.ini.VSOMfP"_s << 120 << false;
    QTest::newRow("no leading dot") << u"LGSettings.ini.vantiro-save-a1B2c3"_s << 120 << false;
    QTest::newRow("another ending") << u".LGSettings.ini.vantiro-save-a1B2c3.txt"_s << 120 << false;
}

void TestIniFile::leftoverSavesAreRemovedAfterAMinute()
{
    QFETCH(QString, name);
    QFETCH(int, ageSeconds);
    QFETCH(bool, removed);

    TempAppFolder folder;
    folder.writeFile(name, "[S]\r\n");
    const timeval then { ::time(nullptr) - ageSeconds, 0 };
    const timeval times[2] = { then, then };
    QVERIFY(::utimes(QFile::encodeName(folder.filePath(name)).constData(), times) == 0);

    removeLeftoverSaves(folder.path());
    QCOMPARE(QFileInfo::exists(folder.filePath(name)), !removed);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], saveChildFlag) == 0)
        return runSaveChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), atoi(argv[4]));
    TestIniFile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_ini_file.moc"
