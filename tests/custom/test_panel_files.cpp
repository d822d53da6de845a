#include "custom/panel_button.h"
#include "custom/panel_command_set.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"

#include <QTest>

using namespace vantiro;
using namespace vantiro::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int noFile = -1;

// "name=command" for each command that differs from the built-in one.
QStringList changedCommands(const PanelCommandSet &set)
{
    const auto commands = [](const PanelCommandSet &s) {
        return QStringList { s.hyundaiOnCommand, s.hyundaiOffCommand, s.hyundaiSignageCommand, s.lgOnCommand,
                             s.lgOffCommand,     s.lgInputCommand,    s.lgVolumeCommand,       s.lgChannelCommand };
    };
    const QStringList names { u"hyundaiOn"_s, u"hyundaiOff"_s, u"hyundaiSignage"_s, u"lgOn"_s,
                              u"lgOff"_s,     u"lgInput"_s,    u"lgVolume"_s,       u"lgChannel"_s };
    const QStringList now = commands(set);
    const QStringList builtIn = commands(PanelCommandSet());
    QStringList changed;
    for (qsizetype i = 0; i < now.size(); ++i) {
        if (now.at(i) != builtIn.at(i))
            changed << names.at(i) + u'=' + now.at(i);
    }
    return changed;
}

// "number: cell|cell|..." for each button.
QStringList describe(const QMap<int, PanelButton> &buttons)
{
    QStringList lines;
    for (auto it = buttons.cbegin(); it != buttons.cend(); ++it)
        lines << QString::number(it.key()) + u": "_s + it->cells().join(u'|');
    return lines;
}

} // namespace

class TestPanelFiles : public QObject
{
    Q_OBJECT

private slots:
    void readingRules_data();
    void readingRules();
    void saveKeepsEveryOtherSection();
    void fiveHundredButtonsComeBack();
};

// Each row: the two files (a null array: no such file), then what the panel gets when it loads the
// button list and then "Load Custom Serial Commands": the button count, the buttons, whether the
// commands file was loaded and the commands that differ from the built-in ones.
void TestPanelFiles::readingRules_data()
{
    QTest::addColumn<QByteArray>("buttonFile");
    QTest::addColumn<QByteArray>("commandsFile");
    QTest::addColumn<int>("buttonCount");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QStringList>("commands");

    const QByteArray lobby = "1=Lobby`LG`1,9600,n,8,1\r\n";
    const QString lobbyRow = u"1: Lobby|LG|1|9600|n|8|1"_s;

    QTest::newRow("no files") << QByteArray() << QByteArray() << noFile << QStringList() << false << QStringList();
    QTest::newRow("\"ON\" in one file, \"On\" in the other: the file read last wins")
        << "[LG_SERIAL_COMMANDS]\r\nON=41 42\r\nOFF=43 44\r\n" + QByteArray("[BUTTON_SETTINGS]\r\nButton=1\r\n") + lobby
        << QByteArray("[LG_SERIAL_COMMANDS]\r\nOn=45 46\r\n") << 1 << QStringList(lobbyRow) << true
        << QStringList({ u"lgOn=45 46"_s, u"lgOff=43 44"_s });
    QTest::newRow("only \"Tuner\": both inputs send it")
        << QByteArray() << QByteArray("[LG_SERIAL_COMMANDS]\nTuner=6B 62 20 30 31 20 30 31 0D\n") << noFile
        << QStringList() << true << QStringList(u"lgInput=6B 62 20 30 31 20 30 31 0D"_s);
    QTest::newRow("\"Tuner\" wins over \"Digital Signage\"")
        << QByteArray() << QByteArray("[LG_SERIAL_COMMANDS]\nTuner=31\nDigital Signage=32\n") << noFile << QStringList()
        << true << QStringList(u"lgInput=31"_s);
    QTest::newRow("odd case, blanks around, empty values keep the command")
        << QByteArray("[button_settings]\r\nBUTTON = 1 \r\n 1 = Lobby`LG`1,9600,n,8,1 \r\n"
                      "[lg_serial_commands]\r\non=\r\n")
        << QByteArray("[Hyundai_D525ml_Serial_Commands]\nON =  41 42  \nOFF=\ndigital SIGNAGE=43\n"
                      "[LG_SERIAL_COMMANDS]\nVOLUME=44 _ 0D\nChannel=   \n")
        << 1 << QStringList(lobbyRow) << true
        << QStringList({ u"hyundaiOn=41 42"_s, u"hyundaiSignage=43"_s, u"lgVolume=44 _ 0D"_s });
    QTest::newRow("entries: empty, missing (a button 0), without separators, blanks, surplus fields, beyond the count")
        << QByteArray("[BUTTON_SETTINGS]\nButton=6\n" + lobby
                      + "2=\n4=  Hall  \n5= Yard ` hyundai_d525ml ` 2,19200,e,7,2,9`x\n6=`LG`3,9600,n,8,1\n"
                        "05=Spare\n7=Beyond\n")
        << QByteArray() << 6
        << QStringList({ lobbyRow, u"3: 0||||||"_s, u"4: Hall||||||"_s, u"5: Yard|hyundai_d525ml| 2|19200|e|7|2"_s,
                         u"6: |LG|3|9600|n|8|1"_s })
        << false << QStringList();
    // A count read by its leading digits; one that cannot say how many there are reads every entry
    // present, so the next save keeps them.
    const QByteArray twoEntries = lobby + "2=Hall`LG`2,9600,n,8,1\r\n3=\r\n";
    const QStringList twoRows { lobbyRow, u"2: Hall|LG|2|9600|n|8|1"_s };
    for (const char *count : { "Button=abc", "Button=2.5", "Button=2147483648", "Button=-1", "Button=", "" }) {
        QTest::addRow("count \"%s\"", count) << "[BUTTON_SETTINGS]\n" + QByteArray(count) + '\n' + twoEntries
                                             << QByteArray("") << 2 << twoRows << true << QStringList();
    }
    QTest::newRow("count 1 of 2") << "[BUTTON_SETTINGS]\nButton=1\n" + twoEntries << QByteArray() << 1
                                  << QStringList(lobbyRow) << false << QStringList();
}

void TestPanelFiles::readingRules()
{
    QFETCH(QByteArray, buttonFile);
    QFETCH(QByteArray, commandsFile);
    QFETCH(int, buttonCount);
    QFETCH(QStringList, buttons);
    QFETCH(bool, loaded);
    QFETCH(QStringList, commands);

    TempAppFolder folder;
    if (!buttonFile.isNull())
        folder.writeFile(buttonFileName, buttonFile);
    if (!commandsFile.isNull())
        folder.writeFile(customCommandsFileName, commandsFile);

    PanelCommandSet set;
    const std::optional<ButtonFileContents> contents = loadButtonFile(folder.path());
    if (contents)
        set.applyButtonFileCommands(*contents);
    RecordingBusyPointer busy;
    QCOMPARE(set.loadCustomSerialCommands(folder.path(), busy), loaded);
    QCOMPARE(busy.timesShown, 1);
    QCOMPARE(busy.depth, 0);

    QCOMPARE(contents ? contents->buttonCount : noFile, buttonCount);
    QCOMPARE(describe(contents ? contents->buttons : QMap<int, PanelButton> {}), buttons);
    QCOMPARE(changedCommands(set), commands);
    set.setHyundaiDefaultCommands();
    set.setLgDefaultCommands();
    QCOMPARE(set, PanelCommandSet());
}

void TestPanelFiles::saveKeepsEveryOtherSection()
{
    TempAppFolder folder;
    folder.writeFile(buttonFileName,
                     "; written by hand\r\n[LG_SERIAL_COMMANDS]\r\nON=41 42\r\n[BUTTON_SETTINGS]\r\nButton=3\r\n"
                     "1=a`LG`1,9600,n,8,1\r\n2=b`LG`2,9600,n,8,1\r\n3=c`LG`3,9600,n,8,1\r\n"
                     "[Site]\r\nBuilding=North\r\nbuilding=ignored\r\n");
    const PanelButton lobby { u"Lobby"_s, u"LG"_s, u"1"_s, u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
    QVERIFY(saveButtonFile(folder.path(), { lobby }));

    const QByteArray written = folder.readFile(buttonFileName);
    QVERIFY2(written.contains("[BUTTON_SETTINGS]\r\nButton=1\r\n1=Lobby`LG`1,9600,n,8,1\r\n["), written);
    const IniFile ini = IniFile::parse(written);
    QCOMPARE(ini.keys(u"BUTTON_SETTINGS"_s), QStringList({ u"Button"_s, u"1"_s })); // no stale entries
    QCOMPARE(ini.value(u"Site"_s, u"Building"_s, {}), u"North"_s);
    const ButtonFileContents contents = readButtonFile(ini);
    QCOMPARE(contents.buttons.values(), QList<PanelButton>({ lobby }));
    QCOMPARE(contents.lgOnCommand, u"41 42"_s);
}

void TestPanelFiles::fiveHundredButtonsComeBack()
{
    TempAppFolder folder;
    QList<PanelButton> buttons;
    for (int i = 1; i <= 500; ++i) {
        buttons.append({ u"Display %1"_s.arg(i), i % 2 ? u"LG"_s : u"HYUNDAI_D525ML"_s, QString::number(i % 40 + 1),
                         u"19200"_s, u"e"_s, u"7"_s, u"2"_s });
    }
    QVERIFY(saveButtonFile(folder.path(), buttons));
    const std::optional<ButtonFileContents> contents = loadButtonFile(folder.path());
    QVERIFY(contents);
    QCOMPARE(contents->buttonCount, 500);
    QCOMPARE(contents->buttons.keys().constLast(), 500);
    QCOMPARE(contents->buttons.values(), buttons);
}

QTEST_GUILESS_MAIN(TestPanelFiles)
#include "test_panel_files.moc"
