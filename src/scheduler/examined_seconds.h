#pragma once

#include <QDateTime>
#include <QList>

#include <optional>
#include <utility>
#include <vector>

namespace vantiro {

// The wall-clock seconds (as the clock shows them, see wallClockSecond) the schedule runner has
// examined, and the last one it examined. The runner fires a row only in a second it has not
// examined yet, so a clock put back does not fire a row twice, and seconds it never saw are still
// examined when the clock reaches them.
//
// Kept small: touching or adjacent spans are merged, and what lies more than a given span behind the
// last examined second is forgotten (the runner takes a jump back further than that as a correction
// and forgets everything). At most maxSpans spans are kept; beyond that the one furthest behind goes.
class ExaminedSeconds
{
public:
    static constexpr qsizetype maxSpans = 256;

    bool isEmpty() const { return m_spans.empty(); }
    bool contains(const QDateTime &second) const;
    // Both ends included.
    void add(const QDateTime &from, const QDateTime &to);
    // The second the examination has reached: the next one examines the seconds after it.
    void setLast(const QDateTime &second);
    // Forgets the seconds more than `secs` behind the last one.
    void forgetBehind(qint64 secs);
    void clear();

    // Nothing before the runner first ran.
    std::optional<QDateTime> last() const;
    // The spans, earliest first, both ends included.
    QList<std::pair<QDateTime, QDateTime>> spans() const;
    // Rebuilt from spans and a last second; nothing when the spans are not in order, overlap, touch,
    // are too many, or the last second is missing although there are spans.
    static std::optional<ExaminedSeconds> fromSpans(const QList<std::pair<QDateTime, QDateTime>> &spans,
                                                    const std::optional<QDateTime> &last);

    friend bool operator==(const ExaminedSeconds &, const ExaminedSeconds &) = default;

private:
    using Span = std::pair<qint64, qint64>; // seconds since the epoch of the wall-clock moments

    std::vector<Span> m_spans; // sorted, disjoint, not adjacent
    std::optional<qint64> m_last;
};

} // namespace vantiro
