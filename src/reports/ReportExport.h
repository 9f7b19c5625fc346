#pragma once
// Report export: the report's rows as a delimited or fixed-width file, without any window.
// Everything here is bytes: cells are their records' bytes (Latin-1, or UTF-8 for a row of a
// UTF-8 record), headings and descriptions Latin-1, and the output is the file's content
// exactly. Widths count bytes.
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class DescriptionDictionary;

// The report as the export reads it: headings and cells by column index (the list's logical
// columns), rows in the report's current order.
struct ExportTable {
    std::vector<std::string> headings;
    std::vector<std::string> cells;  // row r, column c at r * headings.size() + c
    std::vector<char> selected;      // per row: selected in the report
    std::vector<char> utf8;          // per row: its cells are UTF-8 (none given: all Latin-1)

    size_t ColumnCount() const { return headings.size(); }
    size_t RowCount() const { return headings.empty() ? 0 : cells.size() / headings.size(); }
    std::string_view Cell(size_t row, size_t column) const
    {
        return cells[row * headings.size() + column];
    }
    void AddRow(std::vector<std::string> row, bool isSelected);
};

constexpr int MaxExportWidth = 9999;

// One column of the fixed-width kind.
struct ColumnFormat {
    int width = 0;        // 0 to 9999
    bool left = true;     // "L"; otherwise "R"
    bool zeroFill = false;
    bool operator==(const ColumnFormat&) const = default;
};

enum class ExportKind { Delimited, FixedWidth };
enum class QuoteMode { All, WithSeparator, None };

struct ExportOptions {
    ExportKind kind = ExportKind::Delimited;
    char separator = ',';
    QuoteMode quotes = QuoteMode::WithSeparator;
    bool columnHeader = true;
    bool useDescriptions = true;  // delimited heading line only
    bool selectedOnly = false;
    std::vector<int> order;              // display position -> column index
    std::vector<ColumnFormat> formats;   // fixed width, by display position
};

// The separator a text stands for: one character taken as it is, or one of the escapes
// "^a" "\a" (7), "^b" "\b" (8), "^t" "\t" (9), "^f" "\f" (12), "^n" "\n" (11), "^r" "\r" (13),
// compared exactly. Nothing for any other text, the empty text included.
std::optional<char> ResolveSeparator(std::string_view text);

// The value made exactly `format.width` characters long: padded or cut at its end when left
// justified, at its beginning when right justified, with zeros instead of blanks for zero fill.
// (ExportBytes cuts a UTF-8 cell only between characters and pads the bytes it leaves.)
void AppendFixed(std::string& out, std::string_view value, const ColumnFormat& format);

// The whole file: an optional heading line, then every row (or only the selected ones), each
// line ended by CR LF. `dictionary` gives the delimited heading's descriptions (none: empty).
std::string ExportBytes(const ExportTable& table, const ExportOptions& options,
                        const DescriptionDictionary* dictionary);

// Writes `bytes` as the file `path`: written aside and put in place only when complete, so a
// failure leaves no cut-off export under that name and an older file there stays as it was.
// False with the reason in `error` when it fails.
bool WriteExportFile(const QString& path, const std::string& bytes, QString* error);

// Per column index: the longer of the heading and the longest cell over all rows, at most 9999.
std::vector<int> DefaultWidths(const ExportTable& table);

// A line of the column-format list: width in four places, blank, "L"/"R", blank, "0" or blank,
// blank, heading, " - ", description.
std::string ColumnFormatLine(const ColumnFormat& format, std::string_view heading,
                             std::string_view description);

// What a column-format line gives back: the width is the number in places 1-4, "L" exactly in
// place 6 is left, "0" exactly in place 8 is zero fill, the heading runs from place 10 to the
// first blank.
struct ColumnFormatEntry {
    ColumnFormat format;
    std::string heading;
};
ColumnFormatEntry ReadColumnFormatLine(std::string_view line);

}  // namespace quillon
