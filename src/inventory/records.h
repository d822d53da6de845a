#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace vantiro {

// The characters that structure the records of the settings file. A name, port or note holding one
// of them would be split apart on the next load, so the editors refuse such text.
inline constexpr QChar groupFieldSeparator = u'%'; // name % note % packed ports
inline constexpr QChar portFieldSeparator = u'~'; // COM ~ note ~ model
inline constexpr QChar recordSeparator = u'`'; // between port records, and between schedule fields

// The first of the three separators found in the text, if any.
std::optional<QChar> firstSeparatorIn(QStringView text);

// One port of a group, as the port table shows it.
struct PortEntry
{
    QString port;
    QString model;
    QString note;

    friend bool operator==(const PortEntry &, const PortEntry &) = default;
};

// "1~left screen~LG`2~right screen~OLEVIA": each port as COM, note and model joined by "~", the
// ports joined by a grave accent. The texts are taken as they stand; no ports give the empty text.
QString packPorts(const QList<PortEntry> &ports);
// The reverse. A record without a model is an LG display (the first entry of the model list); a
// record with too few fields gives empty texts.
QList<PortEntry> unpackPorts(const QString &packed);

} // namespace vantiro
