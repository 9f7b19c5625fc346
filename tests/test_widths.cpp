// Maximum field widths (scan, rows, print pages, the PDF printed, the window and its jump) and
// record length statistics.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "TestSupport.h"
#include "analysis/MaxFieldWidths.h"
#include "analysis/RecordLengths.h"
#include "analysis/frmMaximumFieldWidths.h"
#include "app/frmProgressIndicator.h"
#include "reports/PrintPages.h"

namespace quillon::test {
namespace {

DescriptionDictionary Dictionary(std::vector<std::string> keys)
{
    std::sort(keys.begin(), keys.end());
    DescriptionDictionary d;
    for (const auto& k : keys) {
        d.DescriptionKeys.push_back(k);
        d.Descriptions.push_back(k + " text");
    }
    return d;
}

RecordStore Store(const std::vector<std::string>& records)
{
    RecordStore s;
    for (const auto& r : records)
        s.Append(r);
    return s;
}

qsizetype SlotOf(const DescriptionDictionary& d, const std::string& key)
{
    const std::string slot = d.GetHL7Description(key, false);
    return slot.empty() ? 0 : std::stol(slot);
}

TEST(MaxFieldWidths, WidthsAndFirstRecordPerLabel)
{
    const DescriptionDictionary dict =
        Dictionary({"FHS-1", "FHS-2", "MSH-1", "MSH-2", "MSH-3", "PID-3", "PID-3-1", "PID-3-2",
                    "PID-5", "ZXX-100"});
    std::vector<std::string> tie(12, "PID|1||X||A\r");
    tie[6] = tie[11] = "PID|1||X||ABC\r";
    std::string z = "ZXX";
    for (int f = 1; f <= 99; ++f)
        z += "|";
    z += "|QQQQ\r";
    struct Case {
        const char* name;
        std::vector<std::string> records;
        const char* label;
        qsizetype width;
        int32_t record;
    } cases[] = {
        {"repetitions count toward the same components", {"PID|1||A^B~CC^DDD\r"}, "PID-3-1", 2, 1},
        {"second component over both repetitions", {"PID|1||A^B~CC^DDD\r"}, "PID-3-2", 3, 1},
        {"repetition without components under the field", {"PID|1||A^B~LONGER\r"}, "PID-3", 6, 1},
        {"MSH-2 whole", {"MSH|^~\\&|APP\r"}, "MSH-2", 4, 1},
        {"MSH-1 never", {"MSH|^~\\&|APP\r"}, "MSH-1", 0, 0},
        {"MSH shifted by one", {"MSH|^~\\&|APP\r"}, "MSH-3", 3, 1},
        {"FHS numbered from its first element and split", {"FHS|^~\\&|APP\r"}, "FHS-1", 2, 1},
        {"FHS field after it", {"FHS|^~\\&|APP\r"}, "FHS-2", 3, 1},
        {"tie keeps the first record", tie, "PID-5", 3, 7},
        {"empty everywhere", {"PID|1||X||\r", "PID|1||X\r"}, "PID-5", 0, 0},
        {"three-digit field number", {z}, "ZXX-100", 4, 1},
        {"no terminator after the last segment", {"MSH|^~\\&|A\rPID|1||ABCDE"}, "PID-3", 5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordStore store = Store(c.records);
        const MaxWidthsResult r = ScanMaxFieldWidths(store, Delimiters(), '\r', dict);
        const auto slot = static_cast<size_t>(SlotOf(dict, c.label));
        ASSERT_GT(slot, 0u);
        EXPECT_EQ(r.widths[slot], c.width);
        EXPECT_EQ(r.records[slot], c.record);
    }
    // A label the dictionary lacks gives no row.
    const RecordStore store = Store({"ZZZ|HELLO\rPID|1||ABC\r"});
    const auto rows = MaxWidthRows(dict, ScanMaxFieldWidths(store, Delimiters(), '\r', dict).widths);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(MaxWidthRowLabel(rows[0].text), "PID-3");
}

TEST(MaxFieldWidths, ManyRecordsKeepTheFirstRecordAndStopOnCancel)
{
    // Enough records for several threads and several chunks of them.
    const int32_t count = 100000;
    RecordStore store;
    for (int32_t i = 1; i <= count; ++i)
        store.Append(std::string("PID|") + (i == 1 || i == 99000 ? "12" : "1") + "||"
                     + (i == 5 ? "IDX" : i == 88888 ? "IDXYZ" : "ID") + "||"
                     + (i == 30001 || i == 70000 || i == 99999 ? "ABC" : "A") + "\r");
    const DescriptionDictionary dict = Dictionary({"PID-1", "PID-3", "PID-5"});
    std::vector<int32_t> calls;
    const MaxWidthsResult r = ScanMaxFieldWidths(store, Delimiters(), '\r', dict, [&](int32_t done) {
        calls.push_back(done);
        return true;
    });
    EXPECT_FALSE(r.cancelled);
    EXPECT_GT(calls.size(), 1u);
    const struct {
        const char* label;
        qsizetype width;
        int32_t record;
    } cases[] = {
        {"PID-1", 2, 1},      // the first record against a tie far later
        {"PID-3", 5, 88888},  // a wider value in a later chunk
        {"PID-5", 3, 30001},  // ties in several ranges
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto slot = static_cast<size_t>(SlotOf(dict, c.label));
        EXPECT_EQ(r.widths[slot], c.width);
        EXPECT_EQ(r.records[slot], c.record);
    }
    // Cancel between chunks ends the scan there.
    calls.clear();
    const MaxWidthsResult stopped =
        ScanMaxFieldWidths(store, Delimiters(), '\r', dict, [&](int32_t done) {
            calls.push_back(done);
            return calls.size() < 2;
        });
    EXPECT_TRUE(stopped.cancelled);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], 0);
    EXPECT_LT(calls[1], count);
}

TEST(MaxFieldWidths, RowsInAlignedOrderShowingTheKeys)
{
    const DescriptionDictionary dict =
        Dictionary({"PID-10", "PID-2", "PID-3", "PID-3-1", "ZXX-100", "ZXX-5"});
    std::vector<qsizetype> widths(dict.DescriptionKeys.size() + 1, 0);
    for (size_t k = 1; k < widths.size(); ++k)
        widths[k] = static_cast<qsizetype>(k) * 10;
    widths[static_cast<size_t>(SlotOf(dict, "PID-3-1"))] = 5000000;  // no 16-bit cap
    std::vector<std::string> labels;
    for (const auto& row : MaxWidthRows(dict, widths))
        labels.emplace_back(MaxWidthRowLabel(row.text));
    EXPECT_EQ(labels, (std::vector<std::string>{"PID-2", "PID-3", "PID-3-1", "PID-10", "ZXX-5",
                                                "ZXX-100"}));
    const std::string row = MaxWidthRows(dict, widths)[2].text;
    EXPECT_EQ(row, "PID-3-1        " + std::string("PID-3-1 text") + std::string(28, ' ')
                       + "5000000");
    EXPECT_EQ(MaxWidthRowWidth(row), 5000000);
}

TEST(RecordLengths, StatisticsAndTheirMessage)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    struct Case {
        std::vector<size_t> lengths;
        qint64 average;
        qsizetype longest, shortest;
        int32_t record;
        const char* numbers;  // average, longest, shortest as shown
    } cases[] = {
        {{10, 30, 35}, 25, 35, 10, 3, "25|35|10"},
        {{5, 9, 9}, 7, 9, 5, 2, "7|9|5"},
        {{0, 0}, 0, 0, 0, 0, "||"},
        {{1000001, 1200000}, 1100000, 1200000, 999999, 2, "1,100,000|1,200,000|999,999"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> records;
        for (size_t n : c.lengths)
            records.emplace_back(n, 'x');
        const RecordLengthStats s = MeasureRecordLengths(Store(records));
        EXPECT_EQ(s.average, c.average);
        EXPECT_EQ(s.longest, c.longest);
        EXPECT_EQ(s.shortest, c.shortest);
        EXPECT_EQ(s.longestRecord, c.record);
        const QStringList n = QString::fromLatin1(c.numbers).split('|');
        EXPECT_EQ(RecordStatisticsMessage(s, us),
                  "The Average Record Length is: " + n[0] + "\r\nThe Maximmum Record Length is: "
                      + n[1] + "\r\nThe Minimum Record Length is: " + n[2]
                      + "\r\n\r\nWould you like to see the longest record?");
    }
}

std::vector<std::string> Rows(int n)
{
    std::vector<std::string> rows;
    for (int r = 1; r <= n; ++r)
        rows.push_back("ROW " + std::to_string(r));
    return rows;
}

TEST(PrintPages, ListPagination)
{
    EXPECT_EQ(ListPageFooter("Quillon", 1, "D", "T", 2),
              "Quillon" + std::string(19, ' ') + "D @ T" + std::string(19, ' ') + "Page 2");
    EXPECT_EQ(ListPageFooter("Quillon", 2, "D", "T", 1),
              "Quillon" + std::string(34, ' ') + "D @ T" + std::string(34, ' ') + "Page 1");
    EXPECT_FALSE(ListPageLayout(3));
    struct Case {
        const char* name;
        int rows, orientation;
        std::vector<int> selected;  // 1-based; empty: all rows printed
        std::vector<std::vector<std::string>> firstLines;  // per page, its leading lines
    } cases[] = {
        // A last row that fills its page ends the job: no page of empty lines follows.
        {"portrait full page", 58, 1, {}, {{"H", "", "ROW 1"}}},
        {"landscape full page", 44, 2, {}, {{"H", "", "ROW 1"}}},
        {"portrait one row over", 59, 1, {}, {{"H", "", "ROW 1"}, {"H", "", "ROW 59", ""}}},
        {"selection only", 10, 1, {3, 7}, {{"H", "", "ROW 3", "ROW 7", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListPrintJob job;
        job.heading = {"H", ""};
        job.rows = Rows(c.rows);
        job.selectionOnly = !c.selected.empty();
        job.selected.assign(job.rows.size(), false);
        for (int s : c.selected)
            job.selected[static_cast<size_t>(s - 1)] = true;
        job.footer = [](int page) { return "F" + std::to_string(page); };
        const PageLayout layout = *ListPageLayout(c.orientation);
        const PrintedPages out = PaginateList(job, layout);
        ASSERT_EQ(out.pages.size(), c.firstLines.size());
        for (size_t p = 0; p < out.pages.size(); ++p) {
            const std::vector<std::string> page = out.Texts(p);
            // Lines per page, two blank lines and the footer.
            ASSERT_EQ(page.size(), static_cast<size_t>(layout.linesPerPage + 3));
            EXPECT_TRUE(std::equal(c.firstLines[p].begin(), c.firstLines[p].end(), page.begin()));
            EXPECT_EQ(page.back(), "F" + std::to_string(p + 1));
            const auto filled = std::count_if(page.begin(), page.end() - 1,
                                              [](const std::string& l) { return !l.empty(); });
            if (c.rows <= 58) {
                EXPECT_EQ(filled, 1 + (c.selected.empty() ? c.rows
                                                           : static_cast<int>(c.selected.size())));
            }
        }
    }
}

// The window's Print through the print dialog's answer into a PDF, read back as text.
TEST(WidthsWindow, PrintsToPdf)
{
    platform::ScriptedResponder responder;
    frmMaximumFieldWidths window(responder);
    window.cmdPrint->click();  // nothing to print yet
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].text, "There are no Maximum Field Widths to print.");

    const DescriptionDictionary dict = Dictionary({"PID-3", "PID-5"});
    std::vector<MaxWidthRow> rows;
    for (int r = 0; r < 70; ++r)
        rows.push_back(MaxWidthRows(dict, {0, 10 + r, 0})[0]);
    window.AddRows(rows);
    window.lstMaxFieldWidth->item(2)->setSelected(true);
    window.lstMaxFieldWidth->item(5)->setSelected(true);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("widths.pdf");
    responder.QueuePrint(platform::PrintChoice{1, 1, false, {}, pdf});
    window.cmdPrint->click();
    ASSERT_EQ(responder.printDialogs().size(), 1u);
    EXPECT_TRUE(responder.printDialogs()[0].preselectSelection);

    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    // The text comes back with its columns but not every blank.
    EXPECT_TRUE(out.contains(QRegularExpression("FIELD NAME +FIELD DESCRIPTION +MAX FIELD WIDTH")))
        << qPrintable(out);
    EXPECT_TRUE(out.contains(QRegularExpression("PID-3 +PID-3 text +10\n")));
    EXPECT_TRUE(out.contains("Page 1"));
    EXPECT_TRUE(out.contains("Page 2"));
    EXPECT_TRUE(out.contains("Quillon"));
}

class WidthsTool : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override
    {
        st.dictionary = Dictionary({"MSH-10", "PID-3", "PID-5"});
        // 500 records (two pages); record 450 holds the longest PID-5 and is the longest record.
        std::string bytes;
        for (int i = 1; i <= 500; ++i)
            bytes += "MSH|^~\\&|A|B|||20260101||ADT^A01|" + std::to_string(1000 + i)
                     + "|P|2.3\rPID|1||ID||" + (i == 450 ? "LONGESTNAME" : "DOE") + "\r";
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("widths.hl7", bytes)));
    }
    frmMaximumFieldWidths* Window() const
    {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<frmMaximumFieldWidths*>(top); m && m->isVisible())
                return m;
        return nullptr;
    }
    void ExpectShown(int32_t n)
    {
        EXPECT_EQ(w.CurrentPage, 2);
        const auto selected = w.lstRecords->selectedItems();
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(selected[0].Row(), n - 401);
        EXPECT_EQ(w.lstRecords->currentRow(), n - 401);
        EXPECT_EQ(w.lblFile->text(), QStringLiteral("Rec  %1/500").arg(n));
        EXPECT_GT(w.lstFields->count(), 0);
    }
};

TEST_F(WidthsTool, DoubleClickJumpsAndARefusedJumpSaysWhy)
{
    w.mnuToolsDetermineMaxFieldWidths_Click();
    frmMaximumFieldWidths* m = Window();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->windowTitle(), "Maximum Field Widths");
    EXPECT_TRUE(m->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_EQ(m->lstMaxFieldWidth->count(), 3);
    const int row = 2;  // MSH-10, PID-3, PID-5
    EXPECT_TRUE(m->lstMaxFieldWidth->item(row)->text().startsWith("PID-5 "));
    m->lstMaxFieldWidth->setCurrentRow(row);
    m->lstMaxFieldWidth_DblClick();
    ExpectShown(450);

    // A second run adds its rows to the open window.
    w.mnuToolsDetermineMaxFieldWidths_Click();
    EXPECT_EQ(Window(), m);
    EXPECT_EQ(m->lstMaxFieldWidth->count(), 6);

    // Fewer records than the row's record: refused with a message, nothing moves.
    st.records.RecordCount = 420;
    w.CurrentPage = 1;
    w.DisplayPage(w.CurrentPage);
    const size_t before = f.responder.shown().size();
    m->lstMaxFieldWidth->setCurrentRow(5);
    m->lstMaxFieldWidth_DblClick();
    ASSERT_EQ(f.responder.shown().size(), before + 1);
    EXPECT_EQ(f.responder.shown().back().title, "Record Not Found");
    EXPECT_EQ(w.CurrentPage, 1);
    m->cmdOK->click();
}

TEST_F(WidthsTool, CancelInProgressLeavesNoWindow)
{
    QTimer cancel;
    cancel.setInterval(0);
    bool cancelled = false;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (auto* p = qobject_cast<frmProgressIndicator*>(QApplication::activeModalWidget())) {
            cancel.stop();
            cancelled = true;
            p->cmdCancel->click();
        }
    });
    cancel.start();
    w.mnuToolsDetermineMaxFieldWidths_Click();
    ASSERT_TRUE(cancelled);
    EXPECT_FALSE(Window());
    EXPECT_FALSE(st.session.ProgressCancelled);
    EXPECT_FALSE(QApplication::overrideCursor());
}

TEST_F(WidthsTool, RecordStatisticsYesShowsTheLongestRecord)
{
    f.responder.QueueAnswer(platform::MsgAnswer::Yes);
    w.mnuToolsDetermineRecordStatistics_Click();
    ASSERT_EQ(f.responder.shown().size(), 1u);
    const auto& box = f.responder.shown()[0];
    EXPECT_EQ(box.title, "Record Statistics");
    EXPECT_EQ(box.buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(box.icon, platform::MsgIcon::Question);
    ExpectShown(450);
}

}  // namespace
}  // namespace quillon::test
