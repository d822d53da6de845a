#include "running_copy/single_instance.h"

#include "common/safe_save.h"
#include "running_copy/plain_client.h"
#include "running_copy/runtime_folder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QSysInfo>
#include <QTimer>

#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vantiro {

namespace {

// Two copies started together: the one that won the lock may not listen yet, so the other keeps trying this long.
constexpr auto reachWindow = 1500ms;
constexpr auto retryPause = 50ms;
constexpr auto connectTimeout = 200ms;

// A lock file whose owner cannot be read (a crash between creating and writing it) counts as stale after this
// long. A live owner keeps its file locked while it runs, so age alone never takes its lock away.
constexpr auto unreadableLockAge = 10s;

// Waits while still handling events, so that an answer from this same process (in tests) can arrive.
void pause(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

QString programVersion()
{
    return u"%1.%2.%3.%4"_s.arg(VANTIRO_VERSION_MAJOR)
        .arg(VANTIRO_VERSION_MINOR)
        .arg(VANTIRO_VERSION_PATCH)
        .arg(VANTIRO_VERSION_REVISION);
}

SingleInstance::SingleInstance(QString folder, Role role, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_role(role)
    , m_lock(lockFilePath(m_folder))
    , m_server(this)
{
    m_lock.setStaleLockTime(unreadableLockAge);
    connect(&m_server, &LocalRequestServer::refused, this, &SingleInstance::requestRefused);
    m_server.setHandler(
        local_requests::activate,
        [this](const local_requests::Message &, const LocalRequestServer::Reply &reply) { activate(reply); });
    m_server.setHandler(local_requests::status,
                        [this](const local_requests::Message &, const LocalRequestServer::Reply &reply) {
                            if (m_closing)
                                reply.answer(local_requests::closing);
                            else
                                reply.answer(local_requests::ok, statusFields());
                        });
}

SingleInstance::~SingleInstance()
{
    release();
}

void SingleInstance::release()
{
    // The socket file goes while the lock is still ours: once the lock is free, the next copy may already have made
    // its own socket file under the same name. The same holds for the record of where it listens.
    m_server.close();
    if (m_userLock && m_userLock->isLocked())
        QFile::remove(listeningRecordPath(m_userFolder));
    m_lock.unlock();
    if (m_userLock)
        m_userLock->unlock();
}

void SingleInstance::setUserFolder(const QString &stateFolder)
{
    m_userFolder = stateFolder;
    m_userLock.reset();
    if (stateFolder.isEmpty())
        return;
    m_userLock = std::make_unique<QLockFile>(userLockFilePath(stateFolder));
    m_userLock->setStaleLockTime(unreadableLockAge);
}

QString SingleInstance::handOverFolder() const
{
    return m_userLock && m_userLock->isLocked() ? m_userFolder : m_folder;
}

QStringList SingleInstance::handOverFolders() const
{
    QStringList folders { m_folder };
    if (!m_userFolder.isEmpty() && m_userFolder != m_folder)
        folders.prepend(m_userFolder);
    return folders;
}

QString SingleInstance::lockFilePath(const QString &folder)
{
    return QDir(folder).filePath(u"vantiro.lock"_s);
}

QString SingleInstance::serverPath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1StringView(plain_client::socketFileName));
}

QString SingleInstance::userLockFilePath(const QString &stateFolder)
{
    return vantiro::userLockFilePath(stateFolder);
}

QString SingleInstance::listeningRecordPath(const QString &stateFolder)
{
    return vantiro::listeningRecordPath(stateFolder);
}

QString SingleInstance::roleName(Role role)
{
    return role == Role::Window ? u"window"_s : u"background"_s;
}

SingleInstance::Start SingleInstance::start(std::chrono::milliseconds answerTimeout)
{
    if (m_lock.isLocked())
        return Start::First;
    m_errorString.clear();
    m_answeredFolder.clear();
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return fail(Start::Failed, tr("Vantiro cannot create its runtime folder \"%1\".").arg(m_folder));

    const QDeadlineTimer reachDeadline(reachWindow);
    std::optional<QDeadlineTimer> closingDeadline;
    for (;;) {
        const Locking locking = takeLocks();
        if (locking == Locking::Taken) {
            listen();
            recordListening();
            return Start::First;
        }
        if (locking == Locking::Failed) {
            const QString folder = QFileInfo(m_lockError).path();
            return fail(Start::Failed,
                        tr("Vantiro cannot create its lock file \"%1\"%2.")
                            .arg(m_lockError,
                                 QFileInfo(folder).isWritable() ? QString()
                                                                : tr(": the folder \"%1\" is read-only").arg(folder)));
        }

        if (closingDeadline) {
            // The closing copy only has to end; its lock is then free.
            if (closingDeadline->hasExpired())
                return fail(Start::AnotherUnreachable,
                            tr("Vantiro is still closing after %1 seconds; start it again once it has ended.")
                                .arg(closingWait.count()));
            pause(retryPause);
            continue;
        }
        const Answer answer = askRunningCopy(answerTimeout);
        if (answer == Answer::Answered)
            return Start::AnotherRunning;
        if (answer == Answer::Closing) {
            closingDeadline = QDeadlineTimer(closingWait);
            continue;
        }
        if (answer == Answer::NotListening) {
            if (const std::optional<QString> problem = lockProblem(heldLock()))
                return fail(Start::Failed, *problem);
        }
        if (answer == Answer::Silent || reachDeadline.hasExpired())
            break;
        pause(retryPause);
    }
    if (const std::optional<QString> problem = lockProblem(heldLock()))
        return fail(Start::Failed, *problem);
    return fail(Start::AnotherUnreachable,
                tr("Vantiro is already running but did not answer; not starting a second copy."));
}

SingleInstance::Locking SingleInstance::takeLocks()
{
    bool tookUserLock = false;
    if (m_userLock && !m_userLock->isLocked()) {
        if (!m_userLock->tryLock(0)) {
            m_lockError = m_userLock->fileName();
            return m_userLock->error() == QLockFile::LockFailedError ? Locking::Held : Locking::Failed;
        }
        tookUserLock = true;
    }
    if (m_lock.tryLock(0))
        return Locking::Taken;
    // A copy without the user's lock (its home had no folder for it) holds this one: it runs, and this start lets
    // the user's lock go again while it asks that copy.
    if (tookUserLock)
        m_userLock->unlock();
    m_lockError = m_lock.fileName();
    return m_lock.error() == QLockFile::LockFailedError ? Locking::Held : Locking::Failed;
}

const QLockFile &SingleInstance::heldLock() const
{
    return m_userLock && m_lockError == m_userLock->fileName() ? *m_userLock : m_lock;
}

// The recorded folder is asked only when it is one this user alone can have made.
QString SingleInstance::runningCopyFolder() const
{
    if (&heldLock() == &m_lock)
        return m_folder;
    return recordedListeningFolder(m_userFolder).value_or(m_folder);
}

void SingleInstance::recordListening()
{
    if (!m_userLock || !m_userLock->isLocked())
        return;
    const QString path = listeningRecordPath(m_userFolder);
    const SaveResult saved = saveFile(path, (m_folder + u'\n').toUtf8());
    if (!saved)
        qWarning("Vantiro cannot write %ls (%ls); a start in another environment will not find this copy.",
                 qUtf16Printable(path), qUtf16Printable(saved.error));
}

std::optional<QString> SingleInstance::lockProblem(const QLockFile &lock) const
{
    const QString path = lock.fileName();
    const QString lockFolder = QFileInfo(path).path();
    const QFileInfo info(path);
    if (info.isDir())
        return tr("Vantiro cannot start: its lock file \"%1\" is a folder. Remove it and start Vantiro again.")
            .arg(path);
    if (!info.exists())
        return std::nullopt; // freed meanwhile
#ifdef Q_OS_UNIX
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0 && status.st_uid != ::geteuid())
        return tr("Vantiro cannot start: its lock file \"%1\" belongs to another user (user id %2), probably left by "
                  "a copy run as that user. Remove it and start Vantiro again.")
            .arg(path)
            .arg(status.st_uid);
    qint64 pid = 0;
    QString host;
    if (lock.getLockInfo(&pid, &host, nullptr) && host == QSysInfo::machineHostName() && pid > 0
        && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
        const QString reason = !QFileInfo(lockFolder).isWritable()
            ? tr("the folder \"%1\" is read-only").arg(lockFolder)
            : !info.isWritable() ? tr("the file is read-only")
                                 : tr("it cannot be removed");
        return tr("Vantiro cannot start: its lock file \"%1\" was left by a copy that has ended (process %2), and %3. "
                  "Remove it and start Vantiro again.")
            .arg(path)
            .arg(pid)
            .arg(reason);
    }
#endif
    return std::nullopt;
}

void SingleInstance::setClosing()
{
    m_closing = true;
    answerWaiting();
}

SingleInstance::Start SingleInstance::fail(Start result, const QString &reason)
{
    m_errorString = reason;
    return result;
}

void SingleInstance::listen()
{
    // A copy that crashed leaves its socket file behind; holding the lock makes the name ours.
    const QString path = serverPath(m_folder);
    QString error;
    if (!m_server.listen(path, &error))
        qWarning("Vantiro cannot listen on %ls (%ls); a second start will not find this one.", qUtf16Printable(path),
                 qUtf16Printable(error));
}

// A window asks the running copy to come forward, a background copy asks what runs. Either way the answer says
// which copy runs.
SingleInstance::Answer SingleInstance::askRunningCopy(std::chrono::milliseconds answerTimeout)
{
    const QString request = m_role == Role::Window ? local_requests::activate : local_requests::status;
    const QString folder = runningCopyFolder();
    local_requests::AskFailure failure {};
    const std::optional<local_requests::Message> answer = local_requests::ask(
        serverPath(folder), local_requests::line(request), connectTimeout, answerTimeout, &failure);
    m_answeredFolder = folder;
    if (!answer) {
        // Closed without an answer: that copy is ending, and its lock is about to be free.
        if (failure == local_requests::AskFailure::NotListening
            || failure == local_requests::AskFailure::ClosedUnanswered)
            return Answer::NotListening;
        return Answer::Silent;
    }
    if (answer->word == local_requests::closing)
        return Answer::Closing;
    const QJsonObject &fields = answer->fields;
    if (answer->word == local_requests::activated) {
        m_runningCopy = RunningCopy { Role::Window, 0, {}, {} };
        return Answer::Answered;
    }
    // An error that names no copy (too many requests at once) is no answer about what runs.
    if (answer->word == local_requests::ok || fields.contains(u"copy"_s)) {
        const Role role
            = fields.value(u"copy"_s).toString() == roleName(Role::Background) ? Role::Background : Role::Window;
        m_runningCopy = RunningCopy { role, fields.value(u"pid"_s).toInteger(), fields.value(u"folder"_s).toString(),
                                      fields.value(u"message"_s).toString() };
        return Answer::Answered;
    }
    return Answer::Silent;
}

SingleInstance::HandOver SingleInstance::askHandOver(QString *state)
{
    const QString folder = m_answeredFolder.isEmpty() ? runningCopyFolder() : m_answeredFolder;
    local_requests::AskFailure failure {};
    const std::optional<local_requests::Message> answer = local_requests::ask(
        serverPath(folder),
        local_requests::line(local_requests::handOver, { { u"pid"_s, QCoreApplication::applicationPid() } }),
        connectTimeout, closingWait, &failure);
    if (!answer) {
        if (failure != local_requests::AskFailure::NoAnswer && failure != local_requests::AskFailure::Malformed)
            return HandOver::Ending;
        fail(Start::AnotherUnreachable,
             tr("The background copy did not hand the schedule over within %1 seconds.").arg(closingWait.count()));
        return HandOver::Refused;
    }
    if (answer->word == local_requests::handedOver) {
        if (state)
            *state = answer->fields.value(u"state"_s).toString();
        return HandOver::HandedOver;
    }
    if (answer->word == local_requests::closing)
        return HandOver::Ending;
    fail(Start::AnotherRunning,
         tr("It did not hand the schedule over: %1.").arg(answer->fields.value(u"message"_s).toString()));
    return HandOver::Refused;
}

QJsonObject SingleInstance::statusFields() const
{
    const bool running = m_scheduleRunning && m_scheduleRunning();
    QJsonObject fields {
        { u"copy"_s, roleName(m_role) },
        { u"pid"_s, QCoreApplication::applicationPid() },
        { u"folder"_s, m_applicationFolder },
        { u"version"_s, programVersion() },
        { u"schedule"_s, running ? u"running"_s : u"stopped"_s },
    };
    if (m_nextEvent)
        fields.insert(u"next"_s, m_nextEvent());
    return fields;
}

void SingleInstance::activate(const LocalRequestServer::Reply &reply)
{
    if (m_role == Role::Background && !m_closing) {
        QJsonObject fields = statusFields();
        fields.insert(u"message"_s,
                      tr("Vantiro runs the schedule in the background (process %1), which has no window to show.")
                          .arg(QCoreApplication::applicationPid()));
        reply.answer(local_requests::error, fields);
        return;
    }
    m_waiting.append(reply);
    answerWaiting();
}

void SingleInstance::connectNotify(const QMetaMethod &signal)
{
    // Requests that came while nothing could bring a window forward (the window was still being made) are
    // answered now, from the event loop rather than from inside connect().
    if (signal == QMetaMethod::fromSignal(&SingleInstance::activationRequested))
        QMetaObject::invokeMethod(this, &SingleInstance::answerWaiting, Qt::QueuedConnection);
}

void SingleInstance::answerWaiting()
{
    if (!m_closing && !isSignalConnected(QMetaMethod::fromSignal(&SingleInstance::activationRequested)))
        return;
    // Taken out first: a handler that runs an event loop may bring in further requests meanwhile.
    const QList<LocalRequestServer::Reply> waiting = std::exchange(m_waiting, {});
    for (const LocalRequestServer::Reply &reply : waiting) {
        // A start that gave up waiting has already told the user so.
        if (!reply.isOpen())
            continue;
        // A closing copy brings nothing forward: the asking start waits for it to end instead.
        if (m_closing) {
            reply.answer(local_requests::closing);
            continue;
        }
        // The window is forward before the answer leaves, so the asking start can end knowing the user sees it.
        emit activationRequested();
        reply.answer(local_requests::activated);
    }
}

} // namespace vantiro
