#include "commands/send_progress.h"

using namespace Qt::StringLiterals;

namespace vantiro {

SendProgress::SendProgress(QObject *parent)
    : QObject(parent)
    , m_showTimer(this)
    , m_stop(std::make_shared<std::atomic_bool>(false))
{
    m_showTimer.setSingleShot(true);
    m_showTimer.setTimerType(Qt::PreciseTimer); // a coarse one may fire early
    m_showTimer.setInterval(showAfterMs);
    connect(&m_showTimer, &QTimer::timeout, this, &SendProgress::show);
}

void SendProgress::begin(int portCount)
{
    m_stop = std::make_shared<std::atomic_bool>(false);
    m_sending = true;
    m_position = 0;
    m_portCount = portCount;
    m_portText.clear();
    m_showTimer.start();
}

void SendProgress::reachPort(int position, const QString &portText)
{
    m_position = position;
    m_portText = portText;
    if (m_shown)
        emit changed();
}

void SendProgress::end()
{
    m_sending = false;
    m_showTimer.stop();
    if (!m_shown)
        return;
    m_shown = false;
    emit changed();
}

void SendProgress::show()
{
    if (!m_sending || m_shown)
        return;
    m_shown = true;
    emit changed();
}

QString SendProgress::text() const
{
    if (!m_shown)
        return {};
    if (m_position == 0)
        return u"Sending..."_s;
    return sendingText(m_portText, m_position, m_portCount);
}

void SendProgress::requestStop()
{
    if (m_sending)
        m_stop->store(true);
}

QString sendingText(const QString &portText, int position, int portCount)
{
    return u"Sending to COM %1 (%2 of %3)..."_s.arg(portText).arg(position).arg(portCount);
}

QString stoppedByUserText()
{
    return u"stopped by the user"_s;
}

} // namespace vantiro
