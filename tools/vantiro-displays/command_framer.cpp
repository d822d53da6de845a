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

// Whether the bytes start with a whole command, could still grow into one, or neither.
Match matchCommand(const QByteArray &bytes)
{
    const QString subject = QString::fromLatin1(bytes);
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
    m_unplaced.append(m_pending);
    m_pending.clear();
    takeUnplaced(frames);
    return frames;
}

void CommandFramer::cut(QList<Frame> &frames)
{
    while (!m_pending.isEmpty()) {
        const Match match = matchCommand(m_pending);
        if (match.kind == Match::Kind::Prefix)
            return;
        if (match.kind == Match::Kind::None) {
            // The first byte starts nothing; the bytes after it may still start a command.
            m_unplaced.append(m_pending.front());
            m_pending.remove(0, 1);
            continue;
        }
        takeUnplaced(frames);
        frames.append(Frame { match.framing, m_pending.first(match.length), m_baudRate });
        m_pending.remove(0, match.length);
    }
}

void CommandFramer::takeUnplaced(QList<Frame> &frames)
{
    if (m_unplaced.isEmpty())
        return;
    frames.append(Frame { Framing::Unplaced, m_unplaced, m_baudRate });
    m_unplaced.clear();
}

} // namespace vantiro::displays
