#include "pty_displays.h"

#include <QCoreApplication>

namespace vantiro::test {

PtyDisplays::PtyDisplays(const TempAppFolder &folder, const QList<int> &displayComs, const QList<int> &missingComs,
                         quint32 idleSpeed)
    : m_folder(folder)
{
    for (int com : displayComs) {
        auto &pty = m_displays[com] = std::make_unique<Pty>();
        if (idleSpeed != 0 && !pty->setBaudRate(idleSpeed))
            m_speedsSet = false;
        m_ini += QByteArray::number(com) + '=' + pty->devicePath().toLocal8Bit() + "\r\n";
    }
    for (int com : missingComs)
        m_ini += QByteArray::number(com) + '=' + missingDevice() + "\r\n";
    m_folder.writeFile(QStringLiteral("Ports.ini"), m_ini);
}

bool PtyDisplays::isValid() const
{
    for (const auto &[com, pty] : m_displays) {
        if (!pty->isValid())
            return false;
    }
    return m_speedsSet;
}

void PtyDisplays::addDevice(int com, const QByteArray &device)
{
    m_ini += QByteArray::number(com) + '=' + device + "\r\n";
    m_folder.writeFile(QStringLiteral("Ports.ini"), m_ini);
}

QByteArray PtyDisplays::missingDevice()
{
    return "/dev/vantiro-test-no-device-" + QByteArray::number(QCoreApplication::applicationPid());
}

QList<int> PtyDisplays::range(int first, int last)
{
    QList<int> numbers;
    for (int n = first; n <= last; ++n)
        numbers.append(n);
    return numbers;
}

} // namespace vantiro::test
