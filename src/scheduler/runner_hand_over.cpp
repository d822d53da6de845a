#include "scheduler/runner_hand_over.h"

#include "scheduler/schedule_rules.h"

#include <QStringList>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString header = u"vantiro-runner-hand-over 1"_s;
const QString secondFormat = u"yyyy-MM-ddTHH:mm:ss"_s;

QString secondText(const QDateTime &second)
{
    return second.toString(secondFormat);
}

std::optional<QDateTime> readSecond(QStringView text)
{
    const QDateTime wall = wallClockMoment(QDate::fromString(text.left(10).toString(), u"yyyy-MM-dd"_s),
                                           QTime::fromString(text.mid(11).toString(), u"HH:mm:ss"_s));
    // Only the exact form: no blanks, no missing digits.
    if (!wall.isValid() || secondText(wall) != text)
        return std::nullopt;
    return wall;
}

QString nameText(const QString &name)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(name));
}

bool isUnreserved(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.'
        || c == u'_' || c == u'~';
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

std::optional<QString> readName(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isUnreserved(text[i]))
            continue;
        if (text[i] != u'%' || i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
            return std::nullopt;
        i += 2;
    }
    const QString name = QUrl::fromPercentEncoding(text.toLatin1());
    if (name.size() > RunnerHandOver::maxNameChars)
        return std::nullopt;
    return name;
}

std::optional<qint64> readMilliseconds(QStringView text)
{
    const auto isDigit = [](QChar c) {
        return c >= u'0' && c <= u'9';
    };
    if (text.isEmpty() || text.size() > 15 || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    return text.toLongLong();
}

} // namespace

bool RunnerHandOver::canCarry(const QueuedEvent &event)
{
    return event.group.size() <= maxNameChars && event.function.size() <= maxNameChars && event.dueAt.isValid()
        && event.queuedAt.isValid() && event.queuedAt.toMSecsSinceEpoch() >= 0;
}

QString RunnerHandOver::toText() const
{
    QStringList lines { header };
    if (const std::optional<QDateTime> last = examined.last())
        lines.append(u"last "_s + secondText(*last));
    for (const auto &[from, to] : examined.spans())
        lines.append(u"examined "_s + secondText(from) + u' ' + secondText(to));
    qsizetype carried = 0;
    for (const QueuedEvent &event : queued) {
        if (!canCarry(event) || carried == maxQueued)
            continue;
        ++carried;
        lines.append(u"queued "_s + secondText(event.dueAt) + u' ' + QString::number(event.queuedAt.toMSecsSinceEpoch())
                     + u' ' + nameText(event.group) + u' ' + nameText(event.function));
    }
    return lines.join(u'\n') + u'\n';
}

std::optional<RunnerHandOver> RunnerHandOver::fromText(QStringView text)
{
    if (text.size() > maxTextChars || !text.endsWith(u'\n'))
        return std::nullopt;
    QList<QStringView> lines = text.chopped(1).split(u'\n');
    if (lines.isEmpty() || lines.takeFirst() != header)
        return std::nullopt;

    RunnerHandOver handOver;
    std::optional<QDateTime> last;
    QList<std::pair<QDateTime, QDateTime>> spans;
    for (QStringView line : lines) {
        const QList<QStringView> fields = line.split(u' ');
        const QStringView kind = fields.first();
        if (kind == u"last" && fields.size() == 2 && !last) {
            last = readSecond(fields[1]);
            if (!last)
                return std::nullopt;
        } else if (kind == u"examined" && fields.size() == 3 && spans.size() < ExaminedSeconds::maxSpans) {
            const std::optional<QDateTime> from = readSecond(fields[1]);
            const std::optional<QDateTime> to = readSecond(fields[2]);
            if (!from || !to)
                return std::nullopt;
            spans.append({ *from, *to });
        } else if (kind == u"queued" && fields.size() == 5 && handOver.queued.size() < maxQueued) {
            const std::optional<QDateTime> dueAt = readSecond(fields[1]);
            const std::optional<qint64> queuedAt = readMilliseconds(fields[2]);
            const std::optional<QString> group = readName(fields[3]);
            const std::optional<QString> function = readName(fields[4]);
            if (!dueAt || !queuedAt || !group || !function)
                return std::nullopt;
            handOver.queued.append({ *group, *function, *dueAt, QDateTime::fromMSecsSinceEpoch(*queuedAt) });
        } else {
            return std::nullopt;
        }
    }
    std::optional<ExaminedSeconds> examined = ExaminedSeconds::fromSpans(spans, last);
    if (!examined)
        return std::nullopt;
    handOver.examined = std::move(*examined);
    return handOver;
}

} // namespace vantiro
