#include "running_copy/plain_client.h"
#include "running_copy/runtime_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace vantiro;
using namespace Qt::StringLiterals;

namespace {

// Makes a place as a row describes it: "unset" (for the variable), "missing", "good" (a folder of this user with
// mode 0700), "open" (mode 0755), "file", "symlink" (to a good folder), "other user" (0700, owned by nobody).
bool make(const QString &path, const QString &kind)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == u"missing"_s || kind == u"unset"_s)
        return true;
    if (kind == u"file"_s)
        return QFile(path).open(QIODevice::WriteOnly);
    if (kind == u"symlink"_s) {
        const QByteArray target = name + QByteArray(".target");
        return QDir().mkpath(QFile::decodeName(target)) && ::chmod(target.constData(), 0700) == 0
            && ::symlink(target.constData(), name.constData()) == 0;
    }
    if (!QDir().mkpath(path))
        return false;
    const mode_t mode = kind == u"open"_s ? 0755 : 0700;
    if (::chmod(name.constData(), mode) != 0)
        return false;
    return kind != u"other user"_s || ::chown(name.constData(), 65534, 65534) == 0;
}

mode_t modeOf(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

} // namespace

class TestRuntimeFolder : public QObject
{
    Q_OBJECT

private slots:
    void firstSafePlaceWins_data();
    void firstSafePlaceWins();
};

void TestRuntimeFolder::firstSafePlaceWins_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("runUser");
    QTest::addColumn<QString>("homeFolder"); // the fallback folder in the home, as it is found
    QTest::addColumn<QString>("chosen"); // "variable", "run user", "home" or "none"
    QTest::addColumn<QStringList>("reasons"); // what the error names, when none is chosen

    // A desktop session.
    QTest::newRow("XDG_RUNTIME_DIR") << u"good"_s << u"good"_s << u"missing"_s << u"variable"_s << QStringList();
    // cron, ssh without a login manager: the folder the system made for the user, as a desktop copy has it.
    QTest::newRow("unset: /run/user") << u"unset"_s << u"good"_s << u"missing"_s << u"run user"_s << QStringList();
    // A folder that another user could have made or can read is passed over, not failed on.
    QTest::newRow("open variable: /run/user")
        << u"open"_s << u"good"_s << u"missing"_s << u"run user"_s << QStringList();
    QTest::newRow("variable of another user: /run/user")
        << u"other user"_s << u"good"_s << u"missing"_s << u"run user"_s << QStringList();
    // No /run/user: the home folder, created 0700 (or narrowed to it when it is this user's own).
    QTest::newRow("no /run/user: home, created")
        << u"missing"_s << u"missing"_s << u"missing"_s << u"home"_s << QStringList();
    QTest::newRow("open /run/user: home, narrowed")
        << u"unset"_s << u"open"_s << u"open"_s << u"home"_s << QStringList();
    // Nothing safe: every place is named with its reason.
    QTest::newRow("none") << u"file"_s << u"missing"_s << u"symlink"_s << u"none"_s
                          << QStringList { u"is not a folder"_s, u"does not exist"_s, u"is a symbolic link"_s };
}

void TestRuntimeFolder::firstSafePlaceWins()
{
    QFETCH(QString, variable);
    QFETCH(QString, runUser);
    QFETCH(QString, homeFolder);
    QFETCH(QString, chosen);
    QFETCH(QStringList, reasons);
    if ((variable == u"other user"_s || runUser == u"other user"_s) && ::geteuid() != 0)
        QSKIP("only root can give a folder to another user");

    QTemporaryDir base;
    RuntimeFolderPlaces places;
    places.uid = ::geteuid();
    const QString variablePath = base.filePath(u"xdg"_s);
    if (variable != u"unset"_s)
        places.xdgRuntimeDir = variablePath;
    places.runUserFolder = base.filePath(u"run/user/1000"_s);
    places.home = base.filePath(u"home"_s);
    const QString homePath = places.home + u"/.local/state/Vantiro/runtime"_s;
    QVERIFY(make(variablePath, variable));
    QVERIFY(make(places.runUserFolder, runUser));
    QVERIFY(make(homePath, homeFolder));

    const RuntimeFolder found = findRuntimeFolder(places);
    // vantiro-send's quick start asks the copy that a start in the same places would be: in the folder as that
    // copy leaves it.
    const std::vector<std::string> asked = plain_client::copyFolders(
        { places.xdgRuntimeDir ? std::optional(places.xdgRuntimeDir->toStdString()) : std::nullopt,
          places.runUserFolder.toStdString(), places.home.toStdString(), std::nullopt, places.uid });
    const QString expected = chosen == u"variable"_s ? variablePath
        : chosen == u"run user"_s                    ? places.runUserFolder
        : chosen == u"home"_s                        ? homePath
                                                     : QString();
    QCOMPARE(found.path, expected);
    QCOMPARE(asked, expected.isEmpty() ? std::vector<std::string>() : std::vector { expected.toStdString() });
    if (chosen == u"home"_s)
        QCOMPARE(modeOf(homePath), mode_t(0700));
    for (const QString &reason : reasons)
        QVERIFY2(found.error.contains(reason), qPrintable(found.error));
    if (chosen == u"none"_s)
        QVERIFY(found.error.contains(variablePath) && found.error.contains(places.runUserFolder)
                && found.error.contains(homePath));
}

QTEST_GUILESS_MAIN(TestRuntimeFolder)
#include "test_runtime_folder.moc"
