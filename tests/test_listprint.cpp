// Printing of the record, segment and field lists: the page model line by line, and the main
// window's three print commands with their messages, dialogs and restored lists.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "reports/ListPrint.h"

namespace quillon::test {
namespace {

using platform::MsgAnswer;
using platform::PrintChoice;

const std::string kDate = "12/8/26";
const std::string kTime = "9:05 AM";

std::string Chars(size_t n, char first = 'a')
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<char>(first + i % 26);
    return s;
}

MainListLayout Layout(MainList list, int orientation)
{
    return MainListPageLayout(list, orientation).value();
}

TEST(ListPrintPages, LayoutAndTitle)
{
    EXPECT_FALSE(MainListPageLayout(MainList::Records, 0));
    EXPECT_FALSE(MainListPageLayout(MainList::Fields, 3));
    const struct {
        MainList list;
        int orientation, chars, lines, pad;
        std::optional<double> top;
    } layouts[] = {
        {MainList::Records, 1, 80, 60, 16, 0.75},
        {MainList::Segments, 2, 110, 46, 31, std::nullopt},
        {MainList::Fields, 1, 90, 60, 16, 0.75},
        {MainList::Fields, 2, 117, 46, 31, std::nullopt},
    };
    for (const auto& c : layouts) {
        const MainListLayout l = Layout(c.list, c.orientation);
        EXPECT_EQ(l.charsPerLine, c.chars);
        EXPECT_EQ(l.linesPerPage, c.lines);
        EXPECT_EQ(l.footerPad, c.pad);
        EXPECT_EQ(l.top, c.top);
    }
    const struct {
        const char *caption, *title;
    } titles[] = {
        {"Quillon - /data/adt.hl7 ", "/data/adt.hl7"},
        {"Quillon - data pasted from clipboard - filtered", "data pasted from clipboard - filtered"},
        {"Quillon - FTP Get -  host/in.dat", "host/in.dat"},
        {"Quillon", "Unknown File"},
        {"", "Unknown File"},
    };
    for (const auto& c : titles)
        EXPECT_EQ(MainListTitle(c.caption), c.title) << c.caption;
}

// The lines of page 0 after the heading: (x, text) pairs.
std::vector<std::pair<double, std::string>> Body(const PrintedPages& pages, size_t heading,
                                                 size_t n)
{
    std::vector<std::pair<double, std::string>> out;
    for (size_t i = heading; i < heading + n && i < pages.pages[0].lines.size(); ++i)
        out.emplace_back(pages.pages[0].lines[i].x, pages.pages[0].Text(pages.pages[0].lines[i]));
    return out;
}

TEST(ListPrintPages, RecordsAreNumberedAndCutIntoPieces)
{
    const std::string a = Chars(170);
    const struct {
        int orientation;
        int64_t number;
        std::string record;
        std::vector<std::pair<double, std::string>> lines;  // after title, legend and blank
    } cases[] = {
        {1, 1, a, {{0, "# 1      " + a.substr(0, 80)}, {0.75, a.substr(80, 80)},
                   {0.75, a.substr(160)}, {0, ""}}},
        {1, 12, a.substr(0, 80), {{0, "# 12     " + a.substr(0, 80)}, {0, ""}}},
        {2, 805, a.substr(0, 111), {{0.25, "# 805    " + a.substr(0, 110)}, {1.0, a.substr(110, 1)}}},
        {1, 3, "", {{0, "# 3      "}, {0, ""}}},
        {1, 1234567, "x", {{0, "# 1234567x"}}},
        // More than 7 digits widen the column; further pieces still stand under the text.
        {1, 123456789, a.substr(0, 81),
         {{0, "# 123456789" + a.substr(0, 80)}, {0.75 + 2.0 / 12, a.substr(80, 1)}}},
        {1, 2, "MSH|a\rPID|b\r\x1c", {{0, "# 2      MSH|a\xB6PID|b\xB6\xA7"}}},
    };
    for (const auto& c : cases) {
        MainListPrinter printer(MainList::Records, Layout(MainList::Records, c.orientation),
                                "Quillon - x.hl7", kDate, kTime);
        printer.AddRecord(c.number, c.record, '\r', '\x1c');
        const PrintedPages pages = printer.Finish();
        EXPECT_TRUE(pages.fromPrintableArea);
        EXPECT_EQ(pages.fontName, "Courier New");
        const std::vector<std::string> texts = pages.Texts(0);
        ASSERT_GE(texts.size(), 3u);
        EXPECT_EQ(texts[0], "x.hl7");
        EXPECT_EQ(texts[1], "Keys: \xB6=end-of-segment delimiter");
        EXPECT_EQ(Body(pages, 3, c.lines.size()), c.lines) << c.number;
    }
}

TEST(ListPrintPages, SegmentsAndFieldLinesWrap)
{
    const std::string t = Chars(170);
    const struct {
        MainList list;
        int orientation;
        bool descriptions;
        std::string text;
        std::vector<std::pair<double, std::string>> lines;  // after title and blank
    } cases[] = {
        {MainList::Segments, 1, false, t, {{0.75, t.substr(0, 80)}, {0.75, t.substr(80, 80)},
                                           {0.75, t.substr(160)}, {0, ""}}},
        {MainList::Segments, 2, false, t.substr(0, 110), {{1.0, t.substr(0, 110)}, {0, ""}}},
        {MainList::Fields, 1, false, t.substr(0, 100),
         {{0, t.substr(0, 90)}, {0, std::string(15, ' ') + t.substr(90, 10)}, {0, ""}}},
        {MainList::Fields, 1, true, t.substr(0, 100),
         {{0, t.substr(0, 90)}, {0, std::string(55, ' ') + t.substr(90, 10)}}},
        {MainList::Fields, 1, true, t.substr(0, 160),
         {{0, t.substr(0, 90)}, {0, std::string(55, ' ') + t.substr(90, 35)},
          {0, std::string(55, ' ') + t.substr(125, 35)}}},
        {MainList::Fields, 2, false, t.substr(0, 117), {{0.5, t.substr(0, 117)}, {0, ""}}},
    };
    for (const auto& c : cases) {
        MainListPrinter printer(c.list, Layout(c.list, c.orientation), "Quillon", kDate, kTime);
        if (c.list == MainList::Segments)
            printer.AddSegment(c.text);
        else
            printer.AddField(c.text, c.descriptions);
        const PrintedPages pages = printer.Finish();
        EXPECT_EQ(pages.Texts(0)[0], "Unknown File");
        EXPECT_EQ(Body(pages, 2, c.lines.size()), c.lines) << c.text.size();
    }
}

// Every page holds the same number of lines, ends with two blanks and its footer, and a job
// whose last item ends exactly at a page's end has no page of empty lines after it.
TEST(ListPrintPages, PagesCloseWithTheirFooterAndNoEmptyPageFollows)
{
    const struct {
        MainList list;
        int orientation;
        int items;
        size_t pages;
        bool longFirst = false;  // the first record takes two lines: the others end on odd lines
    } cases[] = {
        // Records: title, legend, blank, then a line and a blank per short record.
        {MainList::Records, 1, 29, 1},
        {MainList::Records, 1, 30, 2},
        {MainList::Records, 2, 22, 1},
        {MainList::Records, 1, 400, 14},
        // A record ending on line 59 leaves its blank line last on the page: the next record
        // starts a new page, so this page has its footer where the others have theirs.
        {MainList::Records, 1, 40, 2, true},
        // Segments: title, blank, then a line and a blank each.
        {MainList::Segments, 1, 29, 1},
        {MainList::Segments, 1, 30, 2},
        {MainList::Segments, 2, 22, 1},
        // Fields: title, blank, then a line each.
        {MainList::Fields, 1, 58, 1},
        {MainList::Fields, 1, 59, 2},
        {MainList::Fields, 2, 44 + 46, 2},
    };
    for (const auto& c : cases) {
        const MainListLayout layout = Layout(c.list, c.orientation);
        MainListPrinter printer(c.list, layout, "Quillon - f", kDate, kTime);
        for (int i = 1; i <= c.items; ++i) {
            if (c.list == MainList::Records)
                printer.AddRecord(i, (c.longFirst && i == 1 ? std::string(80, 'L') : "") + "X|" +
                                         std::to_string(i), '\r', '\x1c');
            else if (c.list == MainList::Segments)
                printer.AddSegment("X|" + std::to_string(i));
            else
                printer.AddField("X|" + std::to_string(i), false);
        }
        const PrintedPages pages = printer.Finish();
        const std::string at = std::to_string(static_cast<int>(c.list)) + "/" +
                               std::to_string(c.orientation) + "/" + std::to_string(c.items);
        ASSERT_EQ(pages.pages.size(), c.pages) << at;
        for (size_t p = 0; p < pages.pages.size(); ++p) {
            const std::vector<std::string> texts = pages.Texts(p);
            ASSERT_EQ(texts.size(), static_cast<size_t>(layout.linesPerPage + 3)) << at << " " << p;
            EXPECT_EQ(pages.pages[p].top, layout.top);
            EXPECT_EQ(texts[texts.size() - 3], "");
            EXPECT_EQ(texts[texts.size() - 2], "");
            EXPECT_EQ(pages.pages[p].lines.back().x, layout.footerX);
            EXPECT_EQ(texts.back(), ProductPageFooter(layout.footerPad, kDate, kTime,
                                                      static_cast<int>(p) + 1));
        }
        // The last item is printed.
        const std::string last = "X|" + std::to_string(c.items);
        bool found = false;
        for (const std::string& text : pages.Texts(pages.pages.size() - 1))
            found = found || text.ends_with(last);
        EXPECT_TRUE(found) << at;
    }
    EXPECT_EQ(ProductPageFooter(16, kDate, kTime, 1),
              "Quillon (tm)" + std::string(7, ' ') + kDate + " @ " + kTime + std::string(21, ' ') +
                  "Page 1");
    EXPECT_EQ(ProductPageFooter(31, kDate, kTime, 2),
              "Quillon (tm)" + std::string(22, ' ') + kDate + " @ " + kTime +
                  std::string(36, ' ') + "Page 2");
}

// ---- The main window's commands ----

QString PdfText(const QString& pdf)
{
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    if (!text.waitForFinished(30000))
        return {};
    return QString::fromUtf8(text.readAllStandardOutput());
}

class ListPrintWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    platform::ScriptedResponder& r = f.responder;
    QTemporaryDir dir;
    QString pdf = dir.filePath("out.pdf");

    void Load(int records)
    {
        std::string bytes;
        for (int i = 1; i <= records; ++i)
            bytes += "MSH|^~\\&|A|B|||20260101||ADT^A01|" + std::to_string(1000 + i) +
                     "|P|2.3\rPID|1||ID" + std::to_string(i) + "||DOE\r";
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("print.hl7", bytes)));
    }
    void SelectRecordRows(std::initializer_list<int> rows)
    {
        w.lstRecords->clearSelection();
        for (int row : rows)
            w.lstRecords->item(row)->setSelected(true);
    }
    PrintChoice Pdf(bool selection) { return PrintChoice{1, 1, selection, {}, pdf}; }
};

TEST_F(ListPrintWindow, RecordsWarnNumberAndRestore)
{
    w.mnuRecordListPrint_Click();
    ASSERT_EQ(r.shown().size(), 1u);
    EXPECT_EQ(r.shown()[0].text, "There are no records to print.");
    EXPECT_TRUE(r.printDialogs().empty());

    Load(850);
    r.Clear();
    r.QueuePrint(std::nullopt);  // Cancel: silence
    r.QueuePrint(Pdf(true));     // Selection with nothing selected
    w.lstRecords->clearSelection();
    w.mnuRecordListPrint_Click();
    w.mnuRecordListPrint_Click();
    ASSERT_EQ(r.printDialogs().size(), 2u);
    EXPECT_TRUE(r.printDialogs()[0].preselectSelection);
    ASSERT_EQ(r.shown().size(), 1u);
    EXPECT_EQ(r.shown()[0].text, "No records were selected for printing.");
    EXPECT_EQ(r.shown()[0].title, "No Records to Print");

    // Page 3: 11 selected rows warn (No prints nothing), 10 do not; row 4 is record 805.
    w.cmdNextPage_Click();
    w.cmdNextPage_Click();
    ASSERT_EQ(w.CurrentPage, 3);
    r.Clear();
    SelectRecordRows({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    r.QueuePrint(Pdf(true));
    r.QueueAnswer(MsgAnswer::No);
    w.mnuRecordListPrint_Click();
    ASSERT_EQ(r.shown().size(), 1u);
    EXPECT_EQ(r.shown()[0].text,
              "You are about to print 11 records.\rIs it OK to print that many?");
    EXPECT_EQ(r.shown()[0].title, "Print Warning");
    EXPECT_EQ(r.shown()[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(r.shown()[0].icon, platform::MsgIcon::Question);
    EXPECT_EQ(r.shown()[0].defaultAnswer, platform::MsgAnswer::No);
    EXPECT_FALSE(QFile::exists(pdf));

    SelectRecordRows({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    r.QueuePrint(Pdf(true));
    w.mnuRecordListPrint_Click();
    EXPECT_EQ(r.shown().size(), 1u);
    const QString selected = PdfText(pdf);
    EXPECT_TRUE(selected.contains(QRegularExpression("# 805 +MSH.*\\|1805\\|"))) << qPrintable(selected);
    EXPECT_FALSE(selected.contains("# 811"));
    EXPECT_EQ(w.lstRecords->selectionModel()->selectedRows().size(), 10);

    // All: every record of the store, then page 2 and its current row as they were.
    w.cmdPrevPage_Click();
    w.lstRecords->setCurrentRow(5, QItemSelectionModel::ClearAndSelect);
    QFile::remove(pdf);
    r.Clear();
    r.QueuePrint(Pdf(false));
    r.QueueAnswer(MsgAnswer::Yes);
    w.mnuRecordListPrint_Click();
    ASSERT_EQ(r.shown().size(), 1u);
    EXPECT_TRUE(r.shown()[0].text.startsWith("You are about to print 850 records."));
    const QString all = PdfText(pdf);
    for (const char* number : {"# 1 ", "# 400 ", "# 850 "})
        EXPECT_TRUE(all.contains(number)) << number;
    EXPECT_TRUE(all.contains(QString::fromLatin1("Keys: \xB6=end-of-segment delimiter")));
    EXPECT_TRUE(all.contains(QRegularExpression("Quillon \\(tm\\) .* @ .* Page 1\n")));
    EXPECT_EQ(w.CurrentPage, 2);
    EXPECT_EQ(w.lstRecords->currentRow(), 5);
    EXPECT_TRUE(w.lstRecords->item(5)->isSelected());
    EXPECT_GT(w.lstSegments->count(), 0);
    EXPECT_TRUE(r.allAnswersUsed());
}

// Segments and fields: the dialog's preset, the messages, and the toolbar's Print button
// following the list in use even without captions.
TEST_F(ListPrintWindow, SegmentAndFieldPrintersAskAndSay)
{
    w.mnuSegmentListPrint_Click();
    w.mnuFieldListPrint_Click();
    ASSERT_EQ(r.shown().size(), 2u);
    EXPECT_EQ(r.shown()[0].text, "There is no segment to print.");
    EXPECT_EQ(r.shown()[1].text, "There is no record to print.");

    Load(3);
    w.mnuOptionsDisplayButtonCaptions->setChecked(true);
    w.mnuOptionsDisplayButtonCaptions_Click();  // captions off
    const struct {
        const char* list;
        int selected;
        PrintChoice choice;
        bool preselect;
        const char* says;
        const char* title;
    } cases[] = {
        {"lstSegments", 1, Pdf(true), false, "", ""},
        {"lstSegments", 2, PrintChoice{1, 3, false, {}, pdf}, true,
         "Unexpected value of Orientation in PrintlstSegments. Please contact Tech Support.",
         "Quillon"},
        {"lstSegments", 0, Pdf(true), false, "No segments were selected for printing.",
         "No Segment to Print"},
        {"lstFields", 2, Pdf(true), true, "", ""},
        {"lstFields", 0, Pdf(true), false, "No fields were selected for printing.",
         "No Fields to Print"},
        {"lstFields", 1, PrintChoice{1, 0, false, {}, pdf}, false,
         "Unexpected value of Orientation in PrintLstFields. Please contact Tech Support.",
         "Quillon"},
    };
    for (const auto& c : cases) {
        ListBox* list = QString(c.list) == "lstSegments" ? w.lstSegments : w.lstFields;
        list->clearSelection();
        for (int row = 0; row < c.selected; ++row)
            list->item(row)->setSelected(true);
        list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
        w.st.session.FocusedListName = c.list;
        r.Clear();
        QFile::remove(pdf);
        r.QueuePrint(c.choice);
        w.tbarTools_ButtonClick(4);
        ASSERT_EQ(r.printDialogs().size(), 1u) << c.list;
        EXPECT_EQ(r.printDialogs()[0].preselectSelection, c.preselect) << c.list << c.selected;
        EXPECT_EQ(list->currentRow(), 1);
        if (*c.says) {
            ASSERT_EQ(r.shown().size(), 1u) << c.says;
            EXPECT_EQ(r.shown()[0].text, c.says);
            EXPECT_EQ(r.shown()[0].title, c.title);
            EXPECT_FALSE(QFile::exists(pdf));
        } else {
            EXPECT_TRUE(r.shown().empty()) << c.list << ": " << r.shown()[0].text.toStdString();
            EXPECT_TRUE(QFile::exists(pdf));
        }
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace quillon::test
