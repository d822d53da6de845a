#include "command_framer.h"

#include <QRegularExpression>

#include <array>

namespace vantiro::displays {

namespace {

struct Grammar
{
    Framing framing;
    QRegularExpression pattern;
};

// Each family's whole command, end byte included. The bounded repeats keep a stray start byte from
// holding back the bytes after it for long.
const std::array<Grammar, 5> &grammars()
{
    static const std::array<Grammar, 5> all = {
        Grammar { Framing::LgText,
                  QRegularExpression(QStringLiteral(R"(\A[a-z]{2} [0-9A-Fa-f]{2}(?: [0-9A-Fa-f]{1,2}){1,8}\r)")) },
        Grammar { Framing::OleviaText,
                  QRegularExpression(QStringLiteral(R"(\A[a-z]{2} [0-9A-Fa-f](?: [0-9A-Fa-f]{1,2}){1,8}\r)")) },
        Grammar { Framing::OleviaBinary, QRegularExpression(QStringLiteral(R"(\A\x{BE}\x05\x25\x08\x{F0})")) },
        Grammar { Framing::VvuonText, QRegularExpression(QStringLiteral(R"(\A@[A-Z]{3}:[0-9]{0,6}\r)")) },
        Grammar { Framing::D525mlText, QRegularExpression(QStringLiteral(R"(\Adid:all-[0-9A-Za-z]{1,16}\.)")) },
    };
    return all;
}

struct Match
{
    enum class Kind { None, Prefix, Whole } kind = Kind::None;
    Framing framing = Framing::Unplaced;
    qsizetype length = 0;
};

// The first bytes the grammars above allow: most bytes that fit no command are passed at once.
bool mayStartCommand(char byte)
{
    return (byte >= 'a' && byte <= 'z') || byte == '@' || quint8(byte) == 0xBE;
}

// Whether the bytes start with a whole command, could still grow into one, or neither. A window of
// maxCommandBytes tells as much as the whole stream: a longer one cannot be part of one command.
Match matchCommand(QByteArrayView window)
{
    if (window.isEmpty() || !mayStartCommand(window.front()))
        return {};
    const QString subject = QString::fromLatin1(window);
    Match result;
    for (const Grammar &grammar : grammars()) {
        const QRegularExpressionMatch match
            = grammar.pattern.match(subject, 0, QRegularExpression::PartialPreferCompleteMatch);
        if (match.hasMatch())
            return { Match::Kind::Whole, grammar.framing, match.capturedLength() };
        if (match.hasPartialMatch())
            result.kind = Match::Kind::Prefix;
    }
    return result;
}

} // namespace

QList<Frame> CommandFramer::feed(QByteArrayView bytes, quint32 baudRate)
{
    QList<Frame> frames;
    // A new speed means a new send: what is left of the last one will never be completed.
    if (baudRate != m_baudRate)
        frames = flush();
    m_baudRate = baudRate;
    m_pending.append(bytes);
    cut(frames);
    return frames;
}

QList<Frame> CommandFramer::flush()
{
    QList<Frame> frames;
    for (qsizetype at = m_start; at < m_pending.size(); ++at)
        placeNothing(frames, m_pending.at(at));
    m_pending.clear();
    m_start = 0;
    takeUnplaced(frames);
    return frames;
}

void CommandFramer::cut(QList<Frame> &frames)
{
    while (m_start < m_pending.size()) {
        const QByteArrayView rest = QByteArrayView(m_pending).sliced(m_start);
        const Match match = matchCommand(rest.first(qMin(rest.size(), maxCommandBytes)));
        if (match.kind == Match::Kind::Prefix)
            break;
        if (match.kind == Match::Kind::None) {
            // The first byte starts nothing; the bytes after it may still start a command.
            placeNothing(frames, rest.front());
            ++m_start;
            continue;
        }
        takeUnplaced(frames);
        frames.append(Frame { match.framing, rest.first(match.length).toByteArray(), m_baudRate });
        m_start += match.length;
    }
    // Only what may still become a command stays, which is shorter than one.
    m_pending.remove(0, m_start);
    m_start = 0;
}

void CommandFramer::placeNothing(QList<Frame> &frames, char byte)
{
    m_unplaced.append(byte);
    if (m_unplaced.size() >= maxUnplacedBytes)
        takeUnplaced(frames);
}

void CommandFramer::takeUnplaced(QList<Frame> &frames)
{
    if (m_unplaced.isEmpty())
        return;
    frames.append(Frame { Framing::Unplaced, m_unplaced, m_baudRate });
    m_unplaced.clear();
}

} // namespace vantiro::displays
