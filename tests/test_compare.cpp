// The record comparison: keys, the alignment of two texts, the rich text for the clipboard, the
// comparison window and the compare commands of the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "TestSupport.h"
#include "analysis/CompareRecords.h"
#include "analysis/frmCompareRecords.h"
#include "app/Layout.h"
#include "records/Pages.h"

namespace quillon::test {
namespace {

TEST(GetCompareKey, NumbersRightAlignedRepetitionAfterABlank)
{
    const std::pair<const char*, const char*> cases[] = {
        {"PID-3", "PID- 3"},           {"PID-5-1", "PID- 5- 1"},
        {"PID-3 (2)", "PID- 3 ( 2)"},  {"PID-3(2)", "PID- 3 ( 2)"},
        {"PID-3-1(2)", "PID- 3- 1 ( 2)"}, {"PID-13", "PID-13"},
        {" MSH-1 ", "MSH- 1"},         {"OBX-5(12)", "OBX- 5 (12)"},
        {"ZXX-100", "ZXX-100"},        {"ZXX-100-7(100)", "ZXX-100- 7 (100)"},
    };
    for (const auto& [designation, key] : cases)
        EXPECT_EQ(GetCompareKey(designation), key) << designation;
}

struct Row {
    std::string name, value1, value2;
    bool marked;
};

TEST(CompareTexts, AlignsTheSecondTextOnTheFirst)
{
    const std::string zxx1 = "ZXX|1" + std::string(99, '|') + "A";         // ZXX-1, ZXX-100
    const std::string zxx2 = "ZXX|1" + std::string(98, '|') + "C|A";       // ZXX-99 too
    const struct {
        const char* what;
        std::string text1, text2;
        bool descriptions;
        std::vector<Row> rows;
    } cases[] = {
        {"one field differs", "MSH|^~\\&|A", "MSH|^~\\&|B", false,
         {{"MSH-1", "|", "|", false}, {"MSH-2", "^~\\&", "^~\\&", false}, {"MSH-3", "A", "B", true}}},
        {"a field inside its segment's run", "PID|1||X||Y", "PID|1||X|Z|Y", false,
         {{"PID-1", "1", "1", false}, {"PID-3", "X", "X", false}, {"PID-4", "", "Z", true},
          {"PID-5", "Y", "Y", false}}},
        {"a repetition at the end of its segment's run", "PID|1||A||N\rPV1|1|I|W",
         "PID|1||A~B||N\rPV1|1|I|W", false,
         {{"PID-1", "1", "1", false}, {"PID-3", "A", "", true}, {"PID-5", "N", "N", false},
          {"PID-3(1)", "", "A", true}, {"PID-3(2)", "", "B", true}, {"PV1-1", "1", "1", false},
          {"PV1-2", "I", "I", false}, {"PV1-3", "W", "W", false}}},
        {"a segment twice: the first rows take every value", "OBX|1|ST|A\rOBX|2|ST|B",
         "OBX|1|ST|C\rOBX|2|ST|D", false,
         {{"OBX-1", "1", "2", true}, {"OBX-2", "ST", "ST", false}, {"OBX-3", "A", "D", true},
          {"OBX-1", "2", "", true}, {"OBX-2", "ST", "", true}, {"OBX-3", "B", "", true}}},
        {"CR LF like CR", "MSH|^~\\&|A\r\nPID|1\r\n", "MSH|^~\\&|A\rPID|1\r", false,
         {{"MSH-1", "|", "|", false}, {"MSH-2", "^~\\&", "^~\\&", false},
          {"MSH-3", "A", "A", false}, {"PID-1", "1", "1", false}}},
        {"an empty first text: all different", "", "PID|1\rPID|2", false,
         {{"PID-1", "", "1", true}, {"PID-1", "", "2", true}}},
        {"no rule places it: after its segment's last row", "PID|1||A\rPV1|1", "PID|1|X~Y|A\rPV1|1",
         false,
         {{"PID-1", "1", "1", false}, {"PID-3", "A", "A", false}, {"PID-2(1)", "", "X", true},
          {"PID-2(2)", "", "Y", true}, {"PV1-1", "1", "1", false}}},
        {"no rule places it: a new segment first in its text", "MSH|^~\\&|A", "ZZZ|1\rMSH|^~\\&|A",
         false,
         {{"MSH-1", "|", "|", false}, {"MSH-2", "^~\\&", "^~\\&", false},
          {"MSH-3", "A", "A", false}, {"ZZZ-1", "", "1", true}}},
        {"three-digit field numbers", zxx1, zxx2, false,
         {{"ZXX-1", "1", "1", false}, {"ZXX-99", "", "C", true}, {"ZXX-100", "A", "A", false}}},
        {"descriptions", "PID|1||A", "PID|1||A~B", true,
         {{"PID-1          []", "1", "1", false}, {"PID-3          [Patient ID]", "A", "", true},
          {"PID-3(1)       [Patient ID]", "", "A", true},
          {"PID-3(2)       [Patient ID]", "", "B", true}}},
    };
    DescriptionDictionary dictionary;
    dictionary.DescriptionKeys = {"PID-3"};
    dictionary.Descriptions = {"Patient ID"};
    for (const auto& c : cases) {
        CompareOptions options;
        options.descriptions = c.descriptions ? &dictionary : nullptr;
        const std::vector<CompareRow> rows = CompareTexts(c.text1, c.text2, options);
        std::vector<Row> got;
        for (const CompareRow& r : rows) {
            got.push_back({r.name, r.value1, r.value2, r.marked});
            // A marked row marks its non-empty values; an unmarked one none.
            EXPECT_EQ(r.value1Marked, r.marked && !r.value1.empty()) << c.what << " " << r.name;
            EXPECT_EQ(r.value2Marked, r.marked && !r.value2.empty()) << c.what << " " << r.name;
        }
        ASSERT_EQ(got.size(), c.rows.size()) << c.what;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].name, c.rows[i].name) << c.what << " row " << i;
            EXPECT_EQ(got[i].value1, c.rows[i].value1) << c.what << " row " << i;
            EXPECT_EQ(got[i].value2, c.rows[i].value2) << c.what << " row " << i;
            EXPECT_EQ(got[i].marked, c.rows[i].marked) << c.what << " row " << i;
        }
    }
}

// The table as an RTF reader (unrtf) reads it: one HTML table row per row, the cell texts
// escaped back, red on the marked row only.
TEST(CompareRowsToRtf, ReadsBackAsATableWithTheMarkedRowRed)
{
    if (QStandardPaths::findExecutable(QStringLiteral("unrtf")).isEmpty())
        GTEST_SKIP() << "unrtf is not installed";
    const std::vector<CompareRow> rows = {
        {"MSH-3", "A", "B\xE9", true, true, true},
        {"MSH-4", "X{\\}", "X{\\}", false, false, false},
    };
    const std::string rtf = CompareRowsToRtf(rows);
    // Each column padded to its longest text and five blanks.
    EXPECT_NE(rtf.find("MSH-3     \\cell A        \\cell B\\'e9\\cell"), std::string::npos) << rtf;

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteBytes(dir.filePath(QStringLiteral("table.rtf")), rtf);
    QProcess unrtf;
    unrtf.start(QStringLiteral("unrtf"),
                {QStringLiteral("--html"), dir.filePath(QStringLiteral("table.rtf"))});
    ASSERT_TRUE(unrtf.waitForFinished(30000)) << "unrtf did not finish";
    ASSERT_EQ(unrtf.exitCode(), 0) << unrtf.readAllStandardError().toStdString();
    const QString html = QString::fromUtf8(unrtf.readAllStandardOutput());
    ASSERT_TRUE(html.contains(QLatin1String("<table"), Qt::CaseInsensitive)) << html.toStdString();
    const QStringList tableRows = html.split(QStringLiteral("<tr"), Qt::SkipEmptyParts,
                                             Qt::CaseInsensitive);
    ASSERT_EQ(tableRows.size(), 3) << html.toStdString();  // what precedes, then the two rows
    auto isRed = [](const QString& row) {
        return row.contains(QLatin1String("#ff0000"), Qt::CaseInsensitive)
               || row.contains(QLatin1String("#FF0000"));
    };
    const QString& marked = tableRows[1];
    const QString& plain = tableRows[2];
    EXPECT_TRUE(marked.contains(QLatin1String("MSH-3")));
    EXPECT_TRUE(marked.contains(QLatin1String(">A")));
    EXPECT_TRUE(marked.contains(QStringLiteral("B\u00e9"))
                || marked.contains(QLatin1String("B&eacute;")))
        << marked.toStdString();
    EXPECT_TRUE(isRed(marked)) << marked.toStdString();
    EXPECT_TRUE(plain.contains(QLatin1String("MSH-4")));
    EXPECT_TRUE(plain.contains(QLatin1String("X{\\}")));
    EXPECT_FALSE(isRed(plain)) << plain.toStdString();
}

class CompareWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;
    // Three records; the third is the longest and holds a byte above 127.
    const std::string rec1 = "MSH|^~\\&|A\rPID|1||X\r";
    const std::string rec2 = "MSH|^~\\&|B\rPID|1||X|Z\r";
    const std::string rec3 = "MSH|^~\\&|A\rPID|1||X\xE9\rPV1|1\r";

    void SetUp() override
    {
        w.mnuOptionsDisplayFieldDescriptions->setChecked(false);
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("three.hl7", rec1 + rec2 + rec3)));
        ASSERT_EQ(st.records.RecordCount, 3);
    }

    void SelectRows(ListBox* list, std::initializer_list<int> rows)
    {
        const QSignalBlocker block(list);
        list->clearSelection();
        for (int row : rows)
            list->item(row)->setSelected(true);
    }

    // Runs `command`, which shows the comparison window modally; `look` sees the window before
    // it is cancelled. False when no window showed within 10 s.
    static bool WithComparison(const std::function<void()>& command,
                               const std::function<void(frmCompareRecords&)>& look)
    {
        bool seen = false;
        QTimer timer;
        QElapsedTimer clock;
        clock.start();
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* d = qobject_cast<frmCompareRecords*>(QApplication::activeModalWidget());
            if (d) {
                timer.stop();
                seen = true;
                look(*d);
                d->cmdCancel->click();
            } else if (clock.elapsed() > 10000) {
                timer.stop();
                if (QWidget* other = QApplication::activeModalWidget())
                    other->close();
            }
        });
        timer.start();
        command();
        return seen;
    }
};

TEST_F(CompareWindow, ToolsCommandShowsTwoSelectedRecordsAndCopiesRichText)
{
    SelectRows(w.lstRecords, {0, 2});
    const bool seen = WithComparison([&] { w.mnuToolsCompareTwoRecords_Click(); },
                                     [&](frmCompareRecords& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Compare Records/Segments"));
        // The longer text (the second selected record) is the base and the first column.
        EXPECT_EQ(d.lvRecords->headerItem()->text(1), QStringLiteral("Record #2"));
        EXPECT_EQ(d.lvRecords->headerItem()->text(2), QStringLiteral("Record #1"));
        EXPECT_EQ(d.txtRecord[0]->toPlainText(),
                  QStringLiteral("MSH|^~\\&|A\nPID|1||X\u00e9\nPV1|1\n"));
        EXPECT_EQ(d.BoxBytes(0), rec3);
        EXPECT_EQ(d.BoxBytes(1), rec1);
        const struct {
            const char* name;
            QString value1, value2;
            bool marked;
        } expected[] = {{"MSH-1", "|", "|", false},      {"MSH-2", "^~\\&", "^~\\&", false},
                        {"MSH-3", "A", "A", false},      {"PID-1", "1", "1", false},
                        {"PID-3", "X\u00e9", "X", true}, {"PV1-1", "1", "", true}};
        ASSERT_EQ(d.lvRecords->topLevelItemCount(), 6);
        for (int i = 0; i < 6; ++i) {
            const QTreeWidgetItem* item = d.lvRecords->topLevelItem(i);
            const auto& e = expected[i];
            EXPECT_EQ(item->text(0), QString::fromLatin1(e.name));
            EXPECT_EQ(item->text(1), e.value1);
            EXPECT_EQ(item->text(2), e.value2);
            for (int column = 0; column < 3; ++column) {
                const bool red = e.marked && !item->text(column).isEmpty();
                EXPECT_EQ(item->foreground(column).color() == QColor(255, 0, 0), red)
                    << e.name << " column " << column;
                EXPECT_EQ(item->font(column).bold(), red) << e.name << " column " << column;
            }
        }
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        d.cmdCopyToClipboard->click();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->formats(), QStringList{QStringLiteral("text/rtf")});
        EXPECT_TRUE(data->data(QStringLiteral("text/rtf")).startsWith("{\\rtf1"));
        // 12060 by 4000 twips at the least; the table and buttons follow the window's size.
        EXPECT_EQ(d.minimumSize(), QSize(804, 267));
        d.resize(1000, 700);
        const double outerWidth = PixelsToTwips(d.frameGeometry().width());
        const double outerHeight = PixelsToTwips(d.frameGeometry().height());
        EXPECT_EQ(d.lvRecords->size(), QSize(TwipsToPixels(outerWidth - 555),
                                             TwipsToPixels(outerHeight - 2940 - 500)));
        EXPECT_EQ(d.cmdCancel->x(), TwipsToPixels(outerWidth - 2030));
        EXPECT_EQ(d.txtRecord[1]->width(), TwipsToPixels(outerWidth - 3475));
    });
    EXPECT_TRUE(seen);
    EXPECT_TRUE(st.analysis.CompareRecord1.empty());
    EXPECT_TRUE(st.analysis.CompareRecord2.empty());
}

TEST_F(CompareWindow, SubmenuStatesAndTheTwoStepWay)
{
    auto states = [&] {
        w.mnuRecordListCompare_Click();
        return std::tuple{w.mnuRecordListCompareSet1->isEnabled(),
                          w.mnuRecordListCompareSet2->isEnabled(),
                          w.mnuRecordListCompareBoth->isEnabled()};
    };
    w.lstRecords->setCurrentIndex(QModelIndex());
    SelectRows(w.lstRecords, {});
    EXPECT_EQ(states(), std::tuple(false, false, false));
    w.lstRecords->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    SelectRows(w.lstRecords, {0, 1});
    EXPECT_EQ(states(), std::tuple(true, false, true));
    w.mnuRecordListCompareSet1_Click();
    EXPECT_EQ(st.analysis.CompareRecord1, rec2);
    SelectRows(w.lstRecords, {1});
    EXPECT_EQ(states(), std::tuple(true, true, false));

    // Set #2 opens the window at once; closing it forgets both texts.
    w.lstRecords->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    EXPECT_TRUE(WithComparison([&] { w.mnuRecordListCompareSet2_Click(); },
                               [&](frmCompareRecords& d) {
                                   EXPECT_EQ(st.analysis.CompareRecord2, rec1);
                                   EXPECT_EQ(d.BoxBytes(0), rec2);
                               }));
    EXPECT_EQ(states(), std::tuple(true, false, false));

    // A segment of the record shown, without its terminator; the segment submenu alike.
    w.lstRecords->setCurrentRow(2, QItemSelectionModel::ClearAndSelect);
    w.ForceRecordRedisplay = true;
    w.lstRecords_Click();
    w.ForceRecordRedisplay = false;
    ASSERT_EQ(w.lstSegments->count(), 3);
    w.lstSegments->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    w.mnuSegmentListCompare_Click();
    EXPECT_FALSE(w.mnuSegmentListCompareSet2->isEnabled());
    w.mnuSegmentListCompareSet1_Click();
    EXPECT_EQ(st.analysis.CompareRecord1, "PID|1||X\xE9");
    w.mnuSegmentListCompare_Click();
    EXPECT_TRUE(w.mnuSegmentListCompareSet2->isEnabled());
    w.mnuSegmentListCompareClear_Click();
    EXPECT_TRUE(st.analysis.CompareRecord1.empty());

    // Tools with two segments and two records selected takes the segments.
    SelectRows(w.lstSegments, {0, 2});
    SelectRows(w.lstRecords, {0, 1});
    EXPECT_TRUE(WithComparison([&] { w.mnuToolsCompareTwoRecords_Click(); },
                               [&](frmCompareRecords&) {
                                   EXPECT_EQ(st.analysis.CompareRecord1, "MSH|^~\\&|A");
                                   EXPECT_EQ(st.analysis.CompareRecord2, "PV1|1");
                               }));
}

}  // namespace
}  // namespace quillon::test
