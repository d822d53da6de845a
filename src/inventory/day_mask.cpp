#include "inventory/day_mask.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QStringList &dayTags()
{
    static const QStringList tags { u"S"_s, u"M"_s, u"T"_s, u"W"_s, u"Th"_s, u"F"_s, u"Sat"_s };
    return tags;
}

} // namespace

QString dayMaskToText(QStringView mask)
{
    // Blanks around the mask, as around every other field, do not shift the days.
    mask = mask.trimmed();
    QStringList elements;
    for (qsizetype day = 0; day < dayTags().size(); ++day) {
        const bool chosen = day < mask.size() && mask.at(day) == u'1';
        elements.append(chosen ? dayTags().at(day) : u"N"_s);
    }
    return elements.join(u',');
}

QString dayTextToMask(QStringView text)
{
    const QList<QStringView> elements = text.split(u',');
    QString mask;
    for (qsizetype day = 0; day < dayTags().size(); ++day) {
        const bool chosen = day < elements.size() && elements.at(day) != u"N";
        mask.append(chosen ? u'1' : u'0');
    }
    return mask;
}

} // namespace vantiro
