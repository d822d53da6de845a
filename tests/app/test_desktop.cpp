#include "app/about_dialog.h"
#include "app/app_folder.h"
#include "app/autostart.h"
#include "app/desktop_entry.h"
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
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;
using namespace vantiro;
using vantiro::test::control;
using vantiro::test::ManualClock;
using vantiro::test::ScriptedPrompts;
using vantiro::test::TempAppFolder;

namespace {

const QString menuEntryPath = QStringLiteral(VANTIRO_PACKAGING_DIR "/org.vantiro.Vantiro.desktop");

// What a program printed, once it has ended well; nothing (and its output as a warning) otherwise.
std::optional<QByteArray> outputOf(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(30000);
    const QByteArray output = process.readAll();
    if (ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return output;
    qWarning("%s %s: %s %s", qPrintable(program), qPrintable(arguments.join(u' ')), qPrintable(process.errorString()),
             output.constData());
    return std::nullopt;
}

// A key's value in the menu entry that the package installs.
QString menuEntryValue(const QString &key)
{
    QFile entry(menuEntryPath);
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine()).trimmed();
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return {};
}

// A virtual X server, ended with the test.
class XServer
{
public:
    XServer()
    {
        // It prints its display number on standard output once it takes clients.
        m_process.start(u"Xvfb"_s, { u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s });
        if (m_process.waitForReadyRead(30000))
            m_display = u':' + QString::fromLatin1(m_process.readAllStandardOutput().trimmed());
    }
    ~XServer()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // Empty when the server did not start.
    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

} // namespace

// Where files live, start with the session, the menu entry, and the daily log.
class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void applicationFolderFollowsTheProgramFolder_data();
    void applicationFolderFollowsTheProgramFolder();
    void programPathIsEscapedForTheDesktop_data();
    void programPathIsEscapedForTheDesktop();
    void desktopEntriesPassTheValidator_data();
    void desktopEntriesPassTheValidator();
    void windowIsTiedToItsMenuEntry();
    void toolsGiveThePackageVersion();
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

void TestDesktop::programPathIsEscapedForTheDesktop_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("exec"); // a command line: quoted, with field codes
    QTest::addColumn<QString>("tryExec"); // a plain string

    QTest::newRow("plain") << u"/usr/bin/vantiro"_s << u"/usr/bin/vantiro"_s << u"/usr/bin/vantiro"_s;
    QTest::newRow("blank") << u"/home/ann/My Displays/vantiro"_s << u"\"/home/ann/My Displays/vantiro\""_s
                           << u"/home/ann/My Displays/vantiro"_s;
    // $ is escaped inside the quotes, % doubled, and every backslash doubled again for the string.
    QTest::newRow("dollar and percent") << u"/opt/a$b%c/vantiro"_s << u"\"/opt/a\\\\$b%%c/vantiro\""_s
                                        << u"/opt/a$b%c/vantiro"_s;
    QTest::newRow("backslash") << u"/opt/a\\b/vantiro"_s << u"\"/opt/a\\\\\\\\b/vantiro\""_s
                               << u"/opt/a\\\\b/vantiro"_s;
}

void TestDesktop::programPathIsEscapedForTheDesktop()
{
    QFETCH(QString, path);
    QFETCH(QString, exec);
    QFETCH(QString, tryExec);
    QCOMPARE(desktopExecArgument(path), exec);
    QCOMPARE(desktopStringValue(path), tryExec);
}

void TestDesktop::desktopEntriesPassTheValidator_data()
{
    QTest::addColumn<QString>("programPath"); // empty: the packaged menu entry

    QTest::newRow("menu entry") << QString();
    QTest::newRow("autostart entry") << u"/usr/bin/vantiro"_s;
    QTest::newRow("autostart entry, odd folder") << u"/home/ann/My $Displays 100%\\/vantiro"_s;
}

// The desktop's own validator, the one the distribution ships, finds no error and no warning.
void TestDesktop::desktopEntriesPassTheValidator()
{
    QFETCH(QString, programPath);
    TempAppFolder config;
    const Autostart autostart(programPath, config.path());
    if (!programPath.isEmpty())
        QVERIFY(autostart.setEnabled(true).ok);
    const QString entry = programPath.isEmpty() ? menuEntryPath : autostart.entryPath();

    QVERIFY2(!QStandardPaths::findExecutable(u"desktop-file-validate"_s).isEmpty(),
             "desktop-file-validate is missing: install desktop-file-utils (scripts/test does)");
    QCOMPARE(outputOf(u"desktop-file-validate"_s, { entry }), std::optional<QByteArray>(QByteArray()));
}

// Docks and task bars find the menu entry of the program's window: on Wayland by the app id, on X11 by the
// window's class, which a real window shows on a virtual X server.
void TestDesktop::windowIsTiedToItsMenuEntry()
{
    const QString entryName = QFileInfo(menuEntryPath).completeBaseName();
    QCOMPARE(menuEntryValue(u"StartupWMClass"_s), entryName);
    QCOMPARE(menuEntryValue(u"Icon"_s), entryName);
    tieWindowsToMenuEntry();
    QCOMPARE(QGuiApplication::desktopFileName(), entryName); // Qt's Wayland app id

    for (const QString &tool : { u"Xvfb"_s, u"xwininfo"_s, u"xprop"_s })
        QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(),
                 qPrintable(tool + u" is missing: install xvfb and x11-utils (scripts/test does)"_s));
    const XServer x;
    QVERIFY(!x.display().isEmpty());
    TempAppFolder folder;
    const QString program = folder.filePath(u"vantiro"_s);
    QVERIFY(QFile::copy(QStringLiteral(VANTIRO_PATH), program));
    QVERIFY(QFile::setPermissions(folder.path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                      | QFileDevice::ExeOwner)); // a runtime folder too
    // A save of the autostart entry killed half-way, more than a minute ago, and a file of the user's.
    QVERIFY(QDir(folder.path()).mkpath(u"autostart"_s));
    const QString leftover = folder.filePath(u"autostart/."_s + entryName + u".desktop.vantiro-save-Ab12Cd"_s);
    const QString usersFile = folder.filePath(u"autostart/.vantiro-save-notes"_s);
    for (const QString &path : { leftover, usersFile }) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s, x.display());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    environment.insert(u"XDG_RUNTIME_DIR"_s, folder.path());
    environment.insert(u"VANTIRO_STATE_DIR"_s, folder.path()); // not the user's own lock
    environment.insert(u"XDG_CONFIG_HOME"_s, folder.path());
    QProcess vantiro;
    vantiro.setProcessEnvironment(environment);
    vantiro.start(program, QStringList());

    // The main window, by its caption.
    const QRegularExpression mainWindow(u"^\\s*(0x[0-9a-f]+) \"Vantiro [^\"]*\":"_s,
                                        QRegularExpression::MultilineOption);
    QString window;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const auto tree = outputOf(u"xwininfo"_s, { u"-display"_s, x.display(), u"-root"_s, u"-tree"_s });
            window = mainWindow.match(QString::fromUtf8(tree.value_or(QByteArray()))).captured(1);
            return !window.isEmpty() || vantiro.state() == QProcess::NotRunning;
        },
        30000));
    QVERIFY2(!window.isEmpty(), vantiro.readAllStandardError().constData());
    const auto wmClass = outputOf(u"xprop"_s, { u"-display"_s, x.display(), u"-id"_s, window, u"WM_CLASS"_s });
    vantiro.kill();
    vantiro.waitForFinished();
    QCOMPARE(QString::fromUtf8(wmClass.value_or(QByteArray())).trimmed(),
             u"WM_CLASS(STRING) = \"vantiro\", \""_s + entryName + u'"');
    QVERIFY(!QFile::exists(leftover));
    QVERIFY(QFile::exists(usersFile));
}

// One version in the package, the manual pages and the tools; the caption leaves out its build number.
void TestDesktop::toolsGiveThePackageVersion()
{
    QCOMPARE(outputOf(QStringLiteral(VANTIRO_DISPLAYS_PATH), { u"--version"_s }),
             std::optional<QByteArray>("vantiro-displays " VANTIRO_PACKAGE_VERSION "\n"));
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
    // Once the program is removed, the desktop skips the entry instead of failing at every log-in.
    QVERIFY(written.contains("\nTryExec=/home/ann/My Displays/vantiro\n"));
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
