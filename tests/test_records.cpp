// The record store, its array helpers, delimiters, page arithmetic, CountChar and the
// per-user data folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/DataFolders.h"
#include "app/Utility.h"
#include "records/Pages.h"
#include "records/RecordStore.h"

namespace quillon {
namespace {

// ---------------------------------------------------------------- RecordStore

TEST(RecordStore, StartsWithOneSlotAndResetForgetsRecords)
{
    RecordStore store;
    EXPECT_EQ(store.UpperBound(), 1);
    EXPECT_EQ(store.RecordCount, 0);
    store.Reset(100);
    store.Append("a");
    store.Append("b");
    store.Reset(100);
    EXPECT_EQ(store.UpperBound(), 100);
    EXPECT_EQ(store.RecordCount, 0);
    for (int32_t i = 0; i <= store.UpperBound(); ++i)
        EXPECT_TRUE(store.Record(i).empty()) << "slot " << i;
}

// ---------------------------------------------------------------- RecordText

// Texts of every size keep their bytes and copies share them; texts outlive the arena that
// wrote them, and the blocks they took are free again with the last of them.
TEST(RecordText, KeepsItsBytesSharesThemAndGivesItsMemoryBack)
{
    const size_t blocksBefore = RecordBlocksInUse();
    const struct {
        const char* name;
        size_t size;
    } cases[] = {
        {"empty", 0},
        {"one byte", 1},
        {"odd size", 567},
        {"largest kept in a block", size_t{64} << 10},
        {"one byte more: an allocation of its own", (size_t{64} << 10) + 1},
        {"several megabytes", size_t{5} << 20},
    };
    {
        std::vector<RecordText> kept;
        std::vector<std::string> bytesOf;
        {
            RecordArena arena;
            for (const auto& c : cases) {
                SCOPED_TRACE(c.name);
                std::string bytes(c.size, '\0');
                for (size_t i = 0; i < bytes.size(); ++i)
                    bytes[i] = static_cast<char>(i * 7 + i / 251);
                const RecordText text = arena.Copy(bytes);
                EXPECT_EQ(text.size(), c.size);
                EXPECT_EQ(text.view(), bytes);
                EXPECT_EQ(text.empty(), c.size == 0);
                RecordText copy = text;
                EXPECT_TRUE(copy.SharesBytesWith(text));
                const RecordText moved = std::move(copy);
                EXPECT_TRUE(moved.SharesBytesWith(text));
                EXPECT_TRUE(copy.empty());
                const RecordText again = arena.Copy(bytes);
                EXPECT_EQ(again, text);
                EXPECT_EQ(again.SharesBytesWith(text), c.size == 0);
                kept.push_back(text);
                bytesOf.push_back(bytes);
            }
            // Enough texts for many blocks, from an arena told to expect them.
            RecordArena large(size_t{12} << 20);
            for (int i = 0; i < 20000; ++i) {
                bytesOf.push_back(std::string(570, static_cast<char>('a' + i % 26))
                                  + std::to_string(i));
                kept.push_back(large.Copy(bytesOf.back()));
            }
            EXPECT_GT(RecordBlocksInUse(), blocksBefore + 4);
        }
        for (size_t i = 0; i < kept.size(); ++i)
            ASSERT_EQ(kept[i].view(), bytesOf[i]) << i;
    }
    EXPECT_EQ(RecordBlocksInUse(), blocksBefore);
}

// An arena told to expect far more than it writes has only a few blocks brought in beyond the
// ones it wrote, and leaves no more than the few kept once it goes.
TEST(RecordText, AnArenaThatExpectedMoreLeavesLittleBroughtIn)
{
    const size_t inUse = RecordBlocksInUse();
    const auto resident = [] {
        std::ifstream statm("/proc/self/statm");
        size_t pages = 0;
        size_t held = 0;
        statm >> pages >> held;
        return held * 4096;
    };
    const size_t before = resident();
    {
        RecordArena arena(size_t{256} << 20);
        std::vector<RecordText> texts;
        for (int i = 0; i < 4000; ++i)
            texts.push_back(arena.Copy(std::string(570, static_cast<char>('a' + i % 26))));
        EXPECT_EQ(texts.back().view(), std::string(570, 'a' + 3999 % 26));
        // The threads that bring pages in have had their time.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_LT(resident(), before + (size_t{32} << 20));
    }
    EXPECT_EQ(RecordBlocksInUse(), inUse);
    EXPECT_LE(RecordBlocksKept(), record_text::kKeptBlocks);
}

// A freed block is kept for the next texts, which take it before any new one: a few always, all
// of them while a KeepFreedBlocks is held, and only the few again once it goes; those freed for
// the next load until they have lain unused.
TEST(RecordText, FreedBlocksAreKeptWithinTheirBoundAndTakenFirst)
{
    using std::chrono::milliseconds;
    constexpr size_t kFreed = record_text::kKeptBlocks + 12;
    enum class Keeper { None, Command, NextLoad };
    const struct {
        const char* name;
        Keeper keeper;
        milliseconds unused;  // the window's look: given back once unused this long
        size_t keptAfter;     // at least
    } cases[] = {
        {"no keeper held: only the few", Keeper::None, record_text::kKeptFor,
         record_text::kKeptBlocks},
        {"a keeper held: every one", Keeper::Command, milliseconds(0), kFreed},
        {"for the next load, freed just now: every one", Keeper::NextLoad, record_text::kKeptFor,
         kFreed},
        {"for the next load, unused long enough: only the few", Keeper::NextLoad,
         milliseconds(0), record_text::kKeptBlocks},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GiveBackUnusedRecordBlocks(milliseconds(0));
        const size_t inUse = RecordBlocksInUse();
        std::optional<RecordArena::KeepFreedBlocks> keeper;
        if (c.keeper == Keeper::Command)
            keeper.emplace();
        {
            std::optional<RecordArena::KeepForNextLoad> forNextLoad;
            RecordArena arena;
            std::vector<RecordText> texts;
            const std::string bytes(record_text::kLargestInBlock, 'a');
            while (RecordBlocksInUse() < inUse + kFreed)
                texts.push_back(arena.Copy(bytes));
            if (c.keeper == Keeper::NextLoad)
                forNextLoad.emplace();
            texts.clear();
        }
        EXPECT_EQ(RecordBlocksInUse(), inUse);
        GiveBackUnusedRecordBlocks(c.unused);
        EXPECT_GE(RecordBlocksKept(), c.keptAfter);
        EXPECT_LE(RecordBlocksKept(), std::max(c.keptAfter, record_text::kKeptBlocks) + 1);
        {
            const size_t kept = RecordBlocksKept();
            RecordArena arena;
            const RecordText text = arena.Copy("MSH|^~\\&|");
            EXPECT_EQ(text, "MSH|^~\\&|");
            EXPECT_EQ(RecordBlocksKept(), kept - 1);
        }
        keeper.reset();
        GiveBackUnusedRecordBlocks(milliseconds(0));
        EXPECT_EQ(RecordBlocksKept(), record_text::kKeptBlocks);
    }
}

struct GrowthCase {
    int32_t appends;
    int32_t bound;
};
void PrintTo(const GrowthCase& c, std::ostream* os) { *os << c.appends << " appends"; }

class RecordStoreGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(RecordStoreGrowth, BoundAfterAppendsOnFreshHundredSlots)
{
    RecordStore store;
    store.Reset(100);
    for (int32_t i = 1; i <= GetParam().appends; ++i)
        store.Append("r" + std::to_string(i));
    EXPECT_EQ(store.RecordCount, GetParam().appends);
    EXPECT_EQ(store.UpperBound(), GetParam().bound);
}

INSTANTIATE_TEST_SUITE_P(Steps, RecordStoreGrowth,
                         ::testing::Values(GrowthCase{0, 100}, GrowthCase{1, 100},
                                           GrowthCase{98, 100}, GrowthCase{99, 200},
                                           GrowthCase{198, 200}, GrowthCase{199, 300}));

TEST(RecordStore, EveryAppendLeavesASpareSlotAndKeepsEarlierRecords)
{
    for (int32_t start : {0, 100}) {
        RecordStore store;
        if (start > 0)
            store.Reset(start);
        for (int32_t i = 1; i <= 450; ++i) {
            store.Append("r" + std::to_string(i));
            ASSERT_LT(store.RecordCount, store.UpperBound()) << "after append " << i;
            ASSERT_EQ((store.UpperBound() - start) % 100, start == 0 ? 1 : 0);
        }
        for (int32_t i = 1; i <= 450; ++i)
            ASSERT_EQ(store.Record(i), "r" + std::to_string(i));
        EXPECT_TRUE(store.Record(451).empty());
    }
}

// ---------------------------------------------------------------- array helpers

std::vector<std::string> OneBased(std::initializer_list<const char*> items)
{
    std::vector<std::string> v{""};
    for (const char* s : items)
        v.emplace_back(s);
    return v;
}

struct DeleteCase {
    int32_t index;
    std::vector<std::string> expected;
};
void PrintTo(const DeleteCase& c, std::ostream* os) { *os << "index " << c.index; }

class DeleteStringItemTest : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteStringItemTest, ShiftsLaterElementsDownAndEmptiesTop)
{
    auto array = OneBased({"e1", "e2", "e3", "e4", "e5"});
    DeleteStringItem(array, GetParam().index);
    EXPECT_EQ(array, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, DeleteStringItemTest,
    ::testing::Values(DeleteCase{1, OneBased({"e2", "e3", "e4", "e5", ""})},
                      DeleteCase{3, OneBased({"e1", "e2", "e4", "e5", ""})},
                      DeleteCase{5, OneBased({"e1", "e2", "e3", "e4", ""})},
                      // Out of range: nothing happens.
                      DeleteCase{6, OneBased({"e1", "e2", "e3", "e4", "e5"})},
                      DeleteCase{-1, OneBased({"e1", "e2", "e3", "e4", "e5"})}));

TEST(MoveStringArray, DestTakesBoundsAndElementsSourceKeepsEmptySlots)
{
    auto source = OneBased({"a", "b", "c"});
    std::vector<std::string> dest{"old", "old", "old", "old", "old", "old", "old"};
    MoveStringArray(source, dest);
    EXPECT_EQ(dest, OneBased({"a", "b", "c"}));
    EXPECT_EQ(source, std::vector<std::string>(4));
}

// ---------------------------------------------------------------- delimiters

struct HeaderCase {
    const char* header;
    const char* field;
    const char* component;
    const char* repetition;
    const char* escape;
    const char* subcomponent;
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.header; }

class DelimitersFromHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(DelimitersFromHeader, SetsAllFive)
{
    const auto& c = GetParam();
    Delimiters d;
    d.FieldSeparator = d.ComponentSeparator = d.RepetitionSeparator = "?";
    d.EscapeCharacter = d.SubcomponentSeparator = d.AllDelimiters = "?";
    d.SetFromHeader(c.header);
    EXPECT_EQ(d.FieldSeparator, c.field);
    EXPECT_EQ(d.ComponentSeparator, c.component);
    EXPECT_EQ(d.RepetitionSeparator, c.repetition);
    EXPECT_EQ(d.EscapeCharacter, c.escape);
    EXPECT_EQ(d.SubcomponentSeparator, c.subcomponent);
    // Only membership matters for AllDelimiters.
    std::string all = std::string(c.field) + c.component + c.repetition + c.escape + c.subcomponent;
    std::string got = d.AllDelimiters;
    std::ranges::sort(all);
    std::ranges::sort(got);
    EXPECT_EQ(got, all);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, DelimitersFromHeader,
    ::testing::Values(HeaderCase{"MSH|^~\\&|SENDER|FAC", "|", "^", "~", "\\", "&"},
                      HeaderCase{"MSH#$%*@#SENDER", "#", "$", "%", "*", "@"},
                      HeaderCase{"FHS!:;/-!F", "!", ":", ";", "/", "-"},
                      HeaderCase{"BHS#$%*@#B", "#", "$", "%", "*", "@"},
                      // No encoding characters: back to the defaults.
                      HeaderCase{"MSH||SENDER", "|", "^", "~", "\\", "&"},
                      HeaderCase{"MSH#|$%*@", "|", "^", "~", "\\", "&"},
                      // Short header: only what is there.
                      HeaderCase{"MSH|^~", "|", "^", "~", "", ""}));

// ---------------------------------------------------------------- pages

TEST(Pages, CountsAndPositions)
{
    const int32_t counts[][2] = {{0, 0}, {1, 1}, {399, 1}, {400, 1}, {401, 2}, {800, 2}, {801, 3}};
    for (const auto& [records, pages] : counts)
        EXPECT_EQ(PageCount(records), pages) << records;
    const int32_t positions[][3] = {{1, 1, 0}, {400, 1, 399}, {401, 2, 0}, {800, 2, 399}, {801, 3, 0}};
    for (const auto& [record, page, row] : positions) {
        EXPECT_EQ(PageOfRecord(record), page) << record;
        EXPECT_EQ(RowOfRecord(record), row) << record;
        EXPECT_EQ(RecordAt(page, row), record) << record;
    }
    for (int32_t k = 1; k <= 1201; ++k) {
        ASSERT_EQ(RecordAt(PageOfRecord(k), RowOfRecord(k)), k);
        ASSERT_EQ(PageOfRecord(k), PageCount(k)) << "last record not on last page: " << k;
    }
}

// ---------------------------------------------------------------- CountChar

TEST(CountChar, CountsOnlySingleCharacterArguments)
{
    struct {
        const char* text;
        const char* character;
        int16_t count;
    } cases[] = {
        {"MSH|a|b|c", "|", 3}, {"", "|", 0},       {"a|b", "", 0},
        {"a||b||", "||", 0},   {"no bars", "|", 0}, {"\r\r", "\r", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CountChar(c.text, c.character), c.count) << c.text << " / " << c.character;
}

// ---------------------------------------------------------------- data folders

std::vector<std::pair<QString, QString>> Subfolders(const DataFolders& f)
{
    return {{"Logs", f.LogsFolder},         {"Views", f.ViewsFolder},
            {"Servers", f.ServersFolder},   {"Clients", f.ClientsFolder},
            {"Temp", f.TempFolder},         {"Files2Load", f.Files2LoadFolder},
            {"Data", f.DataFolder},         {"FTP", f.FTPFolder},
            {"Documentation", f.DocumentationFolder}, {"Reports", f.ReportsFolder}};
}

TEST(DataFolders, CreatesRootAndAllSubfolders)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    for (const QString& base : {tmp.path(), tmp.path() + "/"}) {
        DataFolders f;
        const QStringList failed = InitDataFolders(f, base, QStringLiteral("Quillon"));
        EXPECT_TRUE(failed.isEmpty()) << failed.join(", ").toStdString();
        EXPECT_EQ(f.DataRoot, tmp.path() + "/Marrowby/Quillon/");
        EXPECT_TRUE(QFileInfo(f.DataRoot).isDir());
        for (const auto& [name, path] : Subfolders(f)) {
            EXPECT_EQ(path, f.DataRoot + name + "/");
            EXPECT_TRUE(QFileInfo(path).isDir()) << path.toStdString();
        }
    }
}

TEST(DataFolders, RecreatesOnlyAMissingFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    DataFolders f;
    ASSERT_TRUE(InitDataFolders(f, tmp.path(), "Quillon").isEmpty());
    // A file in every folder but Views: none of them may be replaced.
    for (const auto& [name, path] : Subfolders(f)) {
        QFile marker(path + "marker.txt");
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(f.ViewsFolder).removeRecursively());

    DataFolders again;
    EXPECT_TRUE(InitDataFolders(again, tmp.path(), "Quillon").isEmpty());
    EXPECT_TRUE(QFileInfo(f.ViewsFolder).isDir());
    EXPECT_FALSE(QFile::exists(f.ViewsFolder + "marker.txt"));
    for (const auto& [name, path] : Subfolders(f)) {
        if (name != "Views") {
            EXPECT_TRUE(QFile::exists(path + "marker.txt")) << path.toStdString();
        }
    }
}

TEST(DataFolders, UnwritableLocationReportsEveryFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString blocker = tmp.filePath("plain-file");
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    DataFolders f;
    const QStringList failed = InitDataFolders(f, blocker, "Quillon");
    EXPECT_EQ(f.DataRoot, blocker + "/Marrowby/Quillon/");
    EXPECT_TRUE(failed.contains(f.DataRoot));
    for (const auto& [name, path] : Subfolders(f))
        EXPECT_TRUE(failed.contains(path)) << path.toStdString();
    EXPECT_TRUE(QFileInfo(blocker).isFile());
}

}  // namespace
}  // namespace quillon
