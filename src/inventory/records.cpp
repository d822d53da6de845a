#include "inventory/records.h"

#include "commands/display_models.h"

#include <QStringList>

namespace vantiro {

std::optional<QChar> firstSeparatorIn(QStringView text)
{
    for (const QChar character : text) {
        if (character == groupFieldSeparator || character == portFieldSeparator || character == recordSeparator)
            return character;
    }
    return std::nullopt;
}

QString packPorts(const QList<PortEntry> &ports)
{
    QStringList records;
    records.reserve(ports.size());
    for (const PortEntry &entry : ports)
        records.append(QStringList { entry.port, entry.note, entry.model }.join(portFieldSeparator));
    return records.join(recordSeparator);
}

QList<PortEntry> unpackPorts(const QString &packed)
{
    QList<PortEntry> ports;
    if (packed.isEmpty())
        return ports;
    for (const QString &record : packed.split(recordSeparator)) {
        const QStringList fields = record.split(portFieldSeparator);
        const QString model = fields.size() >= 3 ? fields.at(2).trimmed() : displayModelNames().constFirst();
        ports.append(PortEntry { fields.at(0), model, fields.value(1) });
    }
    return ports;
}

} // namespace vantiro
