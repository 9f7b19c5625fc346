#pragma once
// Printing of the record, segment and field lists laid out as pages, without any printer.
// The three printers share the title, the page closing and the footer; they differ in what a
// line is, how it wraps and where it stands.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "records/TextEncoding.h"
#include "reports/PrintPages.h"

namespace quillon {

enum class MainList { Records, Segments, Fields };

// Layout of one printer in one orientation; positions in inches from the printable area's
// left edge.
struct MainListLayout {
    int charsPerLine = 80;
    int linesPerPage = 60;
    int footerPad = 16;
    std::optional<double> top;  // first line of every page; unset: the printable area's top
    double titleX = 0;          // the title and the line under it
    double firstPieceX = 0;     // a record's first piece, after its number column
    double furtherPieceX = 0.75;
    double segmentX = 0.75;
    double fieldX = 0;
    double footerX = 0.75;
};

// Orientation 1 portrait, 2 landscape; no value for any other.
std::optional<MainListLayout> MainListPageLayout(MainList list, int orientation);

// The title line from the main window's caption: what follows "Quillon - ", trimmed, else
// "Unknown File"; a leading "FTP Get - " is dropped.
std::string MainListTitle(std::string_view caption);

// The legend under the record printer's title.
std::string RecordLegend();

// The number column of a record's first piece: "#", the sign blank and the digits, 9 characters
// wide; wider for numbers of more than 7 digits so that none is cut.
std::string RecordNumberColumn(int64_t number);

// Builds the pages of one job in one pass: the heading at construction, the items one by one,
// the last page's fill and footer at Finish.
class MainListPrinter {
public:
    MainListPrinter(MainList list, const MainListLayout& layout, std::string_view caption,
                    std::string date, std::string time);
    MainListPrinter(const MainListPrinter&) = delete;
    MainListPrinter& operator=(const MainListPrinter&) = delete;

    // A record as stored, in `encoding`; its segment ends print as a pilcrow, its end-of-data
    // bytes as a section sign. A UTF-8 text wraps between characters, counting characters.
    void AddRecord(int64_t number, std::string_view bytes, char endOfBlock, char endOfData,
                   TextEncoding encoding = TextEncoding::Latin1);
    void AddSegment(std::string_view text, TextEncoding encoding = TextEncoding::Latin1);
    // A field line as the list shows it; `descriptions`: the list shows the description column.
    void AddField(std::string_view text, bool descriptions,
                  TextEncoding encoding = TextEncoding::Latin1);

    PrintedPages Finish();

private:
    void Line(double x, std::string_view text, bool utf8 = false);
    // Counts a printed line and closes the page once it is full.
    void CountAndClose();
    void ClosePage();

    MainList list_;
    MainListLayout layout_;
    std::string date_, time_;
    PrintedPages pages_;
    PageWriter writer_;
    std::string record_;  // the record being printed, its marks replaced
    int lineCount_ = 0;
    int pageNumber_ = 1;
};

}  // namespace quillon
