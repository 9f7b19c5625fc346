#include "analysis/RecordLengths.h"

namespace quillon {

RecordLengthStats MeasureRecordLengths(const RecordStore& store)
{
    RecordLengthStats stats;
    const int32_t count = store.RecordCount;
    for (int32_t i = 1; i <= count; ++i) {
        const auto length = static_cast<qsizetype>(store.Record(i).size());
        stats.total += length;
        if (length < stats.shortest)
            stats.shortest = length;
        if (length > stats.longest) {
            stats.longest = length;
            stats.longestRecord = i;
        }
    }
    if (count > 0)
        stats.average = stats.total / count;
    return stats;
}

QString GroupedNumber(qint64 n, const QLocale& locale)
{
    if (n == 0)
        return {};
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(n);
}

QString RecordStatisticsMessage(const RecordLengthStats& stats, const QLocale& locale)
{
    return QStringLiteral("The Average Record Length is: ") + GroupedNumber(stats.average, locale)
           + QStringLiteral("\r\nThe Maximmum Record Length is: ")
           + GroupedNumber(stats.longest, locale)
           + QStringLiteral("\r\nThe Minimum Record Length is: ")
           + GroupedNumber(stats.shortest, locale)
           + QStringLiteral("\r\n\r\nWould you like to see the longest record?");
}

}  // namespace quillon
