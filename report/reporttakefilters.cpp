#include "report/reporttakefilters.h"

namespace TakeFilters {

const char* const kLetters = "tpwanrg";

QStringList Split(const QString& filters)
{
    return filters.split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString FromChecked(const QString& checkedLetters)
{
    QString filter;
    const QString letters = QString::fromLatin1(kLetters);
    for (const QChar c : letters)
        if (checkedLetters.contains(c))
            filter.append(c);
    return filter.size() == letters.size() ? QString() : filter;
}

QString Finish(QStringList filters, int count)
{
    count = qMax(1, count);
    while (filters.size() < count)
        filters.append(QString());
    while (filters.size() > count)
        filters.removeLast();
    filters.removeDuplicates();
    return filters.join(QLatin1Char(';'));
}

QString UserText(const QString& filter)
{
    if (filter.isEmpty())
        return QStringLiteral("All takes");
    if (filter.size() == 1)
        return QStringLiteral("'%1' only").arg(filter);
    QStringList letters;
    for (const QChar c : filter)
        letters.append(QString(c));
    return letters.join(QLatin1Char(','));
}

QString RunDisplayText(const QString& filters)
{
    QStringList parts = Split(filters);
    for (QString& part : parts)
        if (part.isEmpty())
            part = QStringLiteral("All");
    const QString text = parts.join(QLatin1Char(','));
    return text == QLatin1String("All") ? QStringLiteral("All takes") : text;
}

}  // namespace TakeFilters
