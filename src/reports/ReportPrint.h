#pragma once
// Report printing laid out as pages, without any printer: a title, a header line of the column
// captions, one line per printed row with every column padded to a common width, lines wrapped
// at a fixed number of characters, and a footer on every page.
#include <optional>
#include <string>
#include <vector>

#include "reports/PrintPages.h"

namespace quillon {

// The page measures of one job. Characters and lines per page are real numbers: they shrink
// and grow with the font size.
struct ReportPageLayout {
    double charsPerLine = 90;
    double linesPerPage = 60;
    int footerPad = 16;
    double top = 0.75;   // inches from the top of the printable area
    double left = 0.5;   // inches from the left of the printable area
    int fontSize = 10;   // the size the measures were taken from
};

// The font size a report prints in: a size of 0 or less (a damaged setting) prints at 10 points.
int ReportPrintFontSize(int fontSize);
// Portrait (1) or landscape (2) at `fontSize` points; nothing for any other orientation.
std::optional<ReportPageLayout> ReportLayout(int orientation, int fontSize);
// Characters of one printed piece: charsPerLine to the nearest whole number, halves to the even
// neighbour.
int ReportPieceLength(double charsPerLine);

// The number of pages a job of `printedRows` rows takes about (wrapping and headers aside).
int ReportPageEstimate(size_t printedRows, double linesPerPage);
// The question asked before a job of more than ReportWarnPages pages.
inline constexpr int ReportWarnPages = 10;
std::string ReportPageWarning(int estimate);

// The printed title from the main window's caption: what follows "Quillon - " (else
// "Quillon - Unknown File"), without a leading "FTP Get - ".
std::string ReportPrintTitle(const std::string& mainCaption);

struct ReportPrintJob {
    std::vector<std::string> captions;           // in display order
    std::vector<std::vector<std::string>> rows;  // cell texts in display order, rows in order
    std::vector<bool> selected;                  // by row; read only when !printAll
    std::vector<bool> utf8;                      // by row: its cells are UTF-8 (none: Latin-1)
    bool printAll = true;
    std::string fontName = "Courier New";
    bool headerEveryPage = true;
    std::string title;
    std::string date;
    std::string time;
};

// The whole job on pages. Every page, the last one too, holds the same number of lines above
// its two empty lines and footer, and no page follows the one the last line closes.
PrintedPages PaginateReport(const ReportPrintJob& job, const ReportPageLayout& layout);

}  // namespace quillon
