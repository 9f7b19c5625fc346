#pragma once
// Sort keys for the columns of a list and the stable ordering of its rows, on plain columns of
// texts, free of any window. A header click sorts one column as text, as numbers or as dates
// (the column's tag says which); the report's sort dialog sorts on up to three padded columns.
// Keys are compared as UTF-16 code units after folding letter case, so a blank comes before
// every letter, "&" before the digits, and the empty key before all others.
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

namespace quillon {

enum class ColumnKind { Text, Number, Date };

// "NUMBER" and "DATE" in any letter case; every other tag, empty included, is text.
ColumnKind ColumnKindOfTag(const QString& tag);

// Each "-" becomes a blank, each digit d the digit 9 - d; everything else stays.
QString ComplementDigits(const QString& text);

// A number as 30 integer digits, the locale's decimal separator and 30 decimals; a negative one
// as "&" and the complemented digits of its magnitude, so text order is numeric order for
// magnitudes below 10^30. A text that is no number by the locale's rules gets "".
QString NumberSortKey(const QString& text, const QLocale& locale);

// Reads dates and times the way the locale writes them (short date, optionally a time), and
// ISO dates; two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999. The formats are worked
// out once, so one reader serves a whole column.
class DateKeyReader {
public:
    explicit DateKeyReader(const QLocale& locale);
    // The date and time as the 14 digits yyyyMMddhhmmss (a time alone is on 30 December
    // 1899); "" for a text that is no date or time.
    QString Key(const QString& text) const;

private:
    // A numeric date in the locale's order (and ISO's), optionally followed by a time, read
    // without the general parser, which costs far more per cell.
    struct NumericDate {
        char order[3];  // 'y', 'M', 'd' in the order written
        char16_t separator;
    };
    bool FastKey(const QString& text, QString& key) const;

    QLocale locale_;
    std::vector<NumericDate> numericDates_;
    QStringList dateTimeFormats_;
    QStringList timeFormats_;
};

QString DateSortKey(const QString& text, const QLocale& locale);

// The keys a column's cells sort on: folded text, or the number or date keys above.
std::vector<QString> ColumnSortKeys(ColumnKind kind, const std::vector<QString>& cells,
                                    const QLocale& locale);

// One key of the sort dialog: each cell padded with blanks to the widest cell of the column,
// folded, so a shorter text sorts before a longer one that continues it with a letter.
std::vector<QString> PaddedSortKeys(const std::vector<QString>& cells);

struct SortKeyColumn {
    std::vector<QString> keys;  // one per row
    bool descending = false;
};

// The rows 0 .. rowCount - 1 in sorted order: by the first key, equal ones by the next, and
// rows equal on every key keep their order. Missing keys count as "".
std::vector<int> SortedRowOrder(const std::vector<SortKeyColumn>& keys, int rowCount);

}  // namespace quillon
