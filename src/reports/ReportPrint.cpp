#include "reports/ReportPrint.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// The cells of one line, each padded with blanks (or cut) to its column's width + 2, in
// characters.
std::string FixedWidthLine(const std::vector<std::string>& cells, const std::vector<size_t>& widths,
                           bool utf8)
{
    std::string line;
    for (size_t p = 0; p < widths.size(); ++p) {
        const size_t width = widths[p] + 2;
        const std::string& cell = p < cells.size() ? cells[p] : std::string();
        line.append(cell, 0, PieceEnd(cell, 0, width, utf8));
        line.append(width - std::min(width, CharacterCount(cell, utf8)), ' ');
    }
    return line;
}

}  // namespace

int ReportPrintFontSize(int fontSize)
{
    return fontSize > 0 ? fontSize : 10;
}

std::optional<ReportPageLayout> ReportLayout(int orientation, int fontSize)
{
    const int size = ReportPrintFontSize(fontSize);
    // 90 / (S / 10) written so that a half (112.5 at 8 points) stays exact.
    if (orientation == PortraitOrientation)
        return ReportPageLayout{900.0 / size, 600.0 / size, 16, 0.75, 0.5, size};
    if (orientation == LandscapeOrientation)
        return ReportPageLayout{1200.0 / size, 460.0 / size, 31, 0.5, 0.5, size};
    return std::nullopt;
}

int ReportPieceLength(double charsPerLine)
{
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return std::max(1, static_cast<int>(std::nearbyint(charsPerLine)));
}

int ReportPageEstimate(size_t printedRows, double linesPerPage)
{
    return static_cast<int>(std::floor(static_cast<double>(printedRows) / linesPerPage)) + 1;
}

std::string ReportPageWarning(int estimate)
{
    return "You are about to print about " + std::to_string(estimate) + " pages.\r" +
           "Is it OK to print that many?";
}

std::string ReportPrintTitle(const std::string& mainCaption)
{
    return PrintTitle(mainCaption, "Quillon - Unknown File");
}

PrintedPages PaginateReport(const ReportPrintJob& job, const ReportPageLayout& layout)
{
    PrintedPages out;
    out.fromPrintableArea = true;
    out.fontName = job.fontName;
    out.fontSize = layout.fontSize;
    PageWriter writer(out);
    writer.SetTop(layout.top);
    const double x = layout.left;
    const double perPage = layout.linesPerPage;
    const size_t piece = static_cast<size_t>(ReportPieceLength(layout.charsPerLine));
    auto printed = [&job](size_t r) {
        return job.printAll || (r < job.selected.size() && job.selected[r]);
    };
    auto utf8 = [&job](size_t r) { return r < job.utf8.size() && job.utf8[r]; };

    int lineCount = 0;
    int pageNumber = 1;
    auto line = [&](std::string_view text, bool utf8 = false) {
        writer.Print(x, text, utf8);
        ++lineCount;
    };
    auto closePage = [&] {
        writer.Print(x, {});
        writer.Print(x, {});
        writer.Print(x, ProductPageFooter(layout.footerPad, job.date, job.time, pageNumber));
        writer.EndPage();
        ++pageNumber;
        lineCount = 0;
    };

    line(job.title);
    line({});

    const size_t columns = job.captions.size();
    std::vector<size_t> widths(columns);
    for (size_t p = 0; p < columns; ++p)
        widths[p] = job.captions[p].size();
    for (size_t r = 0; r < job.rows.size(); ++r) {
        if (!printed(r))
            continue;
        const std::vector<std::string>& cells = job.rows[r];
        for (size_t p = 0; p < columns && p < cells.size(); ++p)
            widths[p] = std::max(widths[p], CharacterCount(cells[p], utf8(r)));
    }

    const std::string savedHeaderLine = FixedWidthLine(job.captions, widths, false);
    auto printLine = [&](const std::string& text, bool inUtf8) {
        for (size_t at = 0; at < text.size();) {
            if (lineCount == 0 && job.headerEveryPage) {
                line(savedHeaderLine);
                line({});
            }
            const size_t end = PieceEnd(text, at, piece, inUtf8);
            line(std::string_view(text).substr(at, end - at), inUtf8);
            at = end;
            if (lineCount > perPage)
                closePage();
        }
        // A one-piece header on page 1 is followed by an empty line.
        if (pageNumber == 1 && lineCount == 3)
            line({});
    };
    printLine(savedHeaderLine, false);
    for (size_t r = 0; r < job.rows.size(); ++r)
        if (printed(r))
            printLine(FixedWidthLine(job.rows[r], widths, utf8(r)), utf8(r));

    // The last page is filled to the count at which full pages close, so its footer stands
    // where theirs do.
    if (lineCount > 0) {
        while (lineCount <= perPage)
            line({});
        closePage();
    }
    return out;
}

}  // namespace quillon
