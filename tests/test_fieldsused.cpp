// Determine What Fields Are Used: the lines collected from the records and their order, the
// result window's three check boxes and its copy, and the Tools command with its progress
// window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "TestSupport.h"
#include "analysis/FieldsUsed.h"
#include "analysis/frmFieldsUsed.h"
#include "app/frmProgressIndicator.h"

namespace quillon::test {
namespace {

using Lines = std::vector<std::string>;

TEST(FieldsUsed, GetSegmentFieldPrefixAndSortKey)
{
    const struct {
        std::string designation, prefix, key;
    } cases[] = {
        {"PID-3-1", "PID-3", "PID- 3- 1"},
        {"PID-3-1(2)", "PID-3", "PID- 3- 1(2)"},
        {"PID-3", "PID-3", "PID- 3"},
        {"PID", "", "PID"},
        {"MSH-10", "MSH-10", "MSH-10"},
        {"ZZZ-123-4(10)", "ZZZ-123", "ZZZ-123- 4(10)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetSegmentFieldPrefix(c.designation), c.prefix) << c.designation;
        EXPECT_EQ(FieldsUsedSortKey(c.designation), c.key) << c.designation;
    }
}

DescriptionDictionary Dictionary()
{
    DescriptionDictionary d;
    d.DescriptionKeys = {"MSH-1", "PID-3", "PID-3-1", "PID-5"};
    d.Descriptions = {"Field Separator", "Patient ID", "ID Number",
                      "Patient Name Which Runs Past The Column"};
    return d;
}

RecordStore Store(const Lines& records)
{
    RecordStore store;
    for (const std::string& r : records)
        store.Append(r);
    return store;
}

TEST(FieldsUsed, CollectsDistinctDesignationsInOrder)
{
    // ZZZ-10 with its 100th repetition holding a 5000th component: a 16-character designation.
    const std::string longField =
        "ZZZ|||||||||A|" + std::string(99, '~') + std::string(4999, '^') + "X\r";
    const struct {
        const char* name;
        Lines records;
        bool descriptions, compound, segment;
        Lines view;
        Lines expected;
    } cases[] = {
        {"empty fields give no line, a field filled once gives one",
         {"EVN\rPID|1||\r", "PID|||X\r", "PID|2||\r"}, false, true, true, {},
         {"PID-1", "PID-3"}},
        {"MSH-2 unsplit, FHS-2 split",
         {"MSH|^~\\&|A\rFHS|^~\\&|B\r"}, false, true, false, {},
         {"FHS-1", "FHS-2", "FHS-2(2)", "FHS-3", "MSH-1", "MSH-2", "MSH-3"}},
        {"both compound options off", {"PID|1||A~B^C||X^Y\r"}, false, false, false, {},
         {"PID-1", "PID-3(1)", "PID-3-1(2)", "PID-3-2(2)", "PID-5-1", "PID-5-2"}},
        {"the field, its repetitions, its components with theirs; descriptions",
         {"PID|||A~B|X|Name\r", "PID|||A^B\r", "PID|||A^~C^\r"}, true, false, true, {},
         {"PID-3           [Patient ID]", "PID-3(1)        [Patient ID]",
          "PID-3(2)        [Patient ID]", "PID-3-1         [ID Number]",
          "PID-3-1(1)      [ID Number]", "PID-3-1(2)      [ID Number]",
          "PID-3-2         []", "PID-4           []",
          "PID-5           [Patient Name Which Runs Past The Colum"}},
        {"a view drops plain fields outside it only",
         {"MSH|^~\\&|A|B\rPID|1||X^Y|Z|W\r"}, false, true, true, {"PID-5"},
         {"MSH-1", "MSH-2", "PID-3", "PID-3-1", "PID-3-2", "PID-5"}},
        {"repetition numbers are not aligned", {"PID|||1~2~3~4~5~6~7~8~9~10\r"}, false, false,
         false, {},
         {"PID-3(1)", "PID-3(10)", "PID-3(2)", "PID-3(3)", "PID-3(4)", "PID-3(5)", "PID-3(6)",
          "PID-3(7)", "PID-3(8)", "PID-3(9)"}},
        {"a long designation cut to 15, field numbers in order", {longField}, false, false, false,
         {}, {"ZZZ-9", "ZZZ-10-5000(100"}},
    };
    const DescriptionDictionary dictionary = Dictionary();
    for (const auto& c : cases) {
        DisplayOptions options;
        options.DisplayFieldDescriptions = c.descriptions;
        options.DisplayCompoundFields = c.compound;
        options.DisplaySegmentDescriptions = c.segment;
        const FieldsUsedResult result = DetermineFieldsUsed(Store(c.records), Delimiters(), '\r',
                                                            dictionary, c.view, options);
        EXPECT_FALSE(result.cancelled);
        EXPECT_EQ(result.lines, c.expected) << c.name;
    }
}

TEST(FieldsUsed, ProgressCallsChangeOptionsOrStop)
{
    // The first look comes after 256 records.
    const RecordStore store = Store(Lines(600, "PID|1\r"));
    DisplayOptions options;
    const DescriptionDictionary dictionary = Dictionary();
    const FieldsUsedResult switched = DetermineFieldsUsed(
        store, Delimiters(), '\r', dictionary, {}, options, [](int32_t, DisplayOptions& o) {
            o.DisplayFieldDescriptions = false;
            return true;
        });
    EXPECT_EQ(switched.lines, (Lines{"PID-1", "PID-1           []"}));
    const FieldsUsedResult stopped = DetermineFieldsUsed(
        store, Delimiters(), '\r', dictionary, {}, options,
        [](int32_t, DisplayOptions&) { return false; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.examined, 256);
    EXPECT_EQ(stopped.lines, (Lines{"PID-1           []"}));
}

TEST(FieldsUsed, DisplayDataFollowsTheCheckBoxes)
{
    const Lines lines = {"PID-3           [Patient ID]", "PID-3(1)        [Patient ID]",
                         "PID-3(2)        [Patient ID]", "PID-3-1(1)      [ID Number]",
                         "PID-3-1(2)      [ID Number]",  "PID-5           [Name (legal)]",
                         "ZZZ-1(1)",                    "ZZZ-1(2)",
                         "ZZZ-2",                       "ZZZ-3)x(1"};
    const struct {
        const char* name;
        Lines lines;
        FieldsUsedSwitches switches;
        Lines expected;
    } cases[] = {
        {"as collected", lines, {}, lines},
        {"descriptions off", {lines[0], lines[1], lines[6]}, {false, true, false},
         {"PID-3          ", "PID-3(1)       ", "ZZZ-1(1)       "}},
        {"repeating merged", lines, {true, false, false},
         {"PID-3           [Patient ID]", "PID-3-1         [ID Number]",
          "PID-5           [Name        ]", "ZZZ-1   ", "ZZZ-2", "ZZZ-3)x(1"}},
        {"last field of each segment", lines, {true, true, true},
         {"PID-5           [Name (legal)]", "ZZZ-3)x(1"}},
        {"one line under last field", {"PID-3"}, {true, true, true}, {"PID-3"}},
        {"empty", {}, {false, false, true}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldsUsedDisplayLines(c.lines, c.switches), c.expected) << c.name;
}

class FieldsUsedWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override
    {
        std::string bytes;
        for (int i = 1; i <= 600; ++i)
            bytes += "MSH|^~\\&|A|B\rPID|1||ID" + std::to_string(i) + "~X\r";
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("six-hundred.hl7", bytes)));
        w.mnuOptionsDisplayFieldDescriptions->setChecked(false);
    }

    static QStringList Items(const QListWidget* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }
};

TEST_F(FieldsUsedWindow, CancelShowsNothingAndARunShowsTheLines)
{
    // Cancel as soon as the progress window shows: no result window follows.
    bool resultShown = false;
    QTimer drive;
    drive.setInterval(0);
    QObject::connect(&drive, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* p = qobject_cast<frmProgressIndicator*>(modal)) {
            p->cmdCancel->click();
        } else if (auto* r = qobject_cast<frmFieldsUsed*>(modal)) {
            resultShown = true;
            r->cmdOK->click();
        }
    });
    drive.start();
    w.mnuToolsDetermineWhatFieldsAreUsed_Click();
    drive.stop();
    EXPECT_FALSE(resultShown);
    EXPECT_FALSE(st.session.ProgressCancelled);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QApplication::clipboard()->setText(QStringLiteral("before"));
    QStringList shown;
    QStringList merged;
    QTimer look;
    look.setInterval(0);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (auto* r = qobject_cast<frmFieldsUsed*>(QApplication::activeModalWidget())) {
            look.stop();
            resultShown = true;
            shown = Items(r->lstFieldsUsed);
            r->chkDisplayRepeatingFields->click();
            merged = Items(r->lstFieldsUsed);
            r->cmdCopy->click();
            r->cmdOK->click();
        }
    });
    resultShown = false;
    look.start();
    w.mnuToolsDetermineWhatFieldsAreUsed_Click();
    EXPECT_TRUE(resultShown);
    EXPECT_EQ(shown, (QStringList{"MSH-1", "MSH-2", "MSH-3", "MSH-4", "PID-1", "PID-3",
                                  "PID-3(1)", "PID-3(2)"}));
    EXPECT_EQ(merged, (QStringList{"MSH-1", "MSH-2", "MSH-3", "MSH-4", "PID-1", "PID-3"}));
    EXPECT_EQ(QApplication::clipboard()->text(), merged.join("\r\n") + "\r\n");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace quillon::test
