#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vantiro {

// The folder that holds the lock file and the socket of the user's running copy. Every process of one user must
// find the same folder whatever its environment (a desktop session, su, ssh, cron, a systemd user unit), or two
// copies could run the schedule at once; and no other user may be able to put it somewhere of their choosing.
//
// The rule, first that fits:
// 1. $XDG_RUNTIME_DIR, when it is set and is a folder owned by the user with mode 0700;
// 2. /run/user/<uid>, on the same terms;
// 3. .local/state/Vantiro/runtime in the user's home as the password database names it (not $HOME, which su
//    keeps), created 0700 when missing; an existing one must be a folder of the user's, and is made 0700.
// A folder that fails its checks is passed over, so a variable left over from another user (su) or pointing at
// a folder someone else made never decides.
//
// The runtime folder alone cannot keep two copies apart: a boot-time unit or a cron job started before the system
// made /run/user/<uid> picks the home folder, and a desktop session started later picks /run/user/<uid>. So every
// copy also takes a lock in a fixed folder of the user's, .local/state/Vantiro in the home the password database
// names, before the one in its runtime folder, and records there where it listens (single_instance.h).
struct RuntimeFolder
{
    QString path; // empty when none could be had
    QString error; // why not: each place tried, with its path and reason
    QString stateFolder; // the user's fixed folder; empty when it could not be had
    QString stateError; // why not

    explicit operator bool() const { return !path.isEmpty(); }
};

// Where the rule looks, so it can be tried on folders of a test's own.
struct RuntimeFolderPlaces
{
    std::optional<QString> xdgRuntimeDir; // nothing when the variable is unset
    QString runUserFolder; // /run/user/<uid>
    QString home; // the user's home folder
    quint32 uid = 0;
    // The user's fixed folder in place of the one in the home: for tests that run copies side by side, which must
    // neither meet each other nor the user's own copy. Set from VANTIRO_STATE_DIR, which nothing else sets.
    std::optional<QString> stateFolder;
};

RuntimeFolder findRuntimeFolder(const RuntimeFolderPlaces &places);

// The places of this process's user.
RuntimeFolderPlaces runtimeFolderPlaces();
RuntimeFolder findRuntimeFolder();

// The fallback folder inside a home folder.
QString homeRuntimeFolder(const QString &home);
// The user's fixed folder inside a home folder.
QString homeStateFolder(const QString &home);

// In the user's fixed folder: the user's lock, and the record of the runtime folder its holder listens in. Both
// names carry the machine's name, so a home shared between machines keeps one copy per machine.
QString userLockFilePath(const QString &stateFolder);
QString listeningRecordPath(const QString &stateFolder);
// The runtime folder the record names, when it is one this user alone can have made; nothing otherwise.
std::optional<QString> recordedListeningFolder(const QString &stateFolder);
// Where a client asks the user's running copy, in order: the folder the record names, then this process's own
// runtime folder (a copy whose home had no fixed folder listens there without a record).
QStringList runningCopyFolders(const RuntimeFolder &runtime);

} // namespace vantiro
