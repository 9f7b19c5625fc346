// Unique field values: the value of a designation in one segment, the count over all records with
// its order and lines, and the window with its preset, refusal, copy and a close during a run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <cctype>
#include <map>
#include <random>

#include "TestSupport.h"
#include "analysis/UniqueValues.h"
#include "analysis/frmUniqueFieldValues.h"
#include "records/LetterCase.h"

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

// The report's lines one by one, checked against its whole text.
QStringList LinesOf(UniqueValuesResult r)
{
    const UniqueValuesReport report(std::move(r), QStringLiteral(","), QStringLiteral("."));
    QStringList lines;
    for (qsizetype i = 0; i < report.LineCount(); ++i)
        lines << report.Line(i);
    EXPECT_EQ(report.Text(), lines.isEmpty() ? QString() : lines.join(QStringLiteral("\r\n")) + "\r\n");
    return lines;
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
        UniqueValuesResult r = CountUniqueValues(store, c.designation, rules);
        EXPECT_EQ(r.total, c.total) << c.name;
        EXPECT_EQ(LinesOf(std::move(r)), c.lines) << c.name;
    }
    // A large count shows whole and widens the column.
    UniqueValuesResult big;
    big.values = {{"A", 1234567}};
    big.order = {0};
    big.total = 1234567;
    EXPECT_EQ(UniqueValuesCountWidth(big, QStringLiteral(",")), 9);
    EXPECT_EQ(LinesOf(std::move(big)), QStringList{"1,234,567  (100.00%)     \"A\""});
    EXPECT_EQ(CleanUniqueValuesDesignation("PID- 5- 1   Patient Name"), "PID-5-1");
}

TEST(UniqueValues, CountsTheValueGetFieldValuesGives)
{
    // Each segment, counted alone, gives the one value GetFieldValues gives for it, under both
    // Display Empty Fields settings and for the first and the second occurrence.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"PID|1||X||Smith^^Q", "PID-5"},     {"PID|1||X||^John^", "PID-5"},
        {"PID|1||X||Smith", "PID-5"},        {"PID|1||A~~C", "PID-3"},
        {"PID|1||A^1~B^2", "PID-3"},         {"PID|1|2", "PID-7"},
        {"PID|1||X||Doe^J", "PID-5(2)"},     {"MSH|^~\\&|APP", "MSH-2"},
        {"MSH|^~\\&|APP", "MSH-3"},          {"MSHX|a|b|c", "MSH-3"},
        {"MSH||APP", "MSH-2"},               {"PID|1||X||Smith^^Q", "PID-5-1"},
    };
    const Delimiters d;
    for (const auto& [segment, designation] : cases)
        for (const bool empties : {true, false})
            for (const char* repetition : {"0", "2"}) {
                const FieldValueRules rules{d, '\r', empties, repetition};
                const UniqueValuesResult r =
                    CountUniqueValues(StoreOf({segment + "\r"}), designation, rules);
                ASSERT_EQ(r.values.size(), 1u) << segment << " " << designation;
                EXPECT_EQ(r.values[0].text, GetFieldValues(segment, designation, rules))
                    << segment << " " << designation << " empties " << empties << " rep "
                    << repetition;
            }
}

TEST(UniqueValues, EveryPlaceInARecordAndTheOrderOfMany)
{
    const Delimiters d;
    const FieldValueRules rules{d, '\r', true, "0"};
    // Values around every 16-byte step of a record, first or last in it (with and without a last
    // end of block), twice in one record, up to longer than a text block's share; each counted
    // where GetFieldValues finds it in the record split by hand.
    const std::vector<std::string> values = {"",
                                             "x",
                                             std::string(15, 'a'),
                                             std::string(16, 'b'),
                                             std::string(17, 'c'),
                                             std::string(100, 'd'),
                                             std::string(300000, 'e')};
    RecordStore store;
    std::map<std::string, qsizetype> expected;
    for (size_t pad = 0; pad < 40; ++pad)
        for (const std::string& value : values) {
            const std::string pid = "PID|" + std::string(pad, 'p') + "||" + value;
            const std::string other = "ZZZ|" + std::string(pad, 'z');
            for (const std::string& record :
                 {pid + "\r" + other + "\r", "MSH|^~\\&|A\r" + other + "\r" + pid,
                  other + "\r" + pid + "\r" + pid + "\r"}) {
                store.Append(record);
                size_t from = 0;
                for (size_t at = record.find('\r'); from <= record.size();
                     from = at + 1, at = record.find('\r', from)) {
                    const std::string segment =
                        record.substr(from, at == std::string::npos ? std::string::npos : at - from);
                    if (segment.starts_with("PID"))
                        ++expected[GetFieldValues(segment, "PID-3", rules)];
                    if (at == std::string::npos)
                        break;
                }
            }
        }
    const UniqueValuesResult r = CountUniqueValues(store, "PID-3", rules);
    std::map<std::string, qsizetype> counted;
    for (const UniqueValue& v : r.values)
        counted[std::string(v.text)] += v.count;
    EXPECT_EQ(counted, expected);
    EXPECT_EQ(r.total, 40 * 7 * 4);

    // Enough values for the radix sort: beginnings shared by all or by some, longer than its
    // eight bytes, ties within them, a byte above 127, the empty value; met in no order.
    for (const bool allShare : {false, true}) {
        std::vector<std::string> texts = allShare ? std::vector<std::string>{}
                                                  : std::vector<std::string>{"", "S"};
        const char* beginnings[] = {"SAME-PREFIX-", "SAME-PREFIX-ABCDEFGH-", "SAME-PREFIX-9/"};
        for (int i = 0; i < 400; ++i)
            texts.push_back(std::string(allShare ? "" : i % 2 ? "S" : "T") + beginnings[i % 3]
                            + std::to_string(i * 919 % 1000) + (i % 5 == 0 ? "\xE9" : ""));
        RecordStore many;
        for (const std::string& t : texts)
            many.Append("PID|1||" + t + "\r");
        const UniqueValuesResult sorted = CountUniqueValues(many, "PID-3", rules);
        std::sort(texts.begin(), texts.end());
        ASSERT_EQ(sorted.order.size(), texts.size()) << allShare;
        for (size_t k = 0; k < texts.size(); ++k)
            ASSERT_EQ(sorted.Sorted(k).text, texts[k]) << allShare << " at " << k;
    }
}

TEST(UniqueValues, ManyRecordsOnSeveralThreadsInChunks)
{
    // Enough records for several threads and chunks. New values keep coming to the end, each
    // time in letters of any case, two PID segments a record: the text kept for a value is the
    // one met first in record order, segments last to first, wherever threads and chunks split.
    // Progress calls append records, which are not counted; a false answer stops the run.
    const Delimiters d;
    std::mt19937 random(7);
    RecordStore records;
    for (int r = 0; r < 200000; ++r) {
        std::string record = "MSH|^~\\&|A\r";
        for (int segment = 1; segment <= 2; ++segment) {
            std::string word;
            for (int k = static_cast<int>(random() % (r / 3 + 1)); k > 0 || word.empty(); k /= 26)
                word += static_cast<char>((random() % 2 ? 'a' : 'A') + k % 26);
            std::string again = word + "x";
            for (char& c : again)
                c = static_cast<char>(random() % 2 ? std::toupper(c) : std::tolower(c));
            record += "PID|" + std::to_string(segment) + "||" + word + "^^" + again + "\r";
        }
        records.Append(std::move(record));
    }
    struct Case {
        const char* name;
        const char* designation;
        bool empties;
        int stopAtCall;  // 0: never
    };
    const std::vector<Case> cases = {
        {"values lying in the records", "PID-3", true, 0},
        {"values rebuilt without their empty component", "PID-3", false, 0},
        {"components taken by the general walk", "PID-3-3", true, 0},
        {"stopped after the second chunk", "PID-3", true, 2},
    };
    for (const Case& c : cases) {
        const FieldValueRules rules{d, '\r', c.empties, "0"};
        RecordStore store = records;
        std::map<std::string, std::pair<std::string, qsizetype>> expected;  // folded: first, count
        for (int32_t i = 1; i <= records.RecordCount && c.stopAtCall == 0; ++i) {
            const std::string_view record = store.Record(i);
            const size_t second = record.rfind("PID|");
            for (const size_t at : {second, record.find("PID|")}) {
                const std::string value = GetFieldValues(
                    record.substr(at, record.find('\r', at) - at), c.designation, rules);
                std::string folded = value;
                for (char& ch : folded)
                    ch = static_cast<char>(FoldCase(static_cast<unsigned char>(ch)));
                ++expected.try_emplace(folded, value, 0).first->second.second;
            }
        }
        int scanning = 0;
        bool sorting = false;
        const UniqueValuesResult r = CountUniqueValues(
            store, c.designation, rules, [&](UniqueValuesPhase phase, int32_t, int32_t) {
                sorting = sorting || phase == UniqueValuesPhase::Sorting;
                if (phase == UniqueValuesPhase::Scanning) {
                    ++scanning;
                    store.Append("MSH|^~\\&|A\rPID|1||appended\r");  // may move every record
                }
                return scanning != c.stopAtCall;
            });
        if (c.stopAtCall != 0) {
            EXPECT_TRUE(r.cancelled && r.values.empty()) << c.name;
            EXPECT_EQ(scanning, c.stopAtCall) << c.name;
            EXPECT_FALSE(sorting) << c.name;
            continue;
        }
        EXPECT_GE(scanning, 2) << c.name;
        EXPECT_GT(r.values.size(), 32768u) << c.name;  // enough to be sorted on several threads
        std::map<std::string, qsizetype> counted, wanted;
        for (const UniqueValue& v : r.values)
            counted[std::string(v.text)] = v.count;
        for (const auto& [folded, firstAndCount] : expected)
            wanted[firstAndCount.first] = firstAndCount.second;
        EXPECT_EQ(counted, wanted) << c.name;
        EXPECT_EQ(r.total, 2 * records.RecordCount) << c.name;
        ASSERT_EQ(r.order.size(), r.values.size()) << c.name;
        for (size_t k = 1; k < r.order.size(); ++k)
            ASSERT_LT(r.Sorted(k - 1).text, r.Sorted(k).text) << c.name << " at " << k;
    }
}

// Polls for the modal report window and works it once `ready` (never from inside a run, which
// lets events run); closes it at the end. The window's own runs bound the wait.
std::unique_ptr<QTimer> DriveUniqueValues(
    std::function<void(frmUniqueFieldValues&)> step,
    std::function<bool(frmUniqueFieldValues&)> ready = [](frmUniqueFieldValues&) { return true; })
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(0);
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, [t, step = std::move(step), ready = std::move(ready)] {
        auto* d = qobject_cast<frmUniqueFieldValues*>(QApplication::activeModalWidget());
        if (!d || !ready(*d))
            return;
        t->stop();
        step(*d);
        if (d->isVisible())
            d->cmdCommand[1]->click();
    });
    t->start();
    return timer;
}

TEST(UniqueValuesWindow, PresetRefusalCopyAndStopsDuringRun)
{
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;
    st.dictionary.DescriptionKeys = {"MSH-10", "PID-3"};
    st.dictionary.Descriptions = {"Message Control ID", "Patient ID"};
    st.dictionary.SegmentNames = {"MSH", "PID"};
    std::string bytes;
    for (int i = 1; i <= 500; ++i)
        bytes += "MSH|^~\\&|A|B|||20260101||ADT^A01|" + std::to_string(i) + "|P|2.3\rPID|1||ID"
                 + std::to_string(i) + "~R" + std::to_string(i % 5) + "||DOE^JOHN\r";
    ASSERT_TRUE(w.LoadHL7File(f.WriteFile("five-hundred.hl7", bytes)));
    w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    w.lstRecords_Click();
    int line = -1;
    for (int j = 0; j < w.lstFields->count() && line < 0; ++j)
        if (w.lstFields->item(j)->text().startsWith(QStringLiteral("PID-3(2)")))
            line = j;
    ASSERT_GE(line, 0);
    w.lstFields->setCurrentRow(line, QItemSelectionModel::ClearAndSelect);

    const QString before = QStringLiteral("cleared by an empty copy");
    QStringList lines;
    // The preset runs as soon as the window shows.
    auto drive = DriveUniqueValues([&](frmUniqueFieldValues& d) {
        for (int i = 0; i < d.lstUniqueValues->model()->rowCount(); ++i)
            lines << d.lstUniqueValues->model()->index(i, 0).data().toString();
        EXPECT_EQ(d.cboSegmentFind->currentText(), QStringLiteral("PID"));
        EXPECT_TRUE(d.cboFieldFind->currentText().startsWith(QStringLiteral("PID- 3      PATIENT ID")));
        EXPECT_TRUE(d.Label1[2]->isVisible());
        d.cmdCommand[2]->click();
        EXPECT_EQ(QApplication::clipboard()->text(), lines.join(QStringLiteral("\r\n")) + "\r\n");
        QApplication::clipboard()->setText(before);
        d.cboFieldFind->setEditText(QString());
        d.cmdCommand[0]->click();
        EXPECT_EQ(d.lstUniqueValues->model()->rowCount(), 0);
        d.cmdCommand[2]->click();
        EXPECT_EQ(QApplication::clipboard()->text(), QString());
    }, [](frmUniqueFieldValues& d) { return d.lstUniqueValues->model()->rowCount() > 0 && !d.Running(); });
    w.mnuFieldListUniqueValues_Click();
    EXPECT_EQ(st.editing.FilterRepetition, "2");
    EXPECT_EQ(lines.size(), 5);
    EXPECT_EQ(lines.value(0), QStringLiteral("    100  ( 20.00%)     \"R0\""));
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown()[0].text, QStringLiteral("Please select a segment then a field."));
    EXPECT_EQ(f.responder.shown()[0].title, QStringLiteral("No Field Selected"));
    EXPECT_EQ(f.responder.shown()[0].icon, platform::MsgIcon::Information);
    EXPECT_TRUE(st.analysis.UniqueValuesField.empty());

    // Run Report pressed again during a run starts over once; closing during a run stops it.
    st.editing.FilterRepetition = "0";  // the Tools menu leaves the field list's "2"
    for (int i = 0; i < 20000; ++i)
        st.records.Append("MSH|^~\\&|A|B|||20260101||ADT^A01|X" + std::to_string(i % 7) + "\r");
    for (const bool close : {false, true}) {
        bool acted = false;
        int rows = -1;
        auto during = DriveUniqueValues([&](frmUniqueFieldValues& d) {
            d.cboFieldFind->setEditText(QStringLiteral("MSH-10"));
            QTimer act;
            QObject::connect(&act, &QTimer::timeout, [&] {
                if (!d.Running() || acted)
                    return;
                acted = true;
                d.cmdCommand[close ? 1 : 0]->click();
            });
            act.start(0);
            d.cmdCommand[0]->click();
            rows = d.lstUniqueValues->model()->rowCount();
        });
        w.mnuToolsDetermineUniqueFieldValues_Click();
        EXPECT_TRUE(acted) << close;
        EXPECT_EQ(rows, close ? 0 : 500 + 7) << close;
    }
}

}  // namespace
}  // namespace quillon::test
