#include "port_map.h"

#include "common/ini_file.h"
#include "serial/network_address.h"
#include "serial/port_text.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace vantiro {

namespace {

// What tells one version of the file from the next without reading it.
struct FileStamp
{
    bool exists = false;
    QDateTime modified;
    qint64 size = -1;

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// The devices of a regular file; nothing for a file that is missing or not a regular file.
QHash<int, QString> readDevices(const QString &filePath)
{
    QHash<int, QString> devices;
    QString error;
    const std::optional<IniFile> ini = IniFile::read(filePath, error);
    if (!ini)
        return devices;
    for (const QString &key : ini->keys(PortMap::sectionName())) {
        const auto comNumber = comPortNumber(key);
        const QString device = ini->value(PortMap::sectionName(), key, QString());
        if (comNumber && !device.isEmpty() && !devices.contains(*comNumber))
            devices.insert(*comNumber, device);
    }
    return devices;
}

} // namespace

struct PortMap::Shared
{
    QString filePath;
    std::mutex mutex;
    std::condition_variable readDone;
    QHash<int, QString> devices;
    std::optional<FileStamp> stamp; // of the file the devices were read from
    bool reading = false;
    quint64 readsDone = 0;

    // On the reader thread.
    void read()
    {
        const QFileInfo info(filePath);
        const FileStamp current { info.exists(), info.exists() ? info.lastModified() : QDateTime(),
                                  info.exists() ? info.size() : -1 };
        std::optional<QHash<int, QString>> read;
        if (current != stamp)
            read = readDevices(filePath);
        const std::lock_guard lock(mutex);
        if (read) {
            devices = *read;
            stamp = current;
        }
        reading = false;
        ++readsDone;
        readDone.notify_all();
    }
};

PortMap::PortMap(QString applicationFolder)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->filePath = QDir(applicationFolder).filePath(fileName());
}

QString PortMap::defaultDevicePath(int comNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comNumber - 1);
#endif
}

QString PortMap::devicePath(int comNumber) const
{
    refresh();
    return lastReadDevicePath(comNumber);
}

QString PortMap::lastReadDevicePath(int comNumber) const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->devices.value(comNumber, defaultDevicePath(comNumber));
}

bool PortMap::lastReadHasEntry(int comNumber) const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->devices.contains(comNumber);
}

void PortMap::refresh() const
{
    std::unique_lock lock(m_shared->mutex);
    // A read that has not come back (a stalled disk) is not joined by another: the caller goes on
    // with the devices read last.
    if (m_shared->reading)
        return;
    m_shared->reading = true;
    const quint64 wanted = m_shared->readsDone + 1;
    // Detached, as a read that never returns must not hold up the end of the program either; the
    // thread keeps the shared state alive for as long as it needs it.
    std::thread([shared = m_shared] { shared->read(); }).detach();
    m_shared->readDone.wait_for(lock, std::chrono::milliseconds(readWaitMs),
                                [&] { return m_shared->readsDone >= wanted; });
}

std::optional<SendOutcome::Status> deviceProblem(const QString &devicePath)
{
    // A serial device server is only known to be there when a send reaches it.
    if (isNetworkAddress(devicePath)) {
        if (parseNetworkAddress(devicePath))
            return std::nullopt;
        return SendOutcome::Status::Unreachable;
    }
#ifdef Q_OS_UNIX
    struct stat info = {};
    if (::stat(QFile::encodeName(devicePath).constData(), &info) != 0)
        return SendOutcome::Status::NoSuchDevice;
    if (!S_ISCHR(info.st_mode))
        return SendOutcome::Status::NotSerialDevice;
#else
    if (!QFileInfo::exists(devicePath))
        return SendOutcome::Status::NoSuchDevice;
#endif
    return std::nullopt;
}

} // namespace vantiro
