#pragma once

#include "command_framer.h"

#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <QStringList>

namespace vantiro::displays {

// What a display has been told so far, field by field ("power" -> "on", "volume" -> "25").
using DisplayState = QMap<QString, QString>;

// One virtual display on one COM port: it takes the bytes that arrive on its line, recognises the
// commands Vantiro sends to the four display models, keeps the state they set and describes each
// command in one line:
//   COM3 9600 LG "ka 01 01" power on -> power=on
//   COM5 115200 OLEVIA BE 05 25 08 F0 power toggle -> power=on
//   COM2 9600 ? raw 01 02 FF
// The fields after the arrow are those the command set, with the values they now hold.
class DisplayDecoder
{
public:
    explicit DisplayDecoder(int comNumber);

    // Bytes as they arrive, with the line speed they arrived at; the lines of every command they complete.
    QStringList receive(QByteArrayView bytes, quint32 baudRate);
    // The line has been quiet for a while: bytes still waiting come out as raw.
    QStringList lineQuiet();
    bool hasPendingBytes() const { return m_framer.hasPending(); }

    const DisplayState &state() const { return m_state; }
    // "COM3": how the display is named in every line about it.
    const QString &portName() const { return m_portName; }

private:
    QStringList describe(const QList<Frame> &frames);
    QString describe(const Frame &frame);

    QString m_portName;
    CommandFramer m_framer;
    DisplayState m_state;
};

} // namespace vantiro::displays
