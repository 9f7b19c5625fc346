#pragma once
// Record length statistics without any window: average, longest and shortest record, and the
// text of the box that reports them.
#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <cstdint>

#include "records/RecordStore.h"

namespace quillon {

struct RecordLengthStats {
    qint64 total = 0;  // 64 bits: a million records of megabytes each still add up
    qint64 average = 0;       // integer part of total / count
    qsizetype longest = 0;
    qsizetype shortest = 999999;  // stays so when every record is longer
    int32_t longestRecord = 0;    // first record of the longest length; 0 when none
};

// Lengths count every byte of a record as stored, segment terminators included.
RecordLengthStats MeasureRecordLengths(const RecordStore& store);

// A number grouped by thousands with the locale's separator, no decimals; 0 gives "".
QString GroupedNumber(qint64 n, const QLocale& locale);

inline constexpr const char* RecordStatisticsTitle = "Record Statistics";
QString RecordStatisticsMessage(const RecordLengthStats& stats, const QLocale& locale);

}  // namespace quillon
