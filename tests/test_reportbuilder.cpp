// The report builder's table (rows per occurrence, the "(1)" fallback, Cancel), its reading of a
// designation against the field table's own look-up, and Report Writer from the field list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QTimer>

#include "TestSupport.h"
#include "app/ListBox.h"
#include "records/FieldDesignations.h"
#include "reports/ReportBuilder.h"
#include "reports/frmReport.h"

namespace quillon::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows TableRows(const ReportTable& t)
{
    Rows rows;
    for (size_t r = 0; r < t.RowCount(); ++r) {
        rows.emplace_back();
        for (size_t c = 0; c < t.columns.size(); ++c)
            rows.back().emplace_back(t.Cell(r, c));
    }
    return rows;
}

RecordStore Store(const std::vector<std::string>& records)
{
    RecordStore store;
    for (const std::string& r : records)
        store.Append(r);
    return store;
}

TEST(ReportBuilder, OneRowPerRecordOrPerOccurrenceOfTheFirstField)
{
    const Delimiters d;
    const ReportRules rules{d, '\r', true};
    const std::string msh = "MSH|^~\\&|A|B|||20260101||ORU^R01|";
    struct Case {
        std::vector<std::string> records;
        std::vector<std::string> designations;
        Rows rows;
    };
    const std::vector<Case> cases = {
        // No columns: no rows either.
        {{msh + "1\rPID|1||X\r"}, {}, {}},
        // The same designation twice gives two identical columns.
        {{msh + "1\rPID|1||X\r", msh + "2\rPID|1||Y\r"},
         {"PID-3", "PID-3"},
         {{"X", "X"}, {"Y", "Y"}}},
        // Three OBX give three rows; the twice-present NTE-3 shows its second value on the last.
        {{msh + "7\rOBX|1||a\rNTE|1||n1\rOBX|2||b\rNTE|2||n2\rOBX|3||c\r"},
         {"OBX-3", "NTE-3", "MSH-10"},
         {{"a", "", ""}, {"b", "", ""}, {"c", "n2", "7"}}},
        // A record without the first column's field still gives one row, with empty text.
        {{msh + "1\rPID|1||X\r", msh + "2\rPV1|1\r"}, {"PID-3", "MSH-10"}, {{"X", "1"}, {"", "2"}}},
        // An empty "(1)" falls back when the probe before the second "-" does not repeat
        // (PID-3(1)-1 probes PID-3(1)); a designation without a second "-" probes its field.
        {{msh + "1\rPID|1||ID1^^^MR||DOE\r", msh + "2\rPID|1||^X~ID3^^^MR||DOE\r"},
         {"PID-3(1)-1", "PID-3-1(1)", "PID-5(1)", "PID-3(1)"},
         {{"ID1^^^MR", "ID1", "DOE", "ID1^^^MR"}, {"X~ID3^^^MR", "", "DOE", ""}}},
    };
    for (const Case& c : cases) {
        const RecordStore store = Store(c.records);
        const ReportTable t = BuildReport(store, c.designations, rules);
        EXPECT_FALSE(t.cancelled);
        EXPECT_EQ(t.columns, c.designations);
        EXPECT_EQ(TableRows(t), c.rows) << c.records.front();
    }

    // Cancel: the progress callback says stop, and the table says it was stopped.
    const RecordStore many = Store(std::vector<std::string>(1000, msh + "1\rPID|1||X\r"));
    int calls = 0;
    const ReportTable stopped = BuildReport(many, {"PID-3"}, rules, [&](int32_t record, int32_t count) {
        ++calls;
        EXPECT_LT(record, count);
        return false;
    });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(calls, 1);
    EXPECT_LT(stopped.RowCount(), 1000u);
}

// Cells are read from the store's records after the build: records received meanwhile (the
// build lets events run) move the short ones, whose texts live inside the array, and a text too
// long to be pointed at is kept in the table.
TEST(ReportBuilder, CellsStayRightWhenTheStoreGrowsDuringTheBuild)
{
    const Delimiters d;
    const ReportRules rules{d, '\r', true};
    RecordStore store;
    const std::string longText(5000, 'L');
    store.Append("PID|1||" + longText);
    for (int i = 2; i <= 1000; ++i)
        store.Append("PID|1||" + std::to_string(i));
    bool grown = false;
    const ReportTable t = BuildReport(store, {"PID-3"}, rules, [&](int32_t, int32_t) {
        for (int i = 0; i < 5000 && !grown; ++i)
            store.Append("PID|1||new");
        grown = true;
        return true;
    });
    ASSERT_TRUE(grown);
    ASSERT_EQ(t.RowCount(), 1000u);
    EXPECT_EQ(t.Cell(0, 0), longText);
    for (size_t r = 1; r < 1000; ++r)
        ASSERT_EQ(t.Cell(r, 0), std::to_string(r + 1));
}

TEST(ReportBuilder, ReadsWhatTheFieldTableLookUpReads)
{
    const Delimiters d;
    const std::vector<std::string> records = {
        "MSH|^~\\&|A|B|||20260101||ADT^A01|MSG1|P|2.4\rPID|1||ID1^^^MR~ID2^^^SS~||DOE^^J~ROE\r"
        "PID|2||ID9||^ANN\rOBX|1|NM|C^Obs^L||5.1|||A~B^C~\rOBX|2||\rNTE\r",
        "MSH|^~\\&\rPID|1||^^^~~X\rPID|1||||A^B\rZZZ|1|2",
        "PID||~|^\r\rPID-3\r",
        "",
    };
    const std::vector<std::string> designations = {
        "MSH-1", "MSH-2", "MSH-9", "MSH-9-1", "MSH-9-2", "MSH-10-1", "MSH-2-1", "PID-1", "PID-2",
        "PID-3", "PID-3(1)", "PID-3(2)", "PID-3(3)", "PID-3-1", "PID-3-4", "PID-3-1(1)",
        "PID-3-4(2)", "PID-3-1(3)", "PID-5", "PID-5-1", "PID-5-2", "PID-5(2)", "PID-5-1(2)",
        "OBX-5", "OBX-5-1", "OBX-8", "OBX-8(1)", "OBX-8(2)", "OBX-8-1(2)", "OBX-8-2", "OBX-9",
        "NTE-1", "ZZZ-2", "PID-03", "PID-3(01)", "PID-3(1)-1", "pid-3", "PID", "PID-", "PID-0",
        "FHS-1", "MSH-1-1"};
    for (const bool empties : {true, false}) {
        const ReportRules rules{d, '\r', empties};
        for (const std::string& r : records)
            for (const std::string& x : designations)
                EXPECT_EQ(ReportFieldValue(r, x, rules), WhatIsInFieldNew(r, x, d, '\r', empties))
                    << x << " empties " << empties << " in " << r;
    }
}

// Report Writer on two selected field lines: the report's rows, Copy's text, Select All and Cut;
// the main window keeps the hourglass while the report shows.
TEST(ReportWindow, ReportWriterFromTheFieldList)
{
    MainWindowFixture f;
    frmMain& w = *f.window;
    std::string bytes;
    const char* names[] = {"DOE", "SMITHSON", "LI"};
    for (int i = 1; i <= 3; ++i)
        bytes += "MSH|^~\\&|A|B|||20260101||ADT^A01|M" + std::to_string(i) + "|P|2.3\rPID|1||ID" +
                 std::to_string(i) + "||" + names[i - 1] + "^JO\r";
    ASSERT_TRUE(w.LoadHL7File(f.WriteFile("three.hl7", bytes)));
    w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    w.lstRecords_Click();
    w.lstFields->selectionModel()->clearSelection();
    for (int j = 0; j < w.lstFields->count(); ++j) {
        const QString line = w.lstFields->item(j)->text();
        if (line.startsWith(QStringLiteral("PID-5-1 ")) || line.startsWith(QStringLiteral("MSH-10 ")))
            w.lstFields->item(j)->setSelected(true);
    }

    bool shown = false;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* r = qobject_cast<frmReport*>(QApplication::activeModalWidget());
        if (r == nullptr)
            return;
        timer.stop();
        shown = true;
        EXPECT_EQ(r->windowTitle(), QStringLiteral("Report Writer"));
        EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor);
        EXPECT_EQ(r->DisplayedDesignations(), (std::vector<std::string>{"MSH-10", "PID-5-1"}));
        ASSERT_EQ(r->lvReportList->topLevelItemCount(), 3);
        EXPECT_EQ(r->lvReportList->topLevelItem(1)->text(1), QStringLiteral("SMITHSON"));

        r->mnuCopyToClipboard_Click();  // nothing selected: the header line alone
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("MSH-10  PID-5-1  \r\n"));
        r->lvReportList->header()->moveSection(1, 0);  // copied where it is shown
        r->mnuEditSelectAll_Click();
        r->mnuCopyToClipboard_Click();
        EXPECT_EQ(QApplication::clipboard()->text(),
                  QStringLiteral("PID-5-1   MSH-10  \r\nDOE       M1      \r\n"
                                 "SMITHSON  M2      \r\nLI        M3      \r\n"));
        EXPECT_EQ(r->DisplayedDesignations(), (std::vector<std::string>{"PID-5-1", "MSH-10"}));

        r->lvReportList->clearSelection();
        r->mnuFileCut_Click();  // no selection: nothing changes
        EXPECT_EQ(r->lvReportList->topLevelItemCount(), 3);
        r->lvReportList->topLevelItem(1)->setSelected(true);
        r->mnuFileCut_Click();
        ASSERT_EQ(r->lvReportList->topLevelItemCount(), 2);
        EXPECT_EQ(r->lvReportList->topLevelItem(1)->text(0), QStringLiteral("M3"));
        r->mnuEditSelectAll_Click();
        r->mnuFileCut_Click();
        EXPECT_EQ(r->lvReportList->topLevelItemCount(), 0);
        EXPECT_EQ(r->lvReportList->columnCount(), 2);
        r->mnuFileExit_Click();
    });
    timer.start();
    w.mnuFieldListPrintReport_Click();
    timer.stop();
    EXPECT_TRUE(shown);
    EXPECT_NE(w.cursor().shape(), Qt::WaitCursor);
}

}  // namespace
}  // namespace quillon::test
