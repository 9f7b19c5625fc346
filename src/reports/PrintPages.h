#pragma once
// Printed pages without any printer: every print job of the program is laid out here as pages
// of text lines in a fixed-pitch font, each line with its own place on the page, and the
// printer layer only draws them. Tests read the pages line by line.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// One line (length 0: an empty line) starting `x` inches from the left of the origin; its text
// is `length` bytes at `offset` in its page's text, Latin-1 or (`utf8`) UTF-8.
struct PrintedLine {
    double x = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
    bool utf8 = false;
};

struct PrintedPage {
    // The first line's top, in inches from the top of the origin; unset: the top of the
    // printable area.
    std::optional<double> top;
    std::vector<PrintedLine> lines;
    // The texts of all lines one after the other: a page of a long job costs two allocations,
    // not one per line.
    std::string text;

    std::string_view Text(const PrintedLine& line) const
    {
        return std::string_view(text).substr(line.offset, line.length);
    }
};

struct PrintedPages {
    // Positions are measured from the paper's edges, or from the top-left corner of the
    // printer's printable area.
    bool fromPrintableArea = false;
    std::string fontName = "Courier New";
    double fontSize = 10;
    std::vector<PrintedPage> pages;

    // The texts of one page's lines, in order.
    std::vector<std::string> Texts(size_t page) const;
};

// Puts lines on pages the way a printer takes them: one line under the other, and a new page
// only once a line follows the end of the last one, so a job never ends on an empty page.
class PageWriter {
public:
    explicit PageWriter(PrintedPages& out) : out_(out) {}
    // Where the first line of the pages opened from now on stands.
    void SetTop(std::optional<double> top) { top_ = top; }
    void Print(double x, std::string_view text, bool utf8 = false);
    void EndPage() { open_ = false; }
    bool PageOpen() const { return open_; }
    // Removes the page being written (used to drop a page that holds only empty lines).
    void DiscardPage();
    // True when the page being written holds no text.
    bool PageEmpty() const;

private:
    PrintedPages& out_;
    std::optional<double> top_;
    bool open_ = false;
};

// Where the piece of `text` that begins at byte `at` and holds `characters` characters ends:
// in Latin-1 a character is a byte; in UTF-8 a piece never ends inside a character.
size_t PieceEnd(std::string_view text, size_t at, size_t characters, bool utf8);
// How many characters the text holds.
size_t CharacterCount(std::string_view text, bool utf8);

// The footer the report and list printers put under every page: "Quillon (tm)", FooterPad - 9
// blanks, the date, " @ ", the time, FooterPad + 5 blanks, "Page " and the page number.
std::string ProductPageFooter(int footerPad, const std::string& date, const std::string& time,
                              int page);
// The title of printed pages from the main window's caption: what follows "Quillon - ",
// trimmed, else `unknown`; a leading "FTP Get - " is dropped.
std::string PrintTitle(std::string_view caption, std::string_view unknown);

// The system's short date and time of now, as the footers show them.
std::string FooterDate();
std::string FooterTime();

// ---- The maximum field widths list ----

// Where the lines go on paper, in inches from the paper's edges.
struct PageLayout {
    double leftMargin = 0.75;
    // From the top of the paper; unset: the top of the printable area.
    std::optional<double> firstLine = 0.75;
    int linesPerPage = 60;  // heading and rows, the footer's lines not counted
};

// Print dialog orientations.
inline constexpr int PortraitOrientation = 1;
inline constexpr int LandscapeOrientation = 2;

// Portrait: 0.75 in from the left and the top, 60 lines; landscape: 1 in from the left at the
// top of the printable area, 46 lines. No value for any other orientation.
std::optional<PageLayout> ListPageLayout(int orientation);

// "<title>" + blanks + date + " @ " + time + blanks + "Page <n>": 19 blanks on each side in
// portrait, 34 in landscape.
std::string ListPageFooter(const std::string& title, int orientation, const std::string& date,
                           const std::string& time, int page);

struct ListPrintJob {
    std::vector<std::string> heading;  // lines at the top of every page (counted)
    std::vector<std::string> rows;
    std::vector<bool> selected;  // by row; read only with selectionOnly
    bool selectionOnly = false;
    std::function<std::string(int page)> footer;
};

// Pages of rows under the heading; a full page ends with two blank lines and its footer, the
// last page is filled with blank lines up to the line count before them.
PrintedPages PaginateList(const ListPrintJob& job, const PageLayout& layout);

}  // namespace quillon
