#include "app/about_dialog.h"
#include "app/app_folder.h"
#include "app/autostart.h"
#include "common/daily_log.h"
#include "common/status_log.h"
#include "manual_clock.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"
#include "window_controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace vantiro;
using vantiro::test::control;
using vantiro::test::ManualClock;
using vantiro::test::ScriptedPrompts;
using vantiro::test::TempAppFolder;

// Where files live, start with the session, and the daily log.
class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void applicationFolderFollowsTheProgramFolder_data();
    void applicationFolderFollowsTheProgramFolder();
    void execArgumentIsQuotedForTheDesktop_data();
    void execArgumentIsQuotedForTheDesktop();
    void aboutBoxShowsTheFolderAndSwitchesTheAutostartEntry();
    void autostartEntryThatCannotBeWrittenIsReportedAndUnchecked();
    void dailyLogKeepsEveryLineInTheFileOfItsDay();
    void dailyLogRemovesFilesOlderThanNinetyDaysAtStart();
    void unwritableDailyLogIsReportedOnceAndNothingStops();
};

void TestDesktop::applicationFolderFollowsTheProgramFolder_data()
{
    QTest::addColumn<QString>("layout"); // what the program's folder is
    QTest::addColumn<bool>("portable");

    QTest::newRow("a copy in a writable folder keeps its files beside it") << u"writable"_s << true;
    // Also for root, who may write there: an installed program never fills the system's folders.
    QTest::newRow("an installed copy uses the user's folder") << u"installed"_s << false;
    QTest::newRow("a folder where no file can be created") << u"read-only"_s << false;
}

void TestDesktop::applicationFolderFollowsTheProgramFolder()
{
    QFETCH(QString, layout);
    QFETCH(bool, portable);

    TempAppFolder root;
    QString programFolder = root.filePath(u"bin"_s);
    QDir().mkpath(programFolder);
    if (layout == u"installed"_s) {
        QDir().mkpath(root.filePath(u"share/applications"_s));
        root.writeFile(u"share/applications/org.vantiro.Vantiro.desktop"_s, "[Desktop Entry]\n");
    }
    if (layout == u"read-only"_s)
        programFolder = u"/proc"_s; // refuses new files to everyone, root included
    const QString dataFolder = root.filePath(u"home/.local/share/Vantiro"_s);

    const ApplicationFolderChoice choice = chooseApplicationFolder(programFolder, dataFolder);
    QCOMPARE(choice.portable, portable);
    QCOMPARE(choice.path, portable ? programFolder : dataFolder);
    QVERIFY(choice.error.isEmpty());
    QCOMPARE(QFileInfo(dataFolder).isDir(), !portable); // created only when it is used
    QCOMPARE(QDir(programFolder).entryList({ u".vantiro*"_s }, QDir::Files | QDir::Hidden), QStringList());
}

void TestDesktop::execArgumentIsQuotedForTheDesktop_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("exec");

    QTest::newRow("plain") << u"/usr/bin/vantiro"_s << u"/usr/bin/vantiro"_s;
    QTest::newRow("blank") << u"/home/ann/My Displays/vantiro"_s << u"\"/home/ann/My Displays/vantiro\""_s;
    // $ is escaped inside the quotes, % doubled, and every backslash doubled again for the string.
    QTest::newRow("dollar and percent") << u"/opt/a$b%c/vantiro"_s << u"\"/opt/a\\\\$b%%c/vantiro\""_s;
}

void TestDesktop::execArgumentIsQuotedForTheDesktop()
{
    QFETCH(QString, path);
    QFETCH(QString, exec);
    QCOMPARE(desktopExecArgument(path), exec);
}

void TestDesktop::aboutBoxShowsTheFolderAndSwitchesTheAutostartEntry()
{
    TempAppFolder config;
    TempAppFolder appFolder;
    const Autostart autostart(u"/home/ann/My Displays/vantiro"_s, config.path());
    const QString entry = config.filePath(u"autostart/org.vantiro.Vantiro.desktop"_s);
    ScriptedPrompts prompts;
    AboutDialog about(appFolder.path(), autostart, prompts);

    QCOMPARE(about.windowTitle(), u"About Vantiro"_s);
    QCOMPARE(control<QLineEdit>(&about, u"txtApplicationFolder"_s)->text(), appFolder.path());
    auto *check = control<QCheckBox>(&about, u"chkStartAtLogin"_s);
    QCOMPARE(check->text(), u"Start Vantiro when I log in"_s);
    QVERIFY(!check->isChecked());

    check->click();
    const QByteArray written = config.readFile(u"autostart/org.vantiro.Vantiro.desktop"_s);
    QVERIFY(written.startsWith("[Desktop Entry]\n"));
    QVERIFY(written.contains("\nType=Application\n"));
    QVERIFY(written.contains("\nExec=\"/home/ann/My Displays/vantiro\"\n"));
    QVERIFY(autostart.isEnabled());
    // A box opened later shows the entry as it is on disk.
    QVERIFY(control<QCheckBox>(new AboutDialog(appFolder.path(), autostart, prompts, &about), u"chkStartAtLogin"_s)
                ->isChecked());

    // Switched off in the desktop's own settings, the entry no longer counts.
    config.writeFile(u"autostart/org.vantiro.Vantiro.desktop"_s, written + "Hidden=true\n");
    QVERIFY(!autostart.isEnabled());

    check->click();
    QVERIFY(!QFileInfo::exists(entry));
    QVERIFY(prompts.messages.isEmpty());

    about.show();
    QTest::keyClick(&about, Qt::Key_Return); // OK is the default button
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

void TestDesktop::autostartEntryThatCannotBeWrittenIsReportedAndUnchecked()
{
    TempAppFolder config;
    config.writeFile(u"autostart"_s, "a file where the folder should be");
    ScriptedPrompts prompts;
    AboutDialog about(config.path(), Autostart(u"/usr/bin/vantiro"_s, config.path()), prompts);
    auto *check = control<QCheckBox>(&about, u"chkStartAtLogin"_s);

    check->click();
    QVERIFY(!check->isChecked());
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY(prompts.messages.first().text.startsWith(u"The autostart entry "_s));
    QCOMPARE(prompts.messages.first().icon, PromptIcon::Exclamation);
}

void TestDesktop::dailyLogKeepsEveryLineInTheFileOfItsDay()
{
    TempAppFolder folder;
    ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59)));
    StatusLog log(clock, QLocale(u"en_US"_s));
    DailyLog daily(folder.path(), log);

    log.statusMessage(u"Start sending COM 1 – Lobby Süd"_s);
    log.statusMessage(u"two\nlines"_s);
    clock.advanceSeconds(1);
    log.statusMessage(u"after midnight"_s);

    QCOMPARE(QString::fromUtf8(folder.readFile(u"logs/2026-12-08.log"_s)),
             u"12/8/2026 11:59:59 PM - Start sending COM 1 – Lobby Süd\n"
             u"12/8/2026 11:59:59 PM - two lines\n"_s);
    QCOMPARE(QString::fromUtf8(folder.readFile(u"logs/2026-12-09.log"_s)),
             u"12/9/2026 12:00:00 AM - after midnight\n"_s);
    QCOMPARE(log.rowCount(), 3);
}

void TestDesktop::dailyLogRemovesFilesOlderThanNinetyDaysAtStart()
{
    TempAppFolder folder;
    QDir().mkpath(folder.filePath(u"logs"_s));
    const QStringList kept { u"2026-09-09.log"_s, u"2026-12-08.log"_s, u"notes.txt"_s, u"2026-13-01.log"_s };
    for (const QString &name : kept + QStringList { u"2026-09-08.log"_s, u"2025-01-01.log"_s })
        folder.writeFile(u"logs/"_s + name, "line\n");

    ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(8, 0, 0))); // 2026-09-09 is 90 days before
    StatusLog log(clock);
    DailyLog daily(folder.path(), log);

    QStringList left = QDir(folder.filePath(u"logs"_s)).entryList(QDir::Files);
    QStringList expected = kept;
    left.sort();
    expected.sort();
    QCOMPARE(left, expected);
}

void TestDesktop::unwritableDailyLogIsReportedOnceAndNothingStops()
{
    TempAppFolder folder;
    folder.writeFile(u"logs"_s, "a file where the folder should be");
    ManualClock clock;
    StatusLog log(clock, QLocale(u"en_US"_s));
    DailyLog daily(folder.path(), log);

    for (const QString &text : { u"first"_s, u"second"_s, u"third"_s })
        log.statusMessage(text);

    const QStringList lines = log.lines();
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(0).endsWith(u" - first"_s));
    QVERIFY(lines.at(1).contains(u" - The daily log "_s));
    QVERIFY(lines.at(2).endsWith(u" - second"_s));
    QVERIFY(lines.at(3).endsWith(u" - third"_s));

    // Writable again: lines reach the file, and a later failure would be reported anew.
    QVERIFY(QFile::remove(folder.filePath(u"logs"_s)));
    log.statusMessage(u"fourth"_s);
    QVERIFY(folder.readFile(u"logs/2009-03-25.log"_s).endsWith(" - fourth\n"));
}

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
