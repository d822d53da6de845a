#include "scheduler/examined_seconds.h"

#include <algorithm>

namespace vantiro {

namespace {

qint64 secondOf(const QDateTime &moment)
{
    return moment.toSecsSinceEpoch();
}

QDateTime momentOf(qint64 second)
{
    return QDateTime::fromSecsSinceEpoch(second, Qt::UTC);
}

} // namespace

bool ExaminedSeconds::contains(const QDateTime &second) const
{
    const qint64 at = secondOf(second);
    // The first span ending at or after the second is the only one that can hold it.
    const auto holder = std::lower_bound(m_spans.begin(), m_spans.end(), at,
                                         [](const Span &span, qint64 value) { return span.second < value; });
    return holder != m_spans.end() && holder->first <= at;
}

void ExaminedSeconds::add(const QDateTime &from, const QDateTime &to)
{
    const qint64 first = secondOf(from);
    const qint64 last = secondOf(to);
    if (last < first)
        return;
    Span merged { first, last };
    std::vector<Span> spans;
    spans.reserve(m_spans.size() + 1);
    for (const Span &span : m_spans) {
        if (span.second + 1 < merged.first || span.first > merged.second + 1) {
            spans.push_back(span);
            continue;
        }
        merged = { std::min(merged.first, span.first), std::max(merged.second, span.second) };
    }
    spans.insert(std::lower_bound(spans.begin(), spans.end(), merged), merged);
    m_spans = std::move(spans);
    while (qsizetype(m_spans.size()) > maxSpans) {
        // The span furthest from the last second matters least: it is the last to be reached again.
        const qint64 reached = m_last.value_or(last);
        const auto distance = [reached](const Span &span) {
            return span.second < reached ? reached - span.second : span.first - reached;
        };
        m_spans.erase(std::max_element(m_spans.begin(), m_spans.end(),
                                       [&](const Span &a, const Span &b) { return distance(a) < distance(b); }));
    }
}

void ExaminedSeconds::setLast(const QDateTime &second)
{
    m_last = secondOf(second);
}

void ExaminedSeconds::forgetBehind(qint64 secs)
{
    if (!m_last)
        return;
    const qint64 limit = *m_last - secs;
    std::erase_if(m_spans, [limit](const Span &span) { return span.second < limit; });
    if (!m_spans.empty() && m_spans.front().first < limit)
        m_spans.front().first = limit;
}

void ExaminedSeconds::clear()
{
    m_spans.clear();
    m_last.reset();
}

std::optional<QDateTime> ExaminedSeconds::last() const
{
    if (!m_last)
        return std::nullopt;
    return momentOf(*m_last);
}

QList<std::pair<QDateTime, QDateTime>> ExaminedSeconds::spans() const
{
    QList<std::pair<QDateTime, QDateTime>> spans;
    for (const Span &span : m_spans)
        spans.append({ momentOf(span.first), momentOf(span.second) });
    return spans;
}

std::optional<ExaminedSeconds> ExaminedSeconds::fromSpans(const QList<std::pair<QDateTime, QDateTime>> &spans,
                                                          const std::optional<QDateTime> &last)
{
    if (spans.size() > maxSpans || (!spans.isEmpty() && !last))
        return std::nullopt;
    ExaminedSeconds examined;
    for (const auto &[from, to] : spans) {
        const Span span { secondOf(from), secondOf(to) };
        if (span.second < span.first || (!examined.m_spans.empty() && span.first <= examined.m_spans.back().second + 1))
            return std::nullopt;
        examined.m_spans.push_back(span);
    }
    if (last)
        examined.m_last = secondOf(*last);
    return examined;
}

} // namespace vantiro
