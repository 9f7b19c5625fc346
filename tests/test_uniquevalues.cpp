// Unique field values: the value of a designation in one segment, the count over all records with
// its order and lines, and the window with its preset, refusal, copy and a close during a run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "TestSupport.h"
#include "analysis/UniqueValues.h"
#include "analysis/frmUniqueFieldValues.h"

namespace quillon::test {
namespace {

TEST(FieldValues, TableAndLookUp)
{
    const Delimiters d;
    using Rows = FieldValueTable;
    struct Row {
        std::string segment;
        bool empties;
        std::string repetition;
        std::string designation;
        std::string value;
    };
    // Each case: the segment, Display Empty Fields, FilterRepetition, the designation, the value.
    const std::vector<Row> cases = {
        {"PID|1||X||Smith^John~Doe^Jane", true, "0", "PID-5", "Smith^John^Doe^Jane"},
        {"PID|1||X||Smith^John~Doe^Jane", true, "0", "PID-5-1", "Smith"},
        {"PID|1||X||Smith^John~Doe^Jane", true, "2", "PID-5-1", "Doe"},
        {"PID|1||X||Smith^^Q", false, "0", "PID-5", "Smith^Q"},
        {"PID|1||X||^John", false, "0", "PID-5", "^John"},
        {"PID|1||X||Smith^^Q", true, "0", "PID-5", "Smith^^Q"},
        {"PID|1||X||Smith", true, "0", "PID-5-1", "Smith"},
        {"PID|1||X||Smith", true, "0", "PID-5-2", ""},
        {"PID|1|2|3|4|5|6", true, "0", "PID-7", ""},
        {"PID|1||A~B~C", true, "2", "PID-3(2)", "B"},
        {"PID|1||A~B", true, "3", "PID-3(3)", ""},
        {"PID|1||A~~C", false, "2", "PID-3(2)", "C"},
        {"PID|1||A~B~C", true, "(2)", "PID-3(2)", "A"},
        {"PID|1||A^1~B^2", true, "2", "PID-3", "A^1^B^2"},
        {"PID|1||X", true, "0", "pid-3", ""},
        {"PID|1||X", true, "0", "PID-2", ""},
        {"MSH|^~\\&|APP", true, "0", "MSH-1", "|"},
        {"MSH|^~\\&|APP", true, "0", "MSH-3", "APP"},
    };
    for (const Row& c : cases) {
        const FieldValueRules rules{d, '\r', c.empties, c.repetition};
        EXPECT_EQ(GetFieldValues(c.segment, c.designation, rules), c.value)
            << c.segment << " " << c.designation << " rep " << c.repetition;
    }
    const FieldValueRules on{d, '\r', true, "0"};
    EXPECT_EQ(ParseRecordToFieldTable("MSH|^~\\&|APP", on),
              (Rows{{"MSH-1", "|"}, {"MSH-2", "^~\\&"}, {"MSH-3", "APP"}}));
    EXPECT_EQ(ParseRecordToFieldTable("PID|1||X", on),
              (Rows{{"PID-1", "1"}, {"PID-2", ""}, {"PID-3", "X"}}));
    EXPECT_EQ(ParseRecordToFieldTable("PID|||||Smith^John~Doe^Jane", on).back(),
              (FieldTableRow{"PID-5-2", "Jane"}));
}

RecordStore StoreOf(const std::vector<std::string>& records)
{
    RecordStore store;
    for (const std::string& r : records)
        store.Append(r);
    return store;
}

TEST(UniqueValues, CountsSortsAndFormats)
{
    struct Case {
        const char* name;
        std::vector<std::string> records;
        std::string designation;
        QStringList lines;
        qsizetype total;
        const char* fieldSeparator = "|";
    };
    const std::vector<Case> cases = {
        {"letter case: the text met first, segments last to first",
         {"MSH|^~\\&|A\rOBX|1||b\rOBX|2||B\r", "MSH|^~\\&|A\rOBX|1||x\r"},
         "OBX-3",
         {"      2  ( 66.67%)     \"B\"", "      1  ( 33.33%)     \"x\""},
         3},
        {"empty value first, then by code; three OBX, none, one without the field",
         {"MSH|^~\\&|A\rOBX|1|a\rOBX|2|Z\rOBX|3|5\r", "MSH|^~\\&|A\r", "MSH|^~\\&|A\rOBX\r"},
         "OBX-2",
         {"      1  ( 25.00%)     \"\"", "      1  ( 25.00%)     \"5\"",
          "      1  ( 25.00%)     \"Z\"", "      1  ( 25.00%)     \"a\""},
         4},
        {"MSH-1 is the fourth character",
         {"MSH#^~\\&#A\r"},
         "MSH-1",
         {"      1  (100.00%)     \"#\""},
         1},
        {"values split at |",
         {"MSH#^~\\&#A\rPID#1#x|y\r"},
         "PID-2",
         {"      1  ( 50.00%)     \"x\"", "      1  ( 50.00%)     \"y\""},
         2,
         "#"},
    };
    for (const Case& c : cases) {
        Delimiters d;
        d.FieldSeparator = c.fieldSeparator;
        const FieldValueRules rules{d, '\r', true, "0"};
        const RecordStore store = StoreOf(c.records);
        const UniqueValuesResult r = CountUniqueValues(store, c.designation, rules);
        EXPECT_EQ(UniqueValueLines(r, QStringLiteral(","), QStringLiteral(".")), c.lines) << c.name;
        EXPECT_EQ(r.total, c.total) << c.name;
    }
    // A large count shows whole and widens the column.
    UniqueValuesResult big;
    big.values = {{"A", 1234567}};
    big.total = 1234567;
    EXPECT_EQ(UniqueValueLines(big, QStringLiteral(","), QStringLiteral(".")),
              QStringList{"1,234,567  (100.00%)     \"A\""});
    EXPECT_EQ(UniqueValuesCountWidth(big, QStringLiteral(",")), 9);
    EXPECT_EQ(CleanUniqueValuesDesignation("PID- 5- 1   Patient Name"), "PID-5-1");
}

}  // namespace
}  // namespace quillon::test
