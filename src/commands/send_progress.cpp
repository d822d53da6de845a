#include "commands/send_progress.h"

#include "serial/port_text.h"

#include <QStringList>

#include <algorithm>

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

QString stoppedPortsLine(const QStringList &portTexts)
{
    QList<int> numbers;
    QStringList others;
    for (const QString &text : portTexts) {
        if (const std::optional<int> com = comPortNumber(text))
            numbers.append(*com);
        else
            others.append(text.trimmed().isEmpty() ? u"(none)"_s : text.trimmed());
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    QStringList names;
    for (qsizetype first = 0; first < numbers.size();) {
        qsizetype last = first;
        while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1)
            ++last;
        names.append(last == first ? QString::number(numbers[first])
                                   : QString::number(numbers[first]) % u'-' % QString::number(numbers[last]));
        first = last + 1;
    }
    names += others;
    return u"Not sent to COM "_s % names.join(u", "_s) % u": "_s % stoppedByUserText();
}

} // namespace vantiro
