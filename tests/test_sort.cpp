// Sorting on MSH-7: the order and the in-place permutation, and Tools > Sort on MSH-7 with its
// file, caption, current file and undo.
#include <gtest/gtest.h>

#include <QFileInfo>

#include <QDir>

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "BackgroundSupport.h"
#include "TestSupport.h"
#include "app/frmProgressIndicator.h"
#include "editing/SortRecords.h"

namespace quillon::test {
namespace {

using Records = std::vector<std::string>;

RecordStore StoreOf(const Records& records)
{
    RecordStore store;
    for (const std::string& r : records)
        store.Append(r);
    return store;
}

std::string Msg(const std::string& msh7, const std::string& id)
{
    return "MSH|^~\\&|A|B|C|D|" + msh7 + "||ADT|" + id + "\rPID|1\r";
}

TEST(SortOnMSH7, StableAscendingByCharacterCode)
{
    const struct {
        const char* what;
        Records records;
        std::vector<int32_t> order;
    } cases[] = {
        {"already sorted", {Msg("1", "a"), Msg("2", "b"), Msg("3", "c")}, {1, 2, 3}},
        {"equal keys keep their order",
         {Msg("5", "a"), Msg("1", "b"), Msg("5", "c"), Msg("1", "d")},
         {2, 4, 1, 3}},
        {"headers, trailers and empty MSH-7 first",
         {Msg("20260101", "a"), "FHS|^~\\&|X\r", Msg("", "b"), "BTS|1\r", "PID|1\r"},
         {2, 3, 4, 5, 1}},
        {"precision compares as text",
         {Msg("20260102", "a"), Msg("202601011200", "b"), Msg("20260101", "c")},
         {3, 2, 1}},
        {"upper case before lower case",
         {Msg("b", "1"), Msg("B", "2"), Msg("a", "3"), Msg("A", "4")},
         {4, 2, 3, 1}},
        {"byte values above 127 sort last", {Msg("\xE9", "1"), Msg("z", "2")}, {2, 1}},
        {"past the sixteenth character",
         {Msg("20260101120000.52+0100", "a"), Msg("20260101120000.5", "b"),
          Msg("20260101120000.51+0100", "c"), Msg("20260101120000.52+0100", "d"),
          Msg("20260101120000.5+", "e")},
         {2, 5, 3, 1, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordStore store = StoreOf(c.records);
        const std::vector<int32_t> order = SortedOrderOnMSH7(store, Delimiters{}, '\r');
        EXPECT_EQ(order, c.order);
        store.Append("left alone");
        PermuteRecords(store, order);
        for (size_t k = 0; k < order.size(); ++k)
            EXPECT_EQ(store.Record(static_cast<int32_t>(k + 1)),
                      c.records[static_cast<size_t>(order[k] - 1)]);
        EXPECT_EQ(store.Record(store.RecordCount), "left alone");
    }

    // A stop asked for while the keys are read gives no order.
    RecordStore many;
    for (int i = 0; i < 1000; ++i)
        many.Append(Msg(std::to_string(1000 - i), "x"));
    int calls = 0;
    EXPECT_TRUE(
        SortedOrderOnMSH7(many, Delimiters{}, '\r', [&](int32_t) { return ++calls > 1; }).empty());
    EXPECT_EQ(calls, 1);

    // Enough records for the moves to be shared out across the cores: the same stable order.
    std::vector<std::pair<std::string, std::string>> keyed;
    RecordStore large;
    for (int i = 0; i < 50000; ++i) {
        const std::string key = std::to_string((i * 7919) % 1000);
        keyed.emplace_back(key, Msg(key, std::to_string(i)));
        large.Append(keyed.back().second);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    PermuteRecords(large, SortedOrderOnMSH7(large, Delimiters{}, '\r'));
    for (size_t k = 0; k < keyed.size(); ++k)
        ASSERT_EQ(large.Record(static_cast<int32_t>(k + 1)), keyed[k].second) << k;
}

class SortWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override { st.undo.UndoEnabled = true; }
    Records Stored() const
    {
        Records r;
        for (int32_t i = 1; i <= st.records.RecordCount; ++i)
            r.emplace_back(st.records.Record(i));
        return r;
    }
};

// The records are sorted where they are: a record with no header of its own, which the file
// loader would join to the one before it, stays a record of its own. A large store has its file
// written beside the window after the command; the bytes are the same.
TEST_F(SortWindow, SortWritesTheFileMarksTheCaptionAndUndoesBack)
{
    const Records records = {Msg("3", "c"), "PID|lone\r", Msg("1", "a"), Msg("2", "b")};
    const Records sorted = {"PID|lone\r", Msg("1", "a"), Msg("2", "b"), Msg("3", "c")};
    const QString path = st.folders.TempFolder + "SortedFile.dat";
    std::string file;
    for (const std::string& r : sorted)
        file += r + "\r\n";
    for (const bool beside : {false, true}) {
        SCOPED_TRACE(beside ? "written beside" : "written at once");
        QFile::remove(path);
        w.WriteBesideFrom = beside ? 0 : size_t{16} << 20;
        st.records = StoreOf(records);
        w.CurrentPage = 1;
        w.DisplayPage(w.CurrentPage);
        w.setWindowTitle("Quillon - x.hl7");
        {
            std::optional<HeldWrites> held;
            if (beside)
                held.emplace(w.backgroundWrites_);
            ASSERT_TRUE(ChooseMenuItem(w.mnuToolsSortMSH7));
            EXPECT_EQ(QFile::exists(path), !beside);
        }
        w.AwaitWrites();
        EXPECT_EQ(Stored(), sorted);
        EXPECT_EQ(ReadBytes(path), file);
        EXPECT_EQ(st.session.CurrentFileName, path);
        EXPECT_EQ(w.windowTitle(), "Quillon - x.hl7 (sorted)");
        EXPECT_EQ(w.lstRecords->count(), 4);
        EXPECT_EQ(w.lstRecords->currentRow(), 0);
        EXPECT_EQ(w.tbarButtons[6]->toolTip(), "Undo Sorted on MSH-7");

        ASSERT_TRUE(ChooseMenuItem(w.mnuToolsSortMSH7));
        EXPECT_EQ(w.windowTitle(), "Quillon - x.hl7 (sorted) (sorted)");
        ASSERT_TRUE(ChooseMenuItem(w.mnuEditUndo));
        ASSERT_TRUE(ChooseMenuItem(w.mnuEditUndo));
        EXPECT_EQ(Stored(), records);
        EXPECT_EQ(st.session.CurrentFileName, path);
        EXPECT_TRUE(f.responder.shown().empty());
    }
}

// Saving over the sorted file while its write is still on its way: the saved records are the
// ones written last, never replaced by the sort's copy afterwards.
TEST_F(SortWindow, SaveOverTheSortedFileWaitsForItsWrite)
{
    st.records = StoreOf({Msg("2", "b"), Msg("1", "a")});
    w.DisplayPage(w.CurrentPage);
    w.WriteBesideFrom = 0;
    const QString path = st.folders.TempFolder + "SortedFile.dat";
    {
        HeldWrites held(w.backgroundWrites_, std::chrono::milliseconds(300));
        ASSERT_TRUE(ChooseMenuItem(w.mnuToolsSortMSH7));
        st.records.Records[1] = RecordText(Msg("0", "edited"));
        f.responder.QueueFiles({path});
        ASSERT_TRUE(ChooseMenuItem(w.mnuFileSave));
    }
    w.AwaitWrites();
    EXPECT_EQ(ReadBytes(path), Msg("0", "edited") + "\r\n" + Msg("2", "b") + "\r\n");
    EXPECT_TRUE(f.responder.shown().empty());
}

// A failed write is reported; Cancel in the progress window stops silently. Neither changes
// the records, the current file or the caption, nor leaves an undo point or a file. A large
// store's files are written beside the window after the command: when either fails there, the
// sort is taken back and ends the same way.
TEST_F(SortWindow, FailedWriteOrCancelChangesNothing)
{
    enum class Then { Cancel, FolderIsAFile, UndoPointFailsBeside, SortedFileFailsBeside };
    // Records of 60 bytes: 2,000 are more than the small disk holds.
    const auto records = [](int count) {
        Records r;
        for (int i = 0; i < count; ++i)
            r.push_back(Msg(std::to_string(90000 - i), std::string(24, 'x')));
        return r;
    };
    const struct {
        const char* name;
        Then then;
        Records records;
    } cases[] = {
        {"cancel", Then::Cancel, {Msg("2", "b"), Msg("1", "a")}},
        {"the temp folder is a file", Then::FolderIsAFile, {Msg("2", "b"), Msg("1", "a")}},
        {"the undo point fails beside", Then::UndoPointFailsBeside, records(2000)},
        {"the sorted file fails beside", Then::SortedFileFailsBeside, records(600)},
    };
    const QString temp = st.folders.TempFolder;
    // Made before the writing thread starts, which then writes into it as well.
    const FullFolder full;
    const QString fullFolder = QFileInfo(full.FilePath("x")).path() + "/";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool beside =
            c.then == Then::UndoPointFailsBeside || c.then == Then::SortedFileFailsBeside;
        if (c.then == Then::UndoPointFailsBeside && !full.Ok()) {
            std::printf("skipped: %s\n", qPrintable(full.Error()));
            continue;
        }
        f.responder.Clear();
        st.folders.TempFolder = temp;
        w.StartEmptyUndoRing();
        st.records = StoreOf(c.records);
        w.DisplayPage(w.CurrentPage);
        w.setWindowTitle("Quillon - x.hl7");
        st.session.CurrentFileName = "x.hl7";
        w.WriteBesideFrom = beside ? 0 : size_t{16} << 20;
        QTimer press;
        if (c.then == Then::Cancel) {
            QObject::connect(&press, &QTimer::timeout, [&] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (auto* progress = qobject_cast<frmProgressIndicator*>(top);
                        progress && progress->isVisible())
                        progress->cmdCancel->click();
            });
            press.start(0);
        } else if (c.then == Then::FolderIsAFile) {
            WriteBytes(temp + "plain", "x");
            st.folders.TempFolder = temp + "plain/";
        } else if (c.then == Then::UndoPointFailsBeside) {
            st.folders.TempFolder = fullFolder;
        }

        const QString sortedFile = st.folders.TempFolder + "SortedFile.dat";
        {
            HeldWrites held(w.backgroundWrites_);
            ASSERT_TRUE(ChooseMenuItem(w.mnuToolsSortMSH7));
            // The undo point is written, then the sorted file cannot take its name.
            if (c.then == Then::SortedFileFailsBeside) {
                ASSERT_TRUE(QDir().mkpath(sortedFile));
                WriteBytes(sortedFile + "/in the way", "x");
            }
        }
        w.AwaitWrites();
        std::vector<QString> titles;
        for (const auto& box : f.responder.shown())
            titles.push_back(box.title);
        switch (c.then) {
        case Then::Cancel:
            EXPECT_TRUE(titles.empty());
            break;
        case Then::FolderIsAFile:
        case Then::SortedFileFailsBeside:
            EXPECT_EQ(titles, std::vector<QString>{"Can't Save to Disk"});
            break;
        case Then::UndoPointFailsBeside:
            // The sorted file fails as well, unless it was stopped first.
            ASSERT_FALSE(titles.empty());
            EXPECT_EQ(titles[0], "Undo");
            break;
        }
        EXPECT_EQ(Stored(), c.records);
        EXPECT_EQ(st.session.CurrentFileName, "x.hl7");
        EXPECT_EQ(w.windowTitle(), "Quillon - x.hl7");
        EXPECT_FALSE(ChooseMenuItem(w.mnuEditUndo));
        EXPECT_FALSE(QFileInfo(sortedFile).isFile());
        EXPECT_TRUE(QDir(st.folders.TempFolder).entryList(QDir::Files).filter(".undo").isEmpty());
        QDir(sortedFile).removeRecursively();
        EXPECT_FALSE(st.session.ProgressCancelled);
    }
}

}  // namespace
}  // namespace quillon::test
