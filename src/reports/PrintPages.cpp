#include "reports/PrintPages.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

#include "records/FieldLines.h"
#include "records/TextEncoding.h"

namespace quillon {

std::vector<std::string> PrintedPages::Texts(size_t page) const
{
    std::vector<std::string> texts;
    if (page < pages.size())
        for (const PrintedLine& line : pages[page].lines)
            texts.emplace_back(pages[page].Text(line));
    return texts;
}

void PageWriter::Print(double x, std::string_view text, bool utf8)
{
    if (!open_) {
        out_.pages.push_back(PrintedPage{top_, {}, {}});
        open_ = true;
    }
    PrintedPage& page = out_.pages.back();
    page.lines.push_back(PrintedLine{x, static_cast<uint32_t>(page.text.size()),
                                     static_cast<uint32_t>(text.size()), utf8 && !text.empty()});
    page.text.append(text);
}

size_t PieceEnd(std::string_view text, size_t at, size_t characters, bool utf8)
{
    if (!utf8)
        return std::min(text.size(), at + characters);
    for (; characters > 0 && at < text.size(); --characters)
        at += static_cast<size_t>(std::max(1, Utf8CharLength(text, at)));
    return at;
}

size_t CharacterCount(std::string_view text, bool utf8)
{
    if (!utf8)
        return text.size();
    size_t count = 0;
    for (size_t at = 0; at < text.size(); ++count)
        at += static_cast<size_t>(std::max(1, Utf8CharLength(text, at)));
    return count;
}

void PageWriter::DiscardPage()
{
    if (open_) {
        out_.pages.pop_back();
        open_ = false;
    }
}

bool PageWriter::PageEmpty() const
{
    if (!open_)
        return true;
    for (const PrintedLine& line : out_.pages.back().lines)
        if (line.length != 0)
            return false;
    return true;
}

std::string ProductPageFooter(int footerPad, const std::string& date, const std::string& time,
                              int page)
{
    return "Quillon (tm)" + std::string(static_cast<size_t>(std::max(0, footerPad - 9)), ' ') +
           date + " @ " + time + std::string(static_cast<size_t>(std::max(0, footerPad + 5)), ' ') +
           "Page " + std::to_string(page);
}

std::string PrintTitle(std::string_view caption, std::string_view unknown)
{
    constexpr std::string_view product = "Quillon - ";
    constexpr std::string_view ftp = "FTP Get - ";
    std::string_view title = caption.starts_with(product) ? TrimBlanks(caption.substr(product.size()))
                                                          : unknown;
    if (title.starts_with(ftp))
        title = TrimBlanks(title.substr(ftp.size()));
    return std::string(title);
}

std::string FooterDate()
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
}

std::string FooterTime()
{
    return QLocale::system().toString(QTime::currentTime(), QLocale::ShortFormat).toStdString();
}

std::optional<PageLayout> ListPageLayout(int orientation)
{
    if (orientation == PortraitOrientation)
        return PageLayout{0.75, 0.75, 60};
    if (orientation == LandscapeOrientation)
        return PageLayout{1.0, std::nullopt, 46};
    return std::nullopt;
}

std::string ListPageFooter(const std::string& title, int orientation, const std::string& date,
                           const std::string& time, int page)
{
    const std::string blanks(orientation == LandscapeOrientation ? 34 : 19, ' ');
    return title + blanks + date + " @ " + time + blanks + "Page " + std::to_string(page);
}

PrintedPages PaginateList(const ListPrintJob& job, const PageLayout& layout)
{
    PrintedPages out;
    PageWriter writer(out);
    writer.SetTop(layout.firstLine);
    const double x = layout.leftMargin;
    const int perPage = layout.linesPerPage;
    const int headingLines = static_cast<int>(job.heading.size());
    int page = 1;
    for (const std::string& line : job.heading)
        writer.Print(x, line);
    int count = headingLines;
    auto endPage = [&] {
        writer.Print(x, {});
        writer.Print(x, {});
        writer.Print(x, job.footer ? job.footer(page) : std::string());
        writer.EndPage();
    };
    for (size_t r = 0; r < job.rows.size(); ++r) {
        if (count == 0) {
            for (const std::string& line : job.heading)
                writer.Print(x, line);
            count = headingLines;
        }
        const bool chosen = r < job.selected.size() && job.selected[r];
        if (!job.selectionOnly || chosen) {
            writer.Print(x, job.rows[r]);
            ++count;
        }
        if (count >= perPage) {
            endPage();
            ++page;
            count = 0;
        }
    }
    // A job whose last row filled its page ends there, with no page of empty lines after it.
    if (count == 0 && page > 1)
        return out;
    writer.Print(x, {});
    ++count;
    for (; count < perPage; ++count)
        writer.Print(x, {});
    endPage();
    return out;
}

}  // namespace quillon
