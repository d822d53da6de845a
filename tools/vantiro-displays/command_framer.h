#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace vantiro::displays {

// The command families a display tells apart by their framing alone.
enum class Framing {
    Unplaced, // bytes that fit no family
    LgText, // "ka 01 01" CR: two letters, a two-digit set id, data
    OleviaText, // "ke 0 0" CR: the same with a one-digit set id
    OleviaBinary, // BE 05 25 08 F0, no end byte
    VvuonText, // "@VOL:25" CR
    D525mlText, // "did:all-pn.", ended by the full stop
};

struct Frame
{
    Framing framing = Framing::Unplaced;
    QByteArray bytes; // as received, end byte included
    quint32 baudRate = 0; // the line speed when the bytes arrived
};

// Cuts the byte stream of one display into commands. Commands follow each other with nothing in
// between but their own end byte, and one command may arrive in any number of pieces, so bytes wait
// until they complete a command or can no longer become one. Bytes that fit no command are kept
// together until a command follows them or the line goes quiet, so that a run of them is one frame,
// up to maxUnplacedBytes a frame. Each byte is looked at a bounded number of times, however the bytes
// arrive, and what waits is bounded too.
class CommandFramer
{
public:
    QList<Frame> feed(QByteArrayView bytes, quint32 baudRate);
    // The line has gone quiet: what is left can no longer complete, so it comes out unplaced.
    QList<Frame> flush();
    bool hasPending() const { return m_start < m_pending.size() || !m_unplaced.isEmpty(); }

    // No command is longer; bytes that fit none are framed in runs of at most maxUnplacedBytes.
    static constexpr qsizetype maxCommandBytes = 32;
    static constexpr qsizetype maxUnplacedBytes = 1024;

private:
    void cut(QList<Frame> &frames);
    void placeNothing(QList<Frame> &frames, char byte);
    void takeUnplaced(QList<Frame> &frames);

    QByteArray m_pending; // from m_start on: may still become a command
    qsizetype m_start = 0;
    QByteArray m_unplaced; // fits no command
    quint32 m_baudRate = 0; // of both: a change of speed flushes them
};

} // namespace vantiro::displays
