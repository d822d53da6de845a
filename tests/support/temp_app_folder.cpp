#include "temp_app_folder.h"

#include <QFile>
#include <QTest>

namespace vantiro::test {

TempAppFolder::TempAppFolder() = default;

void TempAppFolder::writeFile(const QString &name, const QByteArray &contents) const
{
    QFile file(filePath(name));
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    QCOMPARE(file.write(contents), contents.size());
}

QByteArray TempAppFolder::readFile(const QString &name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace vantiro::test
