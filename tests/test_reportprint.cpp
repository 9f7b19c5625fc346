// Report printing: the page model read line by line, and the window's Print into a PDF.
#include <gtest/gtest.h>

#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <optional>

#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "reports/ReportBuilder.h"
#include "reports/ReportPrint.h"
#include "reports/frmReport.h"

namespace quillon::test {
namespace {

std::string Pad(const std::string& text, size_t width)
{
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string Numbered(int i)
{
    char text[16];
    std::snprintf(text, sizeof text, "R%03d", i);
    return text;
}

std::string Repeat(const std::string& text, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += text;
    return out;
}

std::vector<std::vector<std::string>> NumberedRows(int n)
{
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back({Numbered(i)});
    return rows;
}

TEST(ReportPrint, LayoutEstimateAndTitle)
{
    const struct {
        int orientation, fontSize;
        int piece;
        double lines;
        int footerPad;
        double top;
    } layouts[] = {
        {1, 10, 90, 60, 16, 0.75},
        {2, 10, 120, 46, 31, 0.5},
        {1, 8, 112, 75, 16, 0.75},  // 112.5 characters: the half goes to the even 112
        {1, 0, 90, 60, 16, 0.75},   // no usable size: 10 points
        {2, -4, 120, 46, 31, 0.5},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(std::to_string(l.orientation) + " at " + std::to_string(l.fontSize));
        const std::optional<ReportPageLayout> layout = ReportLayout(l.orientation, l.fontSize);
        ASSERT_TRUE(layout);
        EXPECT_EQ(ReportPieceLength(layout->charsPerLine), l.piece);
        EXPECT_EQ(layout->linesPerPage, l.lines);
        EXPECT_EQ(layout->footerPad, l.footerPad);
        EXPECT_EQ(layout->top, l.top);
    }
    EXPECT_FALSE(ReportLayout(3, 10));

    EXPECT_EQ(ReportPageEstimate(25, 60), 1);
    EXPECT_EQ(ReportPageEstimate(700, 60), 12);
    EXPECT_EQ(ReportPageEstimate(0, 60), 1);
    EXPECT_EQ(ReportPageWarning(12),
              "You are about to print about 12 pages.\rIs it OK to print that many?");

    const std::pair<const char*, const char*> titles[] = {
        {"Quillon - C:\\data\\a.hl7  ", "C:\\data\\a.hl7"},
        {"Quillon - FTP Get -  b.hl7", "b.hl7"},
        {"Quillon", "Quillon - Unknown File"},
        {"FTP Get - c.hl7", "Quillon - Unknown File"},
    };
    for (const auto& [caption, title] : titles)
        EXPECT_EQ(ReportPrintTitle(caption), title) << caption;
}

TEST(ReportPrint, PagesLineByLine)
{
    const std::string t = "a.hl7";
    const std::string h = "C     ";  // the caption padded to the rows' width + 2
    auto r = [](int i) { return Numbered(i) + "  "; };
    const std::string x93(93, 'X'), x113(113, 'X');
    std::vector<std::vector<std::string>> many(1, std::vector<std::string>(250, "v"));
    struct Case {
        const char* name;
        std::vector<std::string> captions;
        std::vector<std::vector<std::string>> rows;
        std::optional<std::vector<size_t>> selected;  // printed rows; unset: all
        bool headerEveryPage;
        int orientation, fontSize;
        size_t pages;
        std::vector<std::vector<std::string>> firstLines;  // per page, its leading lines
    } cases[] = {
        {"one page", {"C"}, NumberedRows(25), {}, true, 1, 10, 1, {{t, "", h, "", r(1), r(2)}}},
        {"selection with no row selected", {"C"}, NumberedRows(5), std::vector<size_t>{}, true,
         1, 10, 1, {{t, "", "C  ", "", ""}}},
        {"widths from the printed rows only", {"A", "B"}, {{"1", "LONGVALUE"}, {"22", "x"}},
         std::vector<size_t>{1}, true, 1, 10, 1, {{t, "", "A   B  ", "", "22  x  ", ""}}},
        {"last row exactly closes page 1", {"C"}, NumberedRows(57), {}, true, 1, 10, 1, {}},
        {"one row over", {"C"}, NumberedRows(58), {}, true, 1, 10, 2, {{}, {h, "", r(58), ""}}},
        {"header on page 1 only", {"C"}, NumberedRows(58), {}, false, 1, 10, 2,
         {{}, {r(58), ""}}},
        {"last row exactly closes page 2", {"C"}, NumberedRows(116), {}, true, 1, 10, 2,
         {{}, {h, "", r(58)}}},
        {"landscape", {"C"}, NumberedRows(44), {}, true, 2, 10, 2, {{}, {h, "", r(44), ""}}},
        {"90-character line in one piece", {std::string(88, 'X')}, NumberedRows(1), {}, true, 1,
         10, 1, {{t, "", std::string(88, 'X') + "  ", "", Pad("R001", 90), ""}}},
        // A 95-character header wraps on page 1 (no empty line after it) and prints whole later;
        // row 29's second piece opens page 2.
        {"wrapped at 90", {x93}, NumberedRows(30), {}, true, 1, 10, 2,
         {{t, "", std::string(90, 'X'), "XXX  ", Pad("R001", 90), std::string(5, ' ')},
          {x93 + "  ", "", std::string(5, ' '), Pad("R030", 90)}}},
        // 112-character pieces; 4 + 36 rows of two pieces close page 1 above 75 lines.
        {"font size 8", {x113}, NumberedRows(37), {}, true, 1, 8, 2,
         {{t, "", std::string(112, 'X'), "X  ", Pad("R001", 112), "   "},
          {x113 + "  ", "", Pad("R037", 112), "   "}}},
        {"more than 201 columns", std::vector<std::string>(250, "C"), many, {}, true, 1, 10, 1,
         {{t, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReportPrintJob job;
        job.captions = c.captions;
        job.rows = c.rows;
        job.printAll = !c.selected;
        job.selected.assign(job.rows.size(), false);
        for (const size_t s : c.selected.value_or(std::vector<size_t>{}))
            job.selected[s] = true;
        job.headerEveryPage = c.headerEveryPage;
        job.title = t;
        job.date = "D";
        job.time = "T";
        const ReportPageLayout layout = *ReportLayout(c.orientation, c.fontSize);
        const PrintedPages out = PaginateReport(job, layout);
        EXPECT_TRUE(out.fromPrintableArea);
        EXPECT_EQ(out.fontSize, c.fontSize);
        ASSERT_EQ(out.pages.size(), c.pages);
        for (size_t p = 0; p < out.pages.size(); ++p) {
            SCOPED_TRACE("page " + std::to_string(p + 1));
            EXPECT_EQ(out.pages[p].top, layout.top);
            const std::vector<std::string> page = out.Texts(p);
            // Every page, the last too, closes once its count passes the lines per page, then
            // two empty lines and the footer.
            ASSERT_EQ(page.size(), static_cast<size_t>(layout.linesPerPage) + 1 + 3);
            EXPECT_EQ(page.back(), ProductPageFooter(layout.footerPad, "D", "T", int(p) + 1));
            EXPECT_EQ(page[page.size() - 2], "");
            EXPECT_EQ(page[page.size() - 3], "");
            if (p < c.firstLines.size()) {
                const auto& first = c.firstLines[p];
                ASSERT_LE(first.size(), page.size());
                EXPECT_EQ(std::vector<std::string>(page.begin(), page.begin() + first.size()),
                          first);
            }
            for (const PrintedLine& line : out.pages[p].lines)
                EXPECT_EQ(line.x, 0.5);
        }
        if (c.captions.size() == 250) {  // a 750-character header: 8 pieces of 90 and one of 30
            const auto page = out.Texts(0);
            EXPECT_EQ(page[2], Repeat("C  ", 30));
            EXPECT_EQ(page[10], Repeat("C  ", 10));
            EXPECT_EQ(page[11], Repeat("v  ", 30));
        }
    }
    EXPECT_EQ(ProductPageFooter(16, "D", "T", 1),
              "Quillon (tm)" + std::string(7, ' ') + "D @ T" + std::string(21, ' ') + "Page 1");
}

QString PdfText(const QString& pdf)
{
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    if (!text.waitForFinished(30000))
        return {};
    return QString::fromUtf8(text.readAllStandardOutput());
}

// The window's Print: the messages of an empty report and a long job, and a real job into a
// PDF with the columns in the order they were dragged into.
TEST(ReportPrintWindow, PrintsToPdf)
{
    platform::ScriptedResponder responder;
    platform::SettingsStore settings;
    frmReport window;
    window.dialogs = &responder;
    window.settings = &settings;
    window.mainCaption = QStringLiteral("Quillon - orders.hl7");
    window.mnuFilePrint->trigger();  // nothing yet
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].text, "There is nothing in the report to print.");
    EXPECT_EQ(responder.shown()[0].title, "Quillon");
    EXPECT_TRUE(responder.printDialogs().empty());

    auto fill = [&window](int rows) {
        ReportTable table;
        table.columns = {"PID-3", "PID-5"};
        for (int i = 1; i <= rows; ++i) {
            table.AddRow("ID" + std::to_string(i));
            table.SetLastRowCell(1, "NAME\xe9" + std::to_string(i));
        }
        window.Fill(table);
    };
    QTemporaryDir dir;
    fill(700);
    const QString refused = dir.filePath("refused.pdf");
    responder.QueuePrint(platform::PrintChoice{1, 1, false, {}, refused});
    responder.QueueAnswer(platform::MsgAnswer::No);
    window.mnuFilePrint->trigger();
    ASSERT_EQ(responder.shown().size(), 2u);
    EXPECT_EQ(responder.shown()[1].text,
              "You are about to print about 12 pages.\rIs it OK to print that many?");
    EXPECT_EQ(responder.shown()[1].title, "Print Warning");
    EXPECT_EQ(responder.shown()[1].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(responder.shown()[1].icon, platform::MsgIcon::Question);
    EXPECT_EQ(responder.shown()[1].defaultAnswer, platform::MsgAnswer::No);
    EXPECT_FALSE(QFile::exists(refused));

    fill(70);
    window.lvReportList->header()->moveSection(1, 0);  // PID-5 dragged in front
    const QString every = dir.filePath("every.pdf"), once = dir.filePath("once.pdf");
    responder.QueuePrint(platform::PrintChoice{1, 1, false, {}, every});
    window.mnuFilePrint->trigger();
    // The setting is read at every print.
    settings.Save("Quillon", "ExportReports", "PrintColumnHeaderEveryPage", "0");
    responder.QueuePrint(platform::PrintChoice{1, 1, false, {}, once});
    window.mnuFilePrint->trigger();
    EXPECT_EQ(responder.shown().size(), 2u);  // no warning, no failure
    ASSERT_EQ(responder.printDialogs().size(), 3u);
    EXPECT_TRUE(responder.printDialogs()[2].selectionAllowed);
    EXPECT_FALSE(responder.printDialogs()[2].preselectSelection);

    const QRegularExpression header("PID-5 +PID-3");
    for (const auto& [pdf, headers] : {std::pair{every, 2}, std::pair{once, 1}}) {
        const QString out = PdfText(pdf);
        SCOPED_TRACE(out.toStdString());
        EXPECT_TRUE(out.contains(QRegularExpression("^ *orders.hl7", QRegularExpression::MultilineOption)));
        EXPECT_EQ(out.count(header), headers);
        EXPECT_TRUE(out.contains(QRegularExpression(QString::fromUtf8("NAME\u00e970 +ID70"))));
        EXPECT_TRUE(out.contains("Page 1"));
        EXPECT_TRUE(out.contains("Page 2"));
    }
    // A job the printer cannot start is reported, not taken for printed.
    responder.QueuePrint(platform::PrintChoice{1, 1, false, {}, dir.filePath("none/x.pdf")});
    window.mnuFilePrint->trigger();
    ASSERT_EQ(responder.shown().size(), 3u);
    EXPECT_EQ(responder.shown()[2].title, "Print Failed");
}

}  // namespace
}  // namespace quillon::test
