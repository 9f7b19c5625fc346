#include "reports/ReportExport.h"

#include <algorithm>
#include <cstring>

#include "platform/FileIO.h"
#include "records/Dictionary.h"

namespace quillon {

void ExportTable::AddRow(std::vector<std::string> row, bool isSelected)
{
    row.resize(headings.size());
    for (std::string& cell : row)
        cells.push_back(std::move(cell));
    selected.push_back(isSelected ? 1 : 0);
}

std::optional<char> ResolveSeparator(std::string_view text)
{
    if (text.size() == 1)
        return text[0];
    if (text.size() != 2 || (text[0] != '^' && text[0] != '\\'))
        return std::nullopt;
    switch (text[1]) {
    case 'a': return '\a';
    case 'b': return '\b';
    case 't': return '\t';
    case 'f': return '\f';
    case 'n': return '\v';  // the vertical tab: a line feed would split the rows
    case 'r': return '\r';
    default: return std::nullopt;
    }
}

void AppendFixed(std::string& out, std::string_view value, const ColumnFormat& format)
{
    const size_t w = static_cast<size_t>(std::clamp(format.width, 0, MaxExportWidth));
    const size_t n = std::min(value.size(), w);
    if (format.left) {
        out.append(value.substr(0, n));
        out.append(w - n, ' ');
    } else {
        out.append(w - n, format.zeroFill ? '0' : ' ');
        out.append(value.substr(value.size() - n));
    }
}

namespace {

void AppendQuoted(std::string& out, std::string_view text, std::string_view tested, char separator,
                  QuoteMode quotes)
{
    const bool quote = quotes == QuoteMode::All ||
                       (quotes == QuoteMode::WithSeparator &&
                        std::memchr(tested.data(), separator, tested.size()) != nullptr);
    if (quote)
        out += '"';
    out.append(text);
    if (quote)
        out += '"';
}

}  // namespace

std::string ExportBytes(const ExportTable& table, const ExportOptions& options,
                        const DescriptionDictionary* dictionary)
{
    const size_t positions = options.order.size();
    const bool fixed = options.kind == ExportKind::FixedWidth;
    const size_t rows = table.RowCount();
    std::string out;
    // One pass to size the output keeps the appends from copying it over and over.
    size_t lineBytes = 2;
    for (size_t i = 0; i < positions; ++i)
        lineBytes += fixed ? static_cast<size_t>(std::clamp(options.formats[i].width, 0, MaxExportWidth))
                           : 3;
    size_t cellBytes = 0;
    if (!fixed)
        for (size_t r = 0; r < rows; ++r)
            for (size_t i = 0; i < positions; ++i)
                cellBytes += table.Cell(r, static_cast<size_t>(options.order[i])).size();
    out.reserve(lineBytes * (rows + 1) + cellBytes);

    if (options.columnHeader) {
        for (size_t i = 0; i < positions; ++i) {
            const std::string& heading = table.headings[static_cast<size_t>(options.order[i])];
            if (fixed) {
                AppendFixed(out, heading, ColumnFormat{options.formats[i].width, true, false});
                continue;
            }
            if (i > 0)
                out += options.separator;
            const std::string description =
                options.useDescriptions && dictionary != nullptr
                    ? dictionary->LookupFieldDescription(heading, true)
                    : std::string();
            AppendQuoted(out, options.useDescriptions ? std::string_view(description) : heading,
                         heading, options.separator, options.quotes);
        }
        out += "\r\n";
    }
    // The rows go straight into room made for them: a call to append per small cell would cost
    // more than the copying itself.
    const size_t start = out.size();
    out.resize(start + lineBytes * rows + cellBytes);
    char* p = out.data() + start;
    for (size_t r = 0; r < rows; ++r) {
        if (options.selectedOnly && table.selected[r] == 0)
            continue;
        for (size_t i = 0; i < positions; ++i) {
            const std::string_view cell = table.Cell(r, static_cast<size_t>(options.order[i]));
            if (fixed) {
                const ColumnFormat& f = options.formats[i];
                const size_t w = static_cast<size_t>(std::clamp(f.width, 0, MaxExportWidth));
                size_t n = std::min(cell.size(), w);
                if (n < cell.size() && r < table.utf8.size() && table.utf8[r] != 0) {
                    // A UTF-8 cell is cut between characters; blanks fill what is left.
                    auto inside = [&cell](size_t at) {
                        return (static_cast<unsigned char>(cell[at]) & 0xC0) == 0x80;
                    };
                    if (f.left)
                        while (n > 0 && inside(n))
                            --n;
                    else
                        while (n > 0 && inside(cell.size() - n))
                            --n;
                }
                if (f.left) {
                    std::memcpy(p, cell.data(), n);
                    std::memset(p + n, ' ', w - n);
                } else {
                    std::memset(p, f.zeroFill ? '0' : ' ', w - n);
                    std::memcpy(p + (w - n), cell.data() + (cell.size() - n), n);
                }
                p += w;
                continue;
            }
            if (i > 0)
                *p++ = options.separator;
            const bool quote = options.quotes == QuoteMode::All ||
                               (options.quotes == QuoteMode::WithSeparator &&
                                std::memchr(cell.data(), options.separator, cell.size()) != nullptr);
            if (quote)
                *p++ = '"';
            std::memcpy(p, cell.data(), cell.size());
            p += cell.size();
            if (quote)
                *p++ = '"';
        }
        *p++ = '\r';
        *p++ = '\n';
    }
    out.resize(static_cast<size_t>(p - out.data()));
    return out;
}

bool WriteExportFile(const QString& path, const std::string& bytes, QString* error)
{
    return platform::WriteFileWhole(path, bytes, error);
}

std::vector<int> DefaultWidths(const ExportTable& table)
{
    const size_t columns = table.ColumnCount();
    std::vector<size_t> longest(columns);
    for (size_t c = 0; c < columns; ++c)
        longest[c] = table.headings[c].size();
    for (size_t i = 0; i < table.cells.size(); ++i)
        longest[i % columns] = std::max(longest[i % columns], table.cells[i].size());
    std::vector<int> widths(columns);
    for (size_t c = 0; c < columns; ++c)
        widths[c] = static_cast<int>(std::min(longest[c], static_cast<size_t>(MaxExportWidth)));
    return widths;
}

std::string ColumnFormatLine(const ColumnFormat& format, std::string_view heading,
                             std::string_view description)
{
    std::string width = std::to_string(std::clamp(format.width, 0, MaxExportWidth));
    std::string line(4 - width.size(), ' ');
    line += width;
    line += format.left ? " L " : " R ";
    line += format.zeroFill ? "0 " : "  ";
    line.append(heading);
    line += " - ";
    line.append(description);
    return line;
}

ColumnFormatEntry ReadColumnFormatLine(std::string_view line)
{
    ColumnFormatEntry entry;
    const std::string_view number = line.substr(0, 4);
    size_t i = 0;
    while (i < number.size() && number[i] == ' ')
        ++i;
    const bool negative = i < number.size() && number[i] == '-';
    if (negative || (i < number.size() && number[i] == '+'))
        ++i;
    int width = 0;
    for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i)
        width = width * 10 + (number[i] - '0');
    entry.format.width = negative ? 0 : width;
    entry.format.left = line.size() > 5 && line[5] == 'L';
    entry.format.zeroFill = line.size() > 7 && line[7] == '0';
    if (line.size() > 9) {
        const std::string_view rest = line.substr(9);
        entry.heading = std::string(rest.substr(0, rest.find(' ')));
    }
    return entry;
}

}  // namespace quillon
