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

void MainListPrinter::Line(double x, std::string_view text)
{
    writer_.Print(x, text);
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
                                char endOfData)
{
    std::string& text = record_;
    text.assign(bytes);
    for (char& c : text) {
        if (c == endOfBlock)
            c = kSegmentEndMark;
        else if (c == endOfData)
            c = kEndOfDataMark;
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
        const size_t n = std::min(per, text.size() - at);
        if (at == 0)
            Line(layout_.firstPieceX, column + text.substr(0, n));
        else
            Line(furtherX, std::string_view(text).substr(at, n));
        at += n;
        CountAndClose();
    } while (at < text.size());
    // The blank line between records is counted but never closes a page.
    Line(0, {});
    ++lineCount_;
}

void MainListPrinter::AddSegment(std::string_view text)
{
    const size_t per = static_cast<size_t>(layout_.charsPerLine);
    for (size_t at = 0; at < text.size(); at += per) {
        Line(layout_.segmentX, text.substr(at, per));
        CountAndClose();
    }
    Line(0, {});
    CountAndClose();
}

void MainListPrinter::AddField(std::string_view text, bool descriptions)
{
    const size_t per = static_cast<size_t>(layout_.charsPerLine);
    Line(layout_.fieldX, text.substr(0, per));
    CountAndClose();
    // Continuation lines stand under the list's value column.
    const size_t indent = descriptions ? 55 : 15;
    const size_t rest = per > indent ? per - indent : per;
    for (size_t at = per; at < text.size(); at += rest) {
        Line(layout_.fieldX, std::string(indent, ' ') + std::string(text.substr(at, rest)));
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
