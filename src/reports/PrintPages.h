#pragma once
// Printed pages without any printer: lists are laid out here as pages of text lines in a
// fixed-pitch font, with a heading on every page and a footer under it, and the printer layer
// only draws the lines. Tests read the pages line by line.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Where the lines go on paper, in inches from the paper's edges.
struct PageLayout {
    double leftMargin = 0.75;
    // From the top of the paper; unset: the top of the printable area.
    std::optional<double> firstLine = 0.75;
    int linesPerPage = 60;  // heading and rows, the footer's lines not counted
};

struct PrintedPages {
    PageLayout layout;
    std::vector<std::vector<std::string>> pages;
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
