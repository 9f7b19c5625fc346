#include "analysis/CompareRecords.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include <QChar>
#include <QString>

#include "records/Dictionary.h"
#include "records/FieldDesignations.h"
#include "records/TextEncoding.h"

namespace quillon {

namespace {

std::string_view Trim(std::string_view s)
{
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string_view SegmentOf(std::string_view key) { return key.substr(0, 3); }

// The key with every number widened to ten places: the order of two keys of numbers below 100
// is that of their keys, and ZXX-100 comes after ZXX-99 rather than before ZXX-2.
std::string OrderForm(std::string_view key)
{
    std::string out;
    out.reserve(key.size() + 16);
    size_t i = 0;
    while (i < key.size()) {
        const char c = key[i++];
        out += c;
        if (c != '-' && c != '(')
            continue;
        size_t digits = i;
        while (digits < key.size() && key[digits] == ' ')
            ++digits;
        size_t end = digits;
        while (end < key.size() && key[end] >= '0' && key[end] <= '9')
            ++end;
        if (end == digits)
            continue;
        if (end - digits < 10)
            out.append(10 - (end - digits), ' ');
        out.append(key.substr(digits, end - digits));
        i = end;
    }
    return out;
}

struct WorkRow {
    std::string key;
    std::string order;
    std::string value1;
    std::string value2;
};

WorkRow NewRow(std::string key, std::string value1, std::string value2)
{
    std::string order = OrderForm(key);
    return {std::move(key), std::move(order), std::move(value1), std::move(value2)};
}

// The rows of a parsed table up to its first row without a designation.
size_t UsedRows(const FieldTable& table)
{
    size_t n = 0;
    while (n < table.size() && !table[n].designation.empty())
        ++n;
    return n;
}

}  // namespace

std::string GetCompareKey(std::string_view designation)
{
    std::string s(Trim(designation));
    std::string tail;
    if (const size_t p = s.find('('); p != std::string::npos) {
        const size_t repLength = s.size() >= p + 2 ? s.size() - p - 2 : 0;
        const std::string rep = s.substr(p + 1, repLength);
        tail = s.substr(p);
        s.erase(p);
        if (rep.size() == 1)
            tail = "( " + rep + ")";
    }
    std::string prefix;
    size_t end = s.size();
    for (size_t pos = s.size(); pos-- > 0;) {
        if (s[pos] != '-')
            continue;
        std::string piece(Trim(std::string_view(s).substr(pos + 1, end - pos - 1)));
        if (piece.size() < 2)
            piece.insert(0, 2 - piece.size(), ' ');
        prefix.insert(0, "-" + piece);
        end = pos;
    }
    const std::string key = s.substr(0, end) + prefix + " " + tail;
    return std::string(Trim(key));
}

std::vector<CompareRow> CompareTexts(std::string_view text1, std::string_view text2,
                                     const CompareOptions& options)
{
    auto parse = [&](std::string_view text) {
        std::string bytes(text);
        bytes.erase(std::remove(bytes.begin(), bytes.end(), '\n'), bytes.end());
        return ParseRecordToFieldList(bytes, options.delimiters, options.endOfBlock,
                                      options.displayEmptyFields);
    };
    const FieldTable table1 = parse(text1);
    const FieldTable table2 = parse(text2);
    const size_t count1 = UsedRows(table1);
    const size_t count2 = UsedRows(table2);

    std::vector<WorkRow> rows;
    rows.reserve(count1 + count2);
    for (size_t i = 0; i < count1; ++i)
        if (!table1[i].value.empty())
            rows.push_back(NewRow(GetCompareKey(table1[i].designation), table1[i].value, {}));

    std::vector<std::string> keys2(count2);
    for (size_t i = 0; i < count2; ++i)
        keys2[i] = GetCompareKey(table2[i].designation);
    // The row of table 2 just before the last run of each segment's rows; -1 when that run
    // starts the table.
    std::map<std::string, long, std::less<>> precedingRows;
    auto precedingRow = [&](std::string_view segment) {
        if (auto found = precedingRows.find(segment); found != precedingRows.end())
            return found->second;
        long preceding = -1;
        bool met = false;
        for (size_t i = count2; i-- > 0;) {
            const bool same = SegmentOf(keys2[i]) == segment;
            if (same)
                met = true;
            else if (met) {
                preceding = static_cast<long>(i);
                break;
            }
        }
        precedingRows.emplace(std::string(segment), preceding);
        return preceding;
    };

    // With no field in the first text there is nothing to align on: every field of the second
    // text is a row of its own.
    const bool firstEmpty = rows.empty();
    for (size_t i = 0; i < count2; ++i) {
        const std::string& key = keys2[i];
        const std::string& value = table2[i].value;
        if (firstEmpty) {
            rows.push_back(NewRow(key, {}, value));
            continue;
        }
        const std::string order = OrderForm(key);
        const std::string_view segment = SegmentOf(key);
        const bool repetition = key.find('(') != std::string::npos;
        const size_t n = rows.size();
        bool placed = false;
        auto insertAt = [&](size_t at) {
            rows.insert(rows.begin() + static_cast<long>(at), NewRow(key, {}, value));
            placed = true;
        };
        for (size_t k = 0; k < n && !placed; ++k) {
            const WorkRow& row = rows[k];
            const bool sameSegment = SegmentOf(row.key) == segment;
            if (row.key == key) {
                rows[k].value2 = value;
                placed = true;
            } else if (sameSegment && !repetition && order < row.order) {
                insertAt(k);
            } else if (k > 0 && k + 1 < n && SegmentOf(rows[k - 1].key) == segment
                       && !sameSegment) {
                insertAt(k);
            } else if (k + 1 == n && sameSegment) {
                if (order > row.order)
                    insertAt(n);
                break;
            } else if (k + 1 == n) {
                const long preceding = precedingRow(segment);
                if (preceding < 0)
                    break;
                const std::string& precedingKey = keys2[static_cast<size_t>(preceding)];
                for (size_t j = 0; j < n; ++j)
                    if (rows[j].key == precedingKey) {
                        insertAt(j + 1);
                        break;
                    }
            }
        }
        if (placed)
            continue;
        // No rule found a place: after the last row of the segment, or at the end.
        size_t at = rows.size();
        for (size_t j = rows.size(); j-- > 0;)
            if (SegmentOf(rows[j].key) == segment) {
                at = j + 1;
                break;
            }
        insertAt(at);
    }

    std::vector<CompareRow> result;
    result.reserve(rows.size());
    for (WorkRow& row : rows) {
        if (row.value1.empty() && row.value2.empty())
            continue;
        CompareRow out;
        out.name = std::move(row.key);
        out.name.erase(std::remove(out.name.begin(), out.name.end(), ' '), out.name.end());
        out.marked = row.value1 != row.value2;
        out.value1Marked = out.marked && !row.value1.empty();
        out.value2Marked = out.marked && !row.value2.empty();
        out.value1 = std::move(row.value1);
        out.value2 = std::move(row.value2);
        if (options.descriptions) {
            const std::string base = out.name.substr(0, out.name.find('('));
            std::string named = out.name;
            named.resize(15, ' ');
            out.name = named + "[" + options.descriptions->LookupFieldDescription(base, true) + "]";
        }
        result.push_back(std::move(out));
    }
    return result;
}

namespace {

// Characters up to 255 stand for themselves, as Latin-1 (the table's code page); one above 255
// is written as its Unicode value, in UTF-16 units, each followed by "?" for readers without it.
void AppendRtfText(std::string& rtf, std::u32string_view text)
{
    for (const char32_t c : text) {
        if (c == '\\' || c == '{' || c == '}') {
            rtf += '\\';
            rtf += static_cast<char>(c);
        } else if (c > 255) {
            const char16_t units[2] = {QChar::highSurrogate(c), QChar::lowSurrogate(c)};
            const bool pair = QChar::requiresSurrogates(c);
            for (int k = 0; k < (pair ? 2 : 1); ++k) {
                const int unit = pair ? units[k] : static_cast<int>(c);
                rtf += "\\u" + std::to_string(static_cast<int16_t>(unit)) + "?";
            }
        } else if (c < 32 || c > 127) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\'%02x", static_cast<unsigned>(c));
            rtf += hex;
        } else {
            rtf += static_cast<char>(c);
        }
    }
}

std::u32string Padded(std::u32string_view text, size_t width)
{
    std::u32string out(text.substr(0, width));
    out.resize(width, U' ');
    return out;
}

}  // namespace

std::string CompareRowsToRtf(const std::vector<CompareRow>& rows, TextEncoding encoding)
{
    // In UTF-8 the columns count characters, and a character outside ASCII is written as its
    // Unicode value. Texts are kept as UTF-32 so that a character is one element.
    const bool utf8 = encoding == TextEncoding::Utf8;
    struct Texts {
        std::u32string name, value1, value2;
    };
    std::vector<Texts> texts;
    auto wide = [&](const std::string& bytes) {
        if (!utf8) {
            std::u32string latin1(bytes.size(), U' ');
            std::transform(bytes.begin(), bytes.end(), latin1.begin(),
                           [](char c) { return char32_t{static_cast<unsigned char>(c)}; });
            return latin1;
        }
        const QList<uint> ucs4 = DecodeText(bytes, encoding).toUcs4();
        return std::u32string(ucs4.begin(), ucs4.end());
    };
    size_t w1 = 0;
    size_t w2 = 0;
    size_t w3 = 0;
    for (const CompareRow& row : rows) {
        texts.push_back({wide(row.name), wide(row.value1), wide(row.value2)});
        w1 = std::max(w1, texts.back().name.size());
        w2 = std::max(w2, texts.back().value1.size());
        w3 = std::max(w3, texts.back().value2.size());
    }
    // Courier New at 10 points is 120 twips a character.
    constexpr size_t twipsPerChar = 120;
    const size_t right1 = (w1 + 5) * twipsPerChar;
    const size_t right2 = right1 + (w2 + 5) * twipsPerChar;
    const size_t right3 = right2 + (w3 + 5) * twipsPerChar;
    const std::string rowStart = "\\trowd\\trgaph60\\cellx" + std::to_string(right1) + "\\cellx"
                                 + std::to_string(right2) + "\\cellx" + std::to_string(right3)
                                 + "\n";
    std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        const CompareRow& row = rows[i];
        rtf += rowStart;
        rtf += row.marked ? "\\pard\\intbl\\plain\\f0\\fs20\\cf2 " : "\\pard\\intbl\\plain\\f0\\fs20\\cf1 ";
        AppendRtfText(rtf, Padded(texts[i].name, w1 + 5));
        rtf += "\\cell ";
        AppendRtfText(rtf, Padded(texts[i].value1, w2 + 5));
        rtf += "\\cell ";
        AppendRtfText(rtf, texts[i].value2);
        rtf += "\\cell\\row\n";
    }
    rtf += "\\pard\n}\n";
    return rtf;
}

}  // namespace quillon
