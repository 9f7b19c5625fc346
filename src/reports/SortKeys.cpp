#include "reports/SortKeys.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>

namespace quillon {

ColumnKind ColumnKindOfTag(const QString& tag)
{
    const QString upper = tag.toUpper();
    if (upper == QLatin1String("NUMBER"))
        return ColumnKind::Number;
    if (upper == QLatin1String("DATE"))
        return ColumnKind::Date;
    return ColumnKind::Text;
}

QString ComplementDigits(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u == u'-')
            c = QLatin1Char(' ');
        else if (u >= u'0' && u <= u'9')
            c = QChar(char16_t(u'9' - (u - u'0')));
    }
    return out;
}

namespace {

// 30 integer digits with leading zeros, the point and 30 decimals; wider for 10^30 and more.
QString PatternDigits(double magnitude, const QLocale& locale)
{
    char buf[400];  // the largest double has 309 integer digits
    std::snprintf(buf, sizeof buf, "%061.30f", magnitude);
    QString digits = QString::fromLatin1(buf);
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    if (point >= 0)
        digits.replace(point, 1, locale.decimalPoint());
    return digits;
}

bool HasTwoDigitYearOnly(const QString& format)
{
    return format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy"));
}

}  // namespace

QString NumberSortKey(const QString& text, const QLocale& locale)
{
    bool ok = false;
    double v = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return {};
    if (v == 0)
        v = 0;  // "-0" would otherwise print its sign
    if (v >= 0)
        return PatternDigits(v, locale);
    return QLatin1Char('&') + ComplementDigits(PatternDigits(-v, locale));
}

DateKeyReader::DateKeyReader(const QLocale& locale) : locale_(locale)
{
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    QStringList dates{shortDate};
    if (HasTwoDigitYearOnly(shortDate))
        dates << QString(shortDate).replace(QLatin1String("yy"), QLatin1String("yyyy"));
    else if (shortDate.contains(QLatin1String("yyyy")))
        dates << QString(shortDate).replace(QLatin1String("yyyy"), QLatin1String("yy"));
    dates << QStringLiteral("yyyy-MM-dd");

    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    timeFormats_ = {QStringLiteral("H:mm:ss"), QStringLiteral("h:mm:ss AP"), shortTime,
                    QStringLiteral("H:mm")};
    timeFormats_.removeDuplicates();
    for (const QString& d : dates) {
        for (const QString& t : timeFormats_)
            dateTimeFormats_ << d + QLatin1Char(' ') + t;
        dateTimeFormats_ << d;
    }
    dateTimeFormats_ << QStringLiteral("yyyy-MM-ddTHH:mm:ss");

    // The locale's short date, when it is three numbers apart by one separator.
    NumericDate numeric{{0, 0, 0}, 0};
    int fields = 0;
    bool plain = true;
    for (qsizetype i = 0; i < shortDate.size() && plain;) {
        const QChar c = shortDate[i];
        if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
            qsizetype run = 1;
            while (i + run < shortDate.size() && shortDate[i + run] == c)
                ++run;
            plain = fields < 3 && (c == QLatin1Char('y') ? run == 2 || run == 4 : run <= 2);
            if (plain)
                numeric.order[fields++] = static_cast<char>(c.unicode());
            i += run;
        } else if (c.isLetter() || c == QLatin1Char('\'')) {
            plain = false;
        } else {
            if (numeric.separator == 0)
                numeric.separator = c.unicode();
            plain = numeric.separator == c.unicode();
            ++i;
        }
    }
    if (plain && fields == 3 && numeric.separator != 0)
        numericDates_.push_back(numeric);
    numericDates_.push_back(NumericDate{{'y', 'M', 'd'}, u'-'});
}

namespace {

// Reads up to `maxDigits` digits at `i`; -1 when there is none.
int ReadNumber(const QString& s, qsizetype& i, int maxDigits, int* digits = nullptr)
{
    int value = 0;
    int n = 0;
    while (i < s.size() && n < maxDigits && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
        value = value * 10 + (s[i].unicode() - u'0');
        ++i;
        ++n;
    }
    if (digits)
        *digits = n;
    return n == 0 ? -1 : value;
}

// "H:mm", "H:mm:ss", each optionally with AM or PM, from `i` to the end of `s`.
bool ReadTime(const QString& s, qsizetype i, const QLocale& locale, QTime& time)
{
    const int hour = ReadNumber(s, i, 2);
    if (hour < 0 || i >= s.size() || s[i] != QLatin1Char(':'))
        return false;
    ++i;
    int digits = 0;
    const int minute = ReadNumber(s, i, 2, &digits);
    if (digits != 2)
        return false;
    int second = 0;
    if (i < s.size() && s[i] == QLatin1Char(':')) {
        ++i;
        second = ReadNumber(s, i, 2, &digits);
        if (digits != 2)
            return false;
    }
    const QString rest = s.mid(i).trimmed();
    int h = hour;
    if (!rest.isEmpty()) {
        const bool am = rest.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0
                        || rest.compare(locale.amText(), Qt::CaseInsensitive) == 0;
        const bool pm = !am && (rest.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0
                                || rest.compare(locale.pmText(), Qt::CaseInsensitive) == 0);
        if ((!am && !pm) || hour < 1 || hour > 12)
            return false;
        h = hour % 12 + (pm ? 12 : 0);
    }
    time = QTime(h, minute, second);
    return time.isValid();
}

}  // namespace

bool DateKeyReader::FastKey(const QString& s, QString& key) const
{
    QTime time(0, 0);
    for (const NumericDate& form : numericDates_) {
        qsizetype i = 0;
        int part[3] = {0, 0, 0};
        int yearDigits = 0;
        bool read = true;
        for (int f = 0; f < 3 && read; ++f) {
            int digits = 0;
            part[f] = ReadNumber(s, i, form.order[f] == 'y' ? 4 : 2, &digits);
            if (form.order[f] == 'y')
                yearDigits = digits;
            read = part[f] >= 0 && (f == 2 || (i < s.size() && s[i].unicode() == form.separator));
            if (read && f < 2)
                ++i;
        }
        if (!read || (yearDigits != 2 && yearDigits != 4))
            continue;
        int year = 0, month = 0, day = 0;
        for (int f = 0; f < 3; ++f)
            (form.order[f] == 'y' ? year : form.order[f] == 'M' ? month : day) = part[f];
        if (yearDigits == 2)
            year += year < 30 ? 2000 : 1900;
        const QDate date(year, month, day);
        if (!date.isValid())
            return false;
        if (i < s.size()) {
            if (s[i] != QLatin1Char(' ') || !ReadTime(s, i + 1, locale_, time))
                return false;
        }
        key = QString::asprintf("%04d%02d%02d%02d%02d%02d", year, month, day, time.hour(),
                                time.minute(), time.second());
        return true;
    }
    if (ReadTime(s, 0, locale_, time)) {
        key = QString::asprintf("18991230%02d%02d%02d", time.hour(), time.minute(), time.second());
        return true;
    }
    return false;
}

QString DateKeyReader::Key(const QString& text) const
{
    const QString s = text.trimmed();
    if (!std::any_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); }))
        return {};
    QString key;
    if (FastKey(s, key))
        return key;
    QDateTime when;
    for (const QString& format : dateTimeFormats_) {
        when = locale_.toDateTime(s, format);
        if (when.isValid()) {
            if (HasTwoDigitYearOnly(format) && when.date().year() < 1930)
                when = when.addYears(100);
            break;
        }
    }
    if (!when.isValid()) {
        for (const QString& format : timeFormats_) {
            const QTime time = locale_.toTime(s, format);
            if (time.isValid()) {
                when = QDateTime(QDate(1899, 12, 30), time);
                break;
            }
        }
    }
    if (!when.isValid())
        return {};
    return when.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString DateSortKey(const QString& text, const QLocale& locale)
{
    return DateKeyReader(locale).Key(text);
}

std::vector<QString> ColumnSortKeys(ColumnKind kind, const std::vector<QString>& cells,
                                    const QLocale& locale)
{
    std::vector<QString> keys;
    keys.reserve(cells.size());
    switch (kind) {
    case ColumnKind::Text:
        for (const QString& c : cells)
            keys.push_back(c.toCaseFolded());
        break;
    case ColumnKind::Number:
        for (const QString& c : cells)
            keys.push_back(NumberSortKey(c, locale));
        break;
    case ColumnKind::Date: {
        const DateKeyReader reader(locale);
        for (const QString& c : cells)
            keys.push_back(reader.Key(c));
        break;
    }
    }
    return keys;
}

std::vector<QString> PaddedSortKeys(const std::vector<QString>& cells)
{
    qsizetype width = 0;
    for (const QString& c : cells)
        width = std::max(width, c.size());
    std::vector<QString> keys;
    keys.reserve(cells.size());
    for (const QString& c : cells)
        keys.push_back(c.leftJustified(width).toCaseFolded());
    return keys;
}

std::vector<int> SortedRowOrder(const std::vector<SortKeyColumn>& keys, int rowCount)
{
    std::vector<int> order(static_cast<size_t>(std::max(rowCount, 0)));
    std::iota(order.begin(), order.end(), 0);
    static const QString none;
    auto keyOf = [](const SortKeyColumn& column, int row) -> const QString& {
        return static_cast<size_t>(row) < column.keys.size() ? column.keys[static_cast<size_t>(row)]
                                                              : none;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        for (const SortKeyColumn& column : keys) {
            const int c = keyOf(column, a).compare(keyOf(column, b));
            if (c != 0)
                return column.descending ? c > 0 : c < 0;
        }
        return false;
    });
    return order;
}

}  // namespace quillon
