#include "app/about_dialog.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"
#include "window_controls.h"

#include <QCheckBox>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace vantiro;
using namespace vantiro::test;
using namespace Qt::StringLiterals;

namespace {

// Stand-ins for systemctl and loginctl, found first on PATH: each records how it was called and answers as the
// row's user manager and logind would. Only shell built-ins and absolute paths, as PATH holds nothing else.
const QByteArray fakeSystemctl = R"(#!/bin/sh
echo "systemctl $*" >> "$FAKE_STATE/calls"
if [ -e "$FAKE_STATE/no-bus" ]; then echo "Failed to connect to bus: No medium found" >&2; exit 1; fi
case "$2" in
is-enabled) if [ -e "$FAKE_STATE/enabled" ]; then echo enabled; exit 0; fi; echo disabled; exit 1;;
enable) : > "$FAKE_STATE/enabled"; echo "Created symlink default.target.wants/vantiro.service" >&2;;
disable) /bin/rm -f "$FAKE_STATE/enabled";;
esac
)";
const QByteArray fakeLoginctl = R"(#!/bin/sh
echo "loginctl $*" >> "$FAKE_STATE/calls"
case "$1" in
show-user) if [ -e "$FAKE_STATE/linger" ]; then echo yes; exit 0; fi
  echo "Failed to get user: User is not logged in or lingering" >&2; exit 1;;
enable-linger) if [ -e "$FAKE_STATE/refuse-linger" ]; then echo "Could not enable linger: Access denied" >&2; exit 1; fi
  : > "$FAKE_STATE/linger";;
esac
)";

} // namespace

class TestBackgroundUnit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void checkBoxEnablesTheUnitAndSaysWhatFailed_data();
    void checkBoxEnablesTheUnitAndSaysWhatFailed();

private:
    std::unique_ptr<TempAppFolder> m_tools;
    QByteArray m_path;
};

void TestBackgroundUnit::init()
{
    m_tools = std::make_unique<TempAppFolder>();
    m_path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_tools->path()));
    qputenv("FAKE_STATE", QFile::encodeName(m_tools->path()));
}

void TestBackgroundUnit::cleanup()
{
    qputenv("PATH", m_path);
}

void TestBackgroundUnit::checkBoxEnablesTheUnitAndSaysWhatFailed_data()
{
    QTest::addColumn<QStringList>("situation"); // files of the stand-ins' state, and "no systemctl"
    QTest::addColumn<bool>("checkedAfter");
    QTest::addColumn<QString>("said"); // empty: nothing is shown
    QTest::addColumn<QStringList>("calls"); // in order, after the box asked is-enabled

    const QString enable = u"systemctl --user enable vantiro.service"_s;
    const QString showUser = u"loginctl show-user %1 --property=Linger --value"_s.arg(::getuid());
    QTest::newRow("enabled, linger granted")
        << QStringList() << true << QString() << QStringList { enable, showUser, u"loginctl enable-linger"_s };
    QTest::newRow("enabled, linger on already")
        << QStringList { u"linger"_s } << true << QString() << QStringList { enable, showUser };
    QTest::newRow("enabled, linger refused") << QStringList { u"refuse-linger"_s } << true
                                             << u"(linger) was refused (loginctl enable-linger: Could not "
                                                "enable linger: Access denied)"_s
                                             << QStringList { enable, showUser, u"loginctl enable-linger"_s };
    QTest::newRow("no user manager") << QStringList { u"no-bus"_s } << false
                                     << u"no systemd user manager runs for you"_s << QStringList { enable };
    QTest::newRow("no systemd at all") << QStringList { u"no systemctl"_s } << false
                                       << u"systemd is not installed here"_s << QStringList();
    // Switching off leaves linger alone: other services of the user may need it.
    QTest::newRow("switched off") << QStringList { u"enabled"_s, u"linger"_s } << false << QString()
                                  << QStringList { u"systemctl --user disable vantiro.service"_s };
}

void TestBackgroundUnit::checkBoxEnablesTheUnitAndSaysWhatFailed()
{
    QFETCH(QStringList, situation);
    QFETCH(bool, checkedAfter);
    QFETCH(QString, said);
    QFETCH(QStringList, calls);
    if (!situation.contains(u"no systemctl"_s))
        m_tools->writeFile(u"systemctl"_s, fakeSystemctl);
    m_tools->writeFile(u"loginctl"_s, fakeLoginctl);
    for (const QString &tool : { u"systemctl"_s, u"loginctl"_s })
        QFile::setPermissions(m_tools->filePath(tool), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    for (const QString &state : situation)
        m_tools->writeFile(state, {});

    TempAppFolder config;
    ScriptedPrompts prompts;
    AboutDialog about(config.path(), Autostart(u"/usr/bin/vantiro"_s, config.path()), prompts);
    auto *check = control<QCheckBox>(&about, u"chkRunInBackground"_s);
    QCOMPARE(check->text(), u"Run the schedule in the background, also when nobody is logged in"_s);
    // The box asks without waiting, and can be used once it knows.
    QTRY_VERIFY(check->isEnabled());
    QCOMPARE(check->isChecked(), situation.contains(u"enabled"_s));
    m_tools->writeFile(u"calls"_s, {});

    QSignalSpy done(about.findChild<BackgroundUnit *>(), &BackgroundUnit::changed);
    check->click();
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(check->isChecked(), checkedAfter);
    const QString recorded = QString::fromUtf8(m_tools->readFile(u"calls"_s));
    QCOMPARE(recorded.split(u'\n', Qt::SkipEmptyParts), calls);
    if (said.isEmpty()) {
        QVERIFY(prompts.messages.isEmpty());
        return;
    }
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY2(prompts.messages.first().text.contains(said), qPrintable(prompts.messages.first().text));
    QCOMPARE(prompts.messages.first().icon, PromptIcon::Exclamation);
}

QTEST_MAIN(TestBackgroundUnit)
#include "test_background_unit.moc"
