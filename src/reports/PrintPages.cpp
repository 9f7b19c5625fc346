#include "reports/PrintPages.h"

namespace quillon {

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
    out.layout = layout;
    const int perPage = layout.linesPerPage;
    const int headingLines = static_cast<int>(job.heading.size());
    int page = 1;
    std::vector<std::string> lines(job.heading);
    int count = headingLines;
    auto endPage = [&] {
        lines.emplace_back();
        lines.emplace_back();
        lines.push_back(job.footer ? job.footer(page) : std::string());
        out.pages.push_back(std::move(lines));
        lines.clear();
    };
    for (size_t r = 0; r < job.rows.size(); ++r) {
        if (count == 0) {
            lines.insert(lines.end(), job.heading.begin(), job.heading.end());
            count = headingLines;
        }
        const bool chosen = r < job.selected.size() && job.selected[r];
        if (!job.selectionOnly || chosen) {
            lines.push_back(job.rows[r]);
            ++count;
        }
        if (count >= perPage) {
            endPage();
            ++page;
            count = 0;
        }
    }
    lines.emplace_back();
    ++count;
    for (; count < perPage; ++count)
        lines.emplace_back();
    endPage();
    return out;
}

}  // namespace quillon
