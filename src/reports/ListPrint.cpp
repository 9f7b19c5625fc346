#include "reports/ListPrint.h"

#include <algorithm>

namespace quillon {
namespace {

constexpr char kSegmentEndMark = '\xB6';  // pilcrow in Latin-1 / Windows-1252
constexpr char kEndOfDataMark = '\xA7';   // section sign
// Further pieces of a record stand under its text when the number column is 9 characters wide;
// a character of the 10-point fixed-pitch font is 1/12 in wide.
constexpr size_t kNumberColumn = 9;
constexpr double kCharWidth = 1.0 / 12;


}  // namespace

std::optional<MainListLayout> MainListPageLayout(MainList list, int orientation)
{
    MainListLayout l;
    const bool fields = list == MainList::Fields;
    if (orientation == PortraitOrientation) {
        l.charsPerLine = fields ? 90 : 80;
        l.linesPerPage = 60;
        l.footerPad = 16;
        l.top = 0.75;
        l.titleX = 0;
        l.firstPieceX = 0;
        l.furtherPieceX = 0.75;
        l.segmentX = 0.75;
        l.fieldX = 0;
        l.footerX = 0.75;
        return l;
    }
    if (orientation == LandscapeOrientation) {
        l.charsPerLine = fields ? 117 : 110;
        l.linesPerPage = 46;
        l.footerPad = 31;
        l.top = std::nullopt;
        l.titleX = 0.25;
        l.firstPieceX = 0.25;
        l.furtherPieceX = 1.0;
        l.segmentX = 1.0;
        l.fieldX = 0.5;
        l.footerX = 1.0;
        return l;
    }
    return std::nullopt;
}

std::string MainListTitle(std::string_view caption)
{
    return PrintTitle(caption, "Unknown File");
}

std::string RecordLegend()
{
    return std::string("Keys: ") + kSegmentEndMark + "=end-of-segment delimiter";
}

std::string RecordNumberColumn(int64_t number)
{
    std::string column = "# " + std::to_string(number);
    if (column.size() < kNumberColumn)
        column.append(kNumberColumn - column.size(), ' ');
    return column;
}

MainListPrinter::MainListPrinter(MainList list, const MainListLayout& layout,
                                 std::string_view caption, std::string date, std::string time)
    : list_(list), layout_(layout), date_(std::move(date)), time_(std::move(time)),
      writer_(pages_)
{
    pages_.fromPrintableArea = true;
    pages_.fontName = "Courier New";
    pages_.fontSize = 10;
    writer_.SetTop(layout_.top);
    Line(layout_.titleX, MainListTitle(caption));
    lineCount_ = 1;
    if (list_ == MainList::Records) {
        Line(layout_.titleX, RecordLegend());
        lineCount_ = 2;
    }
    Line(0, {});
    ++lineCount_;
}

void MainListPrinter::Line(double x, std::string_view text, bool utf8)
{
    writer_.Print(x, text, utf8);
}

void MainListPrinter::ClosePage()
{
    Line(0, {});
    Line(0, {});
    Line(layout_.footerX, ProductPageFooter(layout_.footerPad, date_, time_, pageNumber_));
    writer_.EndPage();
    ++pageNumber_;
    lineCount_ = 0;
}

void MainListPrinter::CountAndClose()
{
    if (++lineCount_ >= layout_.linesPerPage)
        ClosePage();
}

void MainListPrinter::AddRecord(int64_t number, std::string_view bytes, char endOfBlock,
                                char endOfData, TextEncoding encoding)
{
    const bool utf8 = encoding == TextEncoding::Utf8;
    std::string& text = record_;
    if (!utf8) {
        text.assign(bytes);
        for (char& c : text) {
            if (c == endOfBlock)
                c = kSegmentEndMark;
            else if (c == endOfData)
                c = kEndOfDataMark;
        }
    } else {
        // The marks in their UTF-8 forms.
        text.clear();
        text.reserve(bytes.size() + bytes.size() / 16);
        for (const char c : bytes) {
            if (c == endOfBlock)
                text += "\xC2\xB6";
            else if (c == endOfData)
                text += "\xC2\xA7";
            else
                text += c;
        }
    }
    const std::string column = RecordNumberColumn(number);
    const double furtherX =
        layout_.furtherPieceX + static_cast<double>(column.size() - kNumberColumn) * kCharWidth;
    const size_t per = static_cast<size_t>(layout_.charsPerLine);
    // An empty record still shows its number.
    size_t at = 0;
    do {
        // A page whose last record's blank line filled it is closed before the next record,
        // so that every footer stands at the same height.
        if (lineCount_ >= layout_.linesPerPage)
            ClosePage();
        const size_t end = PieceEnd(text, at, per, utf8);
        const std::string_view piece = std::string_view(text).substr(at, end - at);
        if (at == 0)
            Line(layout_.firstPieceX, column + std::string(piece), utf8);
        else
            Line(furtherX, piece, utf8);
        at = end;
        CountAndClose();
    } while (at < text.size());
    // The blank line between records is counted but never closes a page.
    Line(0, {});
    ++lineCount_;
}

void MainListPrinter::AddSegment(std::string_view text, TextEncoding encoding)
{
    const bool utf8 = encoding == TextEncoding::Utf8;
    const size_t per = static_cast<size_t>(layout_.charsPerLine);
    for (size_t at = 0; at < text.size();) {
        const size_t end = PieceEnd(text, at, per, utf8);
        Line(layout_.segmentX, text.substr(at, end - at), utf8);
        at = end;
        CountAndClose();
    }
    Line(0, {});
    CountAndClose();
}

void MainListPrinter::AddField(std::string_view text, bool descriptions, TextEncoding encoding)
{
    const bool utf8 = encoding == TextEncoding::Utf8;
    const size_t per = static_cast<size_t>(layout_.charsPerLine);
    size_t at = PieceEnd(text, 0, per, utf8);
    Line(layout_.fieldX, text.substr(0, at), utf8);
    CountAndClose();
    // Continuation lines stand under the list's value column.
    const size_t indent = descriptions ? 55 : 15;
    const size_t rest = per > indent ? per - indent : per;
    while (at < text.size()) {
        const size_t end = PieceEnd(text, at, rest, utf8);
        Line(layout_.fieldX, std::string(indent, ' ') + std::string(text.substr(at, end - at)), utf8);
        at = end;
        CountAndClose();
    }
}

PrintedPages MainListPrinter::Finish()
{
    // A job whose last line filled its page ends with that page, not with one of empty lines.
    if (pageNumber_ > 1 && writer_.PageEmpty()) {
        writer_.DiscardPage();
        return std::move(pages_);
    }
    if (list_ != MainList::Records) {
        Line(0, {});
        ++lineCount_;
    }
    for (int count = lineCount_ + 1; count <= layout_.linesPerPage; ++count)
        Line(0, {});
    ClosePage();
    return std::move(pages_);
}

}  // namespace quillon
