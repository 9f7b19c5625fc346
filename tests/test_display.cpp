// The record display: field-list lines of a segment, and the main window's segment and field
// lists, lengths panel, field lock, view filter and the user's description files.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QFile>
#include <QSignalSpy>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "records/FieldDesignations.h"
#include "records/FieldLines.h"

namespace quillon::test {
namespace {

using Lines = std::vector<std::string>;

std::string Pad(std::string s, size_t n)
{
    s.resize(n, ' ');
    return s;
}
// A line without descriptions, and one with.
std::string L(const std::string& d, const std::string& v) { return Pad(d, 15) + v; }
std::string LD(const std::string& d, const std::string& desc, const std::string& v)
{
    return Pad(d, 15) + Pad(" [" + desc + "]", 40) + v;
}

DisplayOptions Opts(bool empty, bool desc, bool compound, bool segDesc)
{
    return {empty, desc, compound, segDesc};
}

// ------------------------------------------------------------------------- line builder

TEST(FieldLines, SegmentsGiveTheirLines)
{
    DescriptionDictionary dict;  // keys kept in byte order, as the look-up requires
    for (const auto& [k, v] : std::vector<std::pair<std::string, std::string>>{
             {"BHS-1", "Batch Sep"}, {"MSH-1", "Field Separator"}, {"PID-3", "Patient ID"},
             {"PID-3-1", "ID Number"}, {"PID-5", "Patient Name"}, {"PID-5-1", "Family Name"}}) {
        dict.DescriptionKeys.push_back(k);
        dict.Descriptions.push_back(v);
    }
    const DescriptionDictionary none;
    const DisplayOptions plain = Opts(false, false, true, true);
    const DisplayOptions described = Opts(false, true, true, true);
    const std::string big(20000, 'x');
    const struct {
        const char* name;
        std::vector<std::string> segments;
        DisplayOptions options;
        const DescriptionDictionary& dictionary;
        Lines view;
        Lines expected;
    } cases[] = {
        {"header then blank before PID", {"MSH|^~\\&|APP", "PID|1"}, Opts(true, false, true, true),
         none, {},
         {"MSH-1          |", "MSH-2          ^~\\&", "MSH-3          APP", "",
          "PID-1          1"}},
        {"compound on", {"PID|||||Smith^John"}, plain, none, {},
         {L("PID-5", "Smith^John"), L("PID-5-1", "Smith"), L("PID-5-2", "John")}},
        {"compound off, segment descriptions on", {"PID|||||Smith^John"},
         Opts(false, false, false, true), none, {},
         {L("PID-5", "parsed data follows ..."), L("PID-5-1", "Smith"), L("PID-5-2", "John")}},
        {"compound and segment descriptions off", {"PID|||||Smith^John"},
         Opts(false, false, false, false), none, {}, {L("PID-5-1", "Smith"), L("PID-5-2", "John")}},
        {"repetitions", {"PID|||a~b"}, plain, none, {},
         {L("PID-3", "a~b"), L("PID-3(1)", "a"), L("PID-3(2)", "b")}},
        {"repetitions with components", {"PID|||x^y~z^w"}, plain, none, {},
         {L("PID-3", "x^y~z^w"), L("PID-3-1(1)", "x"), L("PID-3-2(1)", "y"), L("PID-3-1(2)", "z"),
          L("PID-3-2(2)", "w")}},
        {"empty fields shown", {"PID|1||3|a^"}, Opts(true, false, true, true), none, {},
         {L("PID-1", "1"), L("PID-2", ""), L("PID-3", "3"), L("PID-4", "a^"), L("PID-4-1", "a"),
          L("PID-4-2", "")}},
        {"empty fields hidden", {"PID|1||3|a^"}, plain, none, {},
         {L("PID-1", "1"), L("PID-3", "3"), L("PID-4", "a^"), L("PID-4-1", "a")}},
        {"header line whatever the empty option", {"MSH|^~\\&||X"}, plain, none, {},
         {L("MSH-1", "|"), L("MSH-2", "^~\\&"), L("MSH-4", "X")}},
        {"header delimiters taken as they are", {"MSH#!@$%#A!B", "PID#1#x@y"}, plain, none, {},
         {L("MSH-1", "#"), L("MSH-2", "!@$%"), L("MSH-3", "A!B"), L("MSH-3-1", "A"),
          L("MSH-3-2", "B"), "", L("PID-1", "1"), L("PID-2", "x@y"), L("PID-2(1)", "x"),
          L("PID-2(2)", "y")}},
        {"view keeps PID-3 and its repetitions, blanks never twice",
         {"MSH|^~\\&|APP", "PID|1||a~b~c^d", "PV1|1", "OBX|1", "PID|2||z"}, plain, none,
         {"PID-3"},
         {L("PID-3", "a~b~c^d"), L("PID-3(1)", "a"), L("PID-3(2)", "b"), "", L("PID-3", "z")}},
        {"too large", {"PID|" + big}, plain, none, {},
         {Pad("PID-1", 15) + std::string(85, 'x')
          + " ... remainder of field too large to display ..."}},
        {"descriptions from the dictionary", {"MSH|^~\\&", "PID|||x^y~z^w||Smith^John"},
         described, dict, {},
         {LD("MSH-1", "Field Separator", "|"), LD("MSH-2", "", "^~\\&"), "",
          LD("PID-3", "Patient ID", "x^y~z^w"), LD("PID-3-1(1)", "ID Number", "x"),
          LD("PID-3-2(1)", "", "y"), LD("PID-3-1(2)", "ID Number", "z"), LD("PID-3-2(2)", "", "w"),
          LD("PID-5", "Patient Name", "Smith^John"), LD("PID-5-1", "Family Name", "Smith"),
          LD("PID-5-2", "", "John")}},
        {"repetition described by its field", {"PID|||a~b"}, described, dict,
         {}, {LD("PID-3", "Patient ID", "a~b"), LD("PID-3(1)", "Patient ID", "a"),
              LD("PID-3(2)", "Patient ID", "b")}},
        {"file and batch header fall-backs", {"FHS|^~\\&", "BHS|^~\\&", "MSH|^~\\&"},
         described, none, {},
         {LD("FHS-1", "File Field Separator", "|"), LD("FHS-2", "", "^~\\&"),
          LD("BHS-1", "Batch Field Separator", "|"), LD("BHS-2", "", "^~\\&"), LD("MSH-1", "", "|"),
          LD("MSH-2", "", "^~\\&")}},
        {"dictionary before the fall-back", {"BHS|^~\\&"}, described, dict, {},
         {LD("BHS-1", "Batch Sep", "|"), LD("BHS-2", "", "^~\\&")}},
        {"unknown key: empty brackets then blanks to column 55", {"ZZZ|v"},
         described, none, {}, {"ZZZ-1           []" + std::string(37, ' ') + "v"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Delimiters delimiters;
        Lines lines;
        for (const std::string& s : c.segments)
            AppendSegmentFieldLines(s, c.options, c.dictionary, c.view, delimiters, lines);
        EXPECT_EQ(lines, c.expected);
        // The window's compact buffer reads back the same lines.
        Delimiters bufferDelimiters;
        FieldLineBuffer buffer;
        for (const std::string& s : c.segments)
            AppendSegmentFieldLines(s, c.options, c.dictionary, c.view, bufferDelimiters, buffer);
        Lines fromBuffer;
        for (size_t i = 0; i < buffer.size(); ++i)
            fromBuffer.push_back(buffer.Line(i));
        EXPECT_EQ(fromBuffer, c.expected);
    }
}

// A repetition without components next to one with them: x^y~z.
TEST(FieldLines, PlainRepetitionInAComponentField)
{
    // Each repetition is judged on its own: one without components is a plain repetition, as in
    // the locators' field table, so the two always name a value alike.
    Delimiters delimiters;
    Lines lines;
    AppendSegmentFieldLines("PID|||x^y~z", Opts(false, false, true, true), {}, {}, delimiters,
                            lines);
    EXPECT_EQ(lines, Lines({L("PID-3", "x^y~z"), L("PID-3-1(1)", "x"), L("PID-3-2(1)", "y"),
                            L("PID-3(2)", "z")}));
    const FieldTable table = ParseRecordToFieldList("PID|||x^y~z\r", delimiters, '\r', false);
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table.back().designation, "PID-3(2)");
}

TEST(FieldLines, LineColumnsAndLengthLimit)
{
    const std::string longDesc(50, 'd');
    const struct {
        std::string designation;
        const std::string* description;
        std::string value;
        std::string expected;
    } cases[] = {
        {"ABCDEFGHIJKLMNOPQ", nullptr, "v", "ABCDEFGHIJKLMNOv"},
        {"PID-1", &longDesc, "v", Pad("PID-1", 15) + " [" + std::string(38, 'd') + "v"},
        {"PID-1", nullptr, std::string(9985, 'x'), Pad("PID-1", 15) + std::string(9985, 'x')},
        {"PID-1", nullptr, std::string(9986, 'x'),
         Pad("PID-1", 15) + std::string(85, 'x') + std::string(FieldTooLarge)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.designation + " " + std::to_string(c.value.size()));
        EXPECT_EQ(FieldListLine(c.designation, c.description, c.value), c.expected);
    }
}

// ------------------------------------------------------------------------- main window

class DisplayWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;

    void Load(const std::vector<Lines>& records)
    {
        std::string bytes;
        for (const Lines& r : records)
            for (const std::string& s : r)
                bytes += s + "\r";
        w.LoadHL7File(f.WriteFile(QStringLiteral("display.hl7"), bytes));
        ASSERT_EQ(w.lstRecords->count(), static_cast<int>(records.size()));
    }
    void SelectRecord(int row)
    {
        w.lstRecords->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        w.lstRecords_Click();
    }
    void SelectField(int row)
    {
        w.lstFields->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        w.lstFields_Click();
    }
    static Lines Rows(const ListBox* list, int n = -1)
    {
        Lines rows;
        for (int i = 0; i < list->count() && i != n; ++i)
            rows.push_back(list->item(i)->text().toStdString());
        return rows;
    }
    // Row of the `nth` field line headed by `designation` ("" for a blank line), or -1.
    int FieldRow(const std::string& designation, int nth = 1) const
    {
        const Lines rows = Rows(w.lstFields);
        for (size_t i = 0; i < rows.size(); ++i)
            if (LineDesignation(TrimBlanks(rows[i])) == designation && --nth == 0)
                return static_cast<int>(i);
        return -1;
    }
    std::string Panel(int i) const
    {
        return w.stsPanels[static_cast<size_t>(i)]->text().toStdString();
    }
    QStringList Box(size_t i) const
    {
        const auto& b = f.responder.shown().at(i);
        return {b.title, b.text};
    }
};

TEST_F(DisplayWindow, LoadShowsTheFirstRecord)
{
    Load({{"MSH|^~\\&|APP", "PID|1||a~b"}, {"MSH|^~\\&|B"}});
    EXPECT_TRUE(w.lstRecords->item(0)->isSelected());
    EXPECT_EQ(Rows(w.lstSegments), Lines({"MSH|^~\\&|APP", "PID|1||a~b"}));
    const Lines expected = {LD("MSH-1", "", "|"), LD("MSH-2", "", "^~\\&"), LD("MSH-3", "", "APP"),
                            "", LD("PID-1", "", "1"), LD("PID-2", "", ""), LD("PID-3", "", "a~b"),
                            LD("PID-3(1)", "", "a"), LD("PID-3(2)", "", "b")};
    EXPECT_EQ(Rows(w.lstFields, static_cast<int>(expected.size())), expected);
    EXPECT_EQ(Panel(4), "Lengths: RecLen=24 ");
    EXPECT_TRUE(f.responder.shown().empty());
}

TEST_F(DisplayWindow, SegmentSelectionScrollsToItsBlock)
{
    auto fields = [](std::string seg, int n) {
        for (int i = 1; i <= n; ++i)
            seg += "|" + std::to_string(i);
        return seg;
    };
    const Lines r = {"MSH|^~\\&|APP", fields("PID", 5), fields("OBX", 25), fields("OBX", 25),
                     fields("NTE", 60)};
    w.resize(900, 400);
    w.show();
    Load({r});
    const struct {
        int segmentRow;
        std::string topLine;
        int nth;
    } cases[] = {{3, "OBX-1", 2}, {2, "OBX-1", 1}, {4, "NTE-1", 1}, {3, "OBX-1", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.segmentRow);
        w.lstSegments->setCurrentRow(c.segmentRow, QItemSelectionModel::ClearAndSelect);
        w.lstSegments_Click();
        QCoreApplication::processEvents();
        EXPECT_EQ(w.lstFields->indexAt(QPoint(1, 1)).row(), FieldRow(c.topLine, c.nth));
        const size_t segLen = r[static_cast<size_t>(c.segmentRow)].size();
        EXPECT_EQ(Panel(4), "Lengths: RecLen=" + std::to_string(w.RecLen) + " SegLen="
                                + std::to_string(segLen) + " ");
    }
}

TEST_F(DisplayWindow, FieldSelectionShowsTheValueLength)
{
    Load({{"MSH|^~\\&|APP", "PID|1||||Smith^John||" + std::string(20000, 'x')}});
    const struct {
        bool descriptions, compound;
        std::string designation;
        int fieldLen;
    } cases[] = {
        {false, true, "MSH-1", 1},   {false, true, "PID-5", 10}, {false, true, "PID-5-1", 5},
        {false, true, "PID-7", 133}, {false, true, "", -1},      {true, true, "PID-5-2", 4},
        {true, true, "PID-7", 93},   {false, false, "PID-5", -1}, {true, false, "PID-5", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.designation + (c.descriptions ? " with descriptions" : ""));
        w.mnuOptionsDisplayFieldDescriptions->setChecked(c.descriptions);
        w.mnuOptionsDisplayCompoundFields->setChecked(c.compound);
        SelectRecord(0);
        ASSERT_GE(FieldRow(c.designation), 0);
        SelectField(FieldRow(c.designation));
        EXPECT_EQ(w.FieldLen, c.fieldLen);
        EXPECT_EQ(Panel(4), "Lengths: RecLen=20035 "
                                + (c.fieldLen < 0 ? "" : "FieldLen=" + std::to_string(c.fieldLen)));
    }
}

TEST_F(DisplayWindow, LockFollowsTheFieldFromRecordToRecord)
{
    Load({{"MSH|^~\\&|A", "PID|1||111"}, {"MSH|^~\\&|B", "EVN|A01", "PID|1||222"},
          {"MSH|^~\\&|C", "EVN|A01"}});
    QAction* lock = w.mnuFieldListLockFieldLocation;
    auto expectLock = [&](bool on) {
        EXPECT_EQ(lock->isChecked(), on);
        EXPECT_EQ(Panel(5), on ? "Locked on PID-3" : "");
    };

    lock->trigger();  // nothing selected yet
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(Box(0), QStringList({"No Field to Lock Onto",
                                   "You must first select the field that you want to lock onto."}));
    expectLock(false);

    SelectField(FieldRow("PID-3"));
    lock->trigger();
    expectLock(true);
    // Record 2 holds PID-3 on another row, record 3 none.
    for (const auto& [record, holdsPid3] : std::vector<std::pair<int, bool>>{
             {1, true}, {2, false}, {0, true}}) {
        SCOPED_TRACE(record);
        SelectRecord(record);
        const auto selected = w.lstFields->selectedItems();
        ASSERT_EQ(selected.size(), holdsPid3 ? 1 : 0);
        if (holdsPid3) {
            EXPECT_EQ(w.lstFields->row(selected[0]), FieldRow("PID-3"));
            EXPECT_EQ(w.FieldLen, 3);
        }
        expectLock(true);
    }

    w.lstRecords->item(1)->setSelected(true);  // two records: the lock comes off
    w.lstRecords_Click();
    expectLock(false);
    EXPECT_TRUE(f.state.session.LockedFieldName.isEmpty());

    SelectRecord(0);  // the command switches it on and off
    SelectField(FieldRow("PID-3"));
    lock->trigger();
    expectLock(true);
    lock->trigger();
    expectLock(false);
    EXPECT_TRUE(f.state.session.LockedFieldName.isEmpty());

    lock->trigger();  // deselecting the record shown empties both lists and unlocks
    w.lstRecords->clearSelection();
    w.lstRecords_Click();
    EXPECT_EQ(w.lstSegments->count() + w.lstFields->count(), 0);
    expectLock(false);
    EXPECT_EQ(f.responder.shown().size(), 1u);
}

TEST_F(DisplayWindow, ViewNarrowsTheListUntilDisabled)
{
    f.state.view.ViewFields = {"PID-3"};
    Load({{"MSH|^~\\&|APP", "PID|1||a~b^c", "OBX|1", "PID|2||z"}});
    EXPECT_EQ(Rows(w.lstFields, 4),
              Lines({LD("PID-3", "", "a~b^c"), LD("PID-3(1)", "", "a"), "", LD("PID-3", "", "z")}));
    EXPECT_LE(w.lstFields->count(), 5);

    w.mnuViewsDisable_Click();
    EXPECT_TRUE(f.state.view.ViewFields.empty());
    EXPECT_EQ(FieldRow("MSH-1"), 0);
    EXPECT_GE(FieldRow("PID-3-2(2)"), 0);
    EXPECT_GE(FieldRow("OBX-1"), 0);
    EXPECT_TRUE(w.lstRecords->item(0)->isSelected());
}

TEST_F(DisplayWindow, UserSelectionRedisplaysOnce)
{
    Load({{"MSH|^~\\&|A"}, {"MSH|^~\\&|B", "PID|1"}});
    QCoreApplication::processEvents();
    QSignalSpy resets(w.lstSegments->model(), &QAbstractItemModel::modelReset);
    w.lstRecords->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(w.CurrentRecordIndex, 1);
    EXPECT_EQ(Rows(w.lstSegments), Lines({"MSH|^~\\&|B", "PID|1"}));
}

// Rows of megabytes: each list keeps the whole text (copy, find and edit read it), draws only
// what is in sight, and sizes its scroll range from the length (no measuring of the row).
TEST_F(DisplayWindow, HugeRowsShowQuicklyAndReadBackWhole)
{
    const std::string document(10 * 1024 * 1024, 'Q');
    const std::string header = "MSH|^~\\&|APP";
    const std::string obx = "OBX|1|ED|" + document + "|x";
    w.show();
    QElapsedTimer timer;
    timer.start();
    Load({{header, obx}});
    QCoreApplication::processEvents();
    for (ListBox* list : {w.lstRecords, w.lstSegments, w.lstFields})
        list->repaint();
    const QImage shot = w.grab().toImage();
    // Measuring or laying out the whole row took tens of seconds.
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_FALSE(shot.isNull());

    const struct {
        ListBox* list;
        int row;
        std::string text;
    } cases[] = {
        {w.lstRecords, 0, header + "\r" + obx + "\r"},
        {w.lstSegments, 1, obx},
        {w.lstFields, FieldRow("OBX-3"),
         Pad("OBX-3", 15) + Pad(" [" + f.state.dictionary.GetHL7Description("OBX-3") + "]", 40)
             + document.substr(0, 45) + std::string(FieldTooLarge)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list->objectName().toStdString());
        ASSERT_GE(c.row, 0);
        EXPECT_EQ(c.list->item(c.row)->text().toStdString(), c.text);
        EXPECT_GT(c.list->HorizontalExtent(), 0);
        EXPECT_LE(c.list->HorizontalExtent(), ListBox::LongestExtent);
        // Ctrl+C copies the whole row.
        c.list->setCurrentRow(c.row, QItemSelectionModel::ClearAndSelect);
        w.CopySelectedLines(c.list);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), c.text + "\r\n");
    }
    EXPECT_EQ(w.LongestSegmentLength, static_cast<int32_t>(obx.size()));
    // Typing finds a row by its start.
    w.lstSegments->setCurrentRow(0);
    w.lstSegments->keyboardSearch(QStringLiteral("obx"));
    EXPECT_EQ(w.lstSegments->currentRow(), 1);
}

TEST_F(DisplayWindow, DescriptionFilesOfTheUser)
{
    const QString root = f.state.folders.DataRoot;
    WriteBytes(root + "z-segments.dat", "# grades\r\nZPI-1, Patient grade\r\nZPI\r\n");
    WriteBytes(root + "data-desc.dat", "PV1-2-I, Inpatient\r\n");
    w.LoadDescriptionFiles();
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(Box(0), QStringList({"Bad Record in Z-Segment File",
                                   "The following line in the z-segments.dat file can not be "
                                   "parsed and so will not be used.\r\n\r\n>ZPI<"}));
    EXPECT_TRUE(QFile::exists(root + "fsa.dat"));
    EXPECT_FALSE(f.state.dictionary.GetHL7Description("PID-3").empty());
    EXPECT_EQ(f.state.dictionary.LookupDataDesc("PV1-2-I"), "Inpatient");
    Load({{"MSH|^~\\&|APP", "ZPI|A"}});
    EXPECT_EQ(Rows(w.lstFields).at(static_cast<size_t>(FieldRow("ZPI-1"))),
              LD("ZPI-1", "Patient grade", "A"));

    // A user's own fsa.dat stays as it is.
    const std::string own = EncodeFsaLine("PID-3") + "\r\n" + EncodeFsaLine("My own id") + "\r\n";
    WriteBytes(root + "fsa.dat", own);
    w.LoadDescriptionFiles();
    EXPECT_EQ(ReadBytes(root + "fsa.dat"), own);
    EXPECT_EQ(f.state.dictionary.GetHL7Description("PID-3"), "My own id");
}

}  // namespace
}  // namespace quillon::test
