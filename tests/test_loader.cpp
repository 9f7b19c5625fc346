// Cutting file content into records (ParseHL7Content, ParseHL7Source) and the character dump of
// a record.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "records/HL7Loader.h"

namespace quillon {
namespace {

using Records = std::vector<std::string>;

// Answers the non-HL7 question from a queue and remembers what the loader told it.
class TestHost : public LoadHost {
public:
    explicit TestHost(std::deque<bool> answers = {}) : answers_(std::move(answers)) {}

    void BeginPass() override { ++passes; }
    bool AskLoadNonHL7() override
    {
        ++questions;
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question about non-HL7 content";
            return false;
        }
        const bool answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void RecordStored(std::string_view record, int32_t recordCount) override
    {
        stored.emplace_back(record);
        counts.push_back(recordCount);
    }

    int passes = 0;
    int questions = 0;
    Records stored;
    std::vector<int32_t> counts;

private:
    std::deque<bool> answers_;
};

struct LoadResult {
    LoadEnd end;
    Records records;
    RecordStore store;
    Delimiters delimiters;
};

Records StoredRecords(const RecordStore& store)
{
    Records out;
    for (int32_t i = 1; i <= store.RecordCount; ++i)
        out.emplace_back(store.Record(i));
    return out;
}

// Content handed out a few bytes at a time; fails instead of giving the bytes from `failAt` on.
class TrickleSource : public LoadSource {
public:
    TrickleSource(std::string_view text, size_t failAt = std::string::npos)
        : text_(text), failAt_(failAt)
    {
    }
    int64_t Read(char* into, size_t room) override
    {
        const size_t n = std::min({room, text_.size() - pos_, size_t{3}});
        if (n > 0 && pos_ + n > failAt_)
            return -1;
        std::copy_n(text_.data() + pos_, n, into);
        pos_ += n;
        return static_cast<int64_t>(n);
    }
    bool Rewind() override
    {
        pos_ = 0;
        return true;
    }

private:
    std::string_view text_;
    size_t failAt_;
    size_t pos_ = 0;
};

LoadResult Load(const std::string& content, TestHost& host, char endOfBlock = '\r',
                Delimiters delimiters = {})
{
    const TestHost fresh = host;
    LoadResult r{LoadEnd::Loaded, {}, {}, delimiters};
    r.end = ParseHL7Content(content, r.store, r.delimiters, endOfBlock, host);
    r.records = StoredRecords(r.store);
    // Read in small chunks, every line end and record may fall across a chunk boundary: the
    // loader must give the same records and ask the same questions.
    for (size_t chunk : {1, 2, 5}) {
        TestHost again = fresh;
        RecordStore store;
        Delimiters d = delimiters;
        TrickleSource source(content);
        EXPECT_EQ(ParseHL7Source(source, store, d, endOfBlock, again, chunk), r.end) << chunk;
        EXPECT_EQ(StoredRecords(store), r.records) << "chunk " << chunk;
        EXPECT_EQ(again.questions, host.questions) << chunk;
        EXPECT_EQ(d.AllDelimiters, r.delimiters.AllDelimiters) << chunk;
    }
    return r;
}

// The host saw every record once, counted from 1 in the pass that kept them.
void ExpectStoredInOrder(const TestHost& host, const Records& records)
{
    EXPECT_EQ(host.stored, records);
    std::vector<int32_t> counts(records.size());
    std::iota(counts.begin(), counts.end(), 1);
    EXPECT_EQ(host.counts, counts);
}

// ---------------------------------------------------------------- well-formed content

struct ContentCase {
    const char* name;
    std::string content;
    Records expected;
};
void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.name; }

std::string PrintCaseName(const ::testing::TestParamInfo<ContentCase>& info)
{
    return info.param.name;
}

class LoadContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(LoadContent, GivesRecords)
{
    TestHost host;
    const auto r = Load(GetParam().content, host);
    EXPECT_EQ(r.end, LoadEnd::Loaded);
    EXPECT_EQ(r.records, GetParam().expected);
    EXPECT_EQ(host.questions, 0);
    EXPECT_EQ(host.passes, 1);
    ExpectStoredInOrder(host, r.records);
}

const std::string kMsgA = "MSH|^~\\&|SEND|FAC|RECV|FAC|20240101||ADT^A01|A1|P|2.5";
const std::string kMsgB = "MSH|^~\\&|SEND|FAC|RECV|FAC|20240102||ORU^R01|B2|P|2.5";

INSTANTIATE_TEST_SUITE_P(
    Shapes, LoadContent,
    ::testing::Values(
        ContentCase{"LastLineWithoutEndIsKept",
                    kMsgA + "\rPID|1\rPV1|2",
                    {kMsgA + "\rPID|1\rPV1|2\r"}},
        ContentCase{"LfInsideCrLineSplitsInOrder",
                    kMsgA + "\rPID|1\nPV1|2\nOBX|3\rNTE|4\r",
                    {kMsgA + "\rPID|1\rPV1|2\rOBX|3\rNTE|4\r"}},
        ContentCase{"LfInsideLineCanStartNextRecord",
                    kMsgA + "\rPID|1\n" + kMsgB + "\rPID|2\r",
                    {kMsgA + "\rPID|1\r", kMsgB + "\rPID|2\r"}},
        ContentCase{"DoubleLfLeavesNoEmptySegment",
                    kMsgA + "\n\nPID|1\n\n\nPV1|2\n",
                    {kMsgA + "\rPID|1\rPV1|2\r"}},
        ContentCase{"StartBlockCharIsStripped",
                    "\x0b" + kMsgA + "\rPID|1\r\x1c\r\x0b" + kMsgB + "\rPID|2\r\x1c\r",
                    {kMsgA + "\rPID|1\r", kMsgB + "\rPID|2\r"}},
        ContentCase{"LeadingDelIsDropped",
                    "\x7f" + kMsgA + "\r\x7fPID|1\r\x7f\rPV1|2\r",
                    {kMsgA + "\rPID|1\rPV1|2\r"}},
        ContentCase{"ShortAndBlankLinesAreDropped",
                    kMsgA + "\rPI\r\r   \r \t \rPID|1\rZZ\rPV1|2\r",
                    {kMsgA + "\rPID|1\rPV1|2\r"}},
        ContentCase{"SegmentWithWrongFieldSeparatorIsDropped",
                    kMsgA + "\rPID^1^2\rPV1|2\rOBX#3\r",
                    {kMsgA + "\rPV1|2\r"}},
        ContentCase{"BatchAndFileSegmentsAreRecordsOfTheirOwn",
                    "FHS|^~\\&|F\rBHS|^~\\&|B\r" + kMsgA + "\rPID|1\r" + kMsgB
                        + "\rBTS|2\rFTS|1\r",
                    {"FHS|^~\\&|F\r", "BHS|^~\\&|B\r", kMsgA + "\rPID|1\r", kMsgB + "\r",
                     "BTS|2\r", "FTS|1\r"}},
        ContentCase{"HeaderDelimitersApplyToLaterSegments",
                    "MSH#$%*@#SEND#FAC#RECV\rPID#1#$x%y\rPV1|2\rOBX#3\r",
                    {"MSH#$%*@#SEND#FAC#RECV\rPID#1#$x%y\rOBX#3\r"}},
        ContentCase{"BatchHeaderDelimitersApplyToLaterSegments",
                    "BHS!:;/-!B\rZBX!1\rZBY|2\r",
                    {"BHS!:;/-!B\rZBX!1\r"}},
        ContentCase{"FileHeaderDelimitersApplyUntilNextHeader",
                    "FHS#$%*@#F\rZFX#1\rZFY|2\r" + kMsgA + "\rPID|1\rPV1#2\r",
                    {"FHS#$%*@#F\rZFX#1\r", kMsgA + "\rPID|1\r"}},
        ContentCase{"EmptyContentGivesOneEmptyRecord", "", {"\r"}}),
    PrintCaseName);

// ---------------------------------------------------------------- line ends

class LineEnds : public ::testing::TestWithParam<const char*> {};

TEST_P(LineEnds, GiveIdenticalRecords)
{
    const std::vector<std::string> lines = {kMsgA, "PID|1", "PV1|2", kMsgB, "OBX|1|TX|||text"};
    std::string content;
    for (const auto& line : lines)
        content += line + GetParam();
    TestHost host;
    const auto r = Load(content, host);
    EXPECT_EQ(r.end, LoadEnd::Loaded);
    EXPECT_EQ(r.records, (Records{kMsgA + "\rPID|1\rPV1|2\r", kMsgB + "\rOBX|1|TX|||text\r"}));
}

INSTANTIATE_TEST_SUITE_P(All, LineEnds, ::testing::Values("\r", "\r\n", "\n"),
                         [](const auto& info) {
                             return std::string(info.index == 0   ? "Cr"
                                                : info.index == 1 ? "CrLf"
                                                                  : "Lf");
                         });

// ---------------------------------------------------------------- delimiters

TEST(LoadDelimiters, ContentWithoutHeaderKeepsThePreviousOnes)
{
    RecordStore store;
    Delimiters delimiters;
    TestHost first;
    ASSERT_EQ(ParseHL7Content("MSH#$%*@#A\rPID#1\r", store, delimiters, '\r', first),
              LoadEnd::Loaded);
    ASSERT_EQ(delimiters.FieldSeparator, "#");

    for (bool answer : {true, false}) {
        TestHost host({answer});
        ParseHL7Content("Meeting notes, no messages here\rsecond line\r", store, delimiters,
                        '\r', host);
        EXPECT_EQ(delimiters.FieldSeparator, "#");
        EXPECT_EQ(delimiters.ComponentSeparator, "$");
        EXPECT_EQ(delimiters.RepetitionSeparator, "%");
        EXPECT_EQ(delimiters.EscapeCharacter, "*");
        EXPECT_EQ(delimiters.SubcomponentSeparator, "@");
    }
}

TEST(LoadDelimiters, ReadFailureKeepsTheStoreAndDelimiters)
{
    RecordStore store;
    Delimiters delimiters;
    TestHost first;
    ASSERT_EQ(ParseHL7Content("MSH#$%*@#A\rPID#1\r", store, delimiters, '\r', first),
              LoadEnd::Loaded);
    const std::string content = kMsgA + "\rPID|1\r" + kMsgB + "\rPID|2\r";
    for (size_t failAt : {size_t{0}, content.size() / 2, content.size() - 1}) {
        TestHost host;
        TrickleSource source(content, failAt);
        EXPECT_EQ(ParseHL7Source(source, store, delimiters, '\r', host, 4), LoadEnd::ReadFailed);
        EXPECT_EQ(StoredRecords(store), Records{"MSH#$%*@#A\rPID#1\r"}) << failAt;
        EXPECT_EQ(delimiters.AllDelimiters, "#$%*@") << failAt;
    }
}

// ---------------------------------------------------------------- non-HL7 content

TEST(LoadNonHL7, DecliningStopsWithNoRecords)
{
    TestHost host({false});
    const auto r = Load("Dear colleague,\r" + kMsgA + "\rPID|1\r", host);
    EXPECT_EQ(r.end, LoadEnd::NotHL7);
    EXPECT_EQ(r.store.RecordCount, 0);
    EXPECT_EQ(host.questions, 1);
    EXPECT_EQ(host.passes, 1);
    EXPECT_TRUE(host.counts.empty());
}

struct SalvageCase {
    const char* name;
    std::string content;
    Records expected;
};
void PrintTo(const SalvageCase& c, std::ostream* os) { *os << c.name; }

class LoadSalvage : public ::testing::TestWithParam<SalvageCase> {};

TEST_P(LoadSalvage, AfterYes)
{
    TestHost host({true});
    const auto r = Load(GetParam().content, host);
    EXPECT_EQ(r.end, LoadEnd::Loaded);
    EXPECT_EQ(r.records, GetParam().expected);
    EXPECT_EQ(host.questions, 1);
    EXPECT_EQ(host.passes, 2);
    ExpectStoredInOrder(host, r.records);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LoadSalvage,
    ::testing::Values(
        SalvageCase{"HeaderFoundInsideLine",
                    "Export of 2024-01-01\rjunk text " + kMsgA + "\rPID|1\r",
                    {kMsgA + "\rPID|1\r"}},
        SalvageCase{"HeaderFoundInsideLaterLines",
                    "Export\r-- " + kMsgA + "\rPID|1\r-- " + kMsgB + "\rPID|2\r",
                    {kMsgA + "\rPID|1\r", kMsgB + "\rPID|2\r"}},
        SalvageCase{"HeaderFoundWithLfEnds",
                    "Export\njunk " + kMsgA + "\nPID|1\n",
                    {kMsgA + "\rPID|1\r"}},
        SalvageCase{"PassItOnLineIsSkipped",
                    "Export\r" + kMsgA + "\rZPA|PASSITON\rPID|1\r",
                    {kMsgA + "\rPID|1\r"}},
        SalvageCase{"EndOfFileCharIsRemoved",
                    "Export\x1a\r" + kMsgA + "\x1a\rPID|1\x1a|x\r\x1a",
                    {kMsgA + "\rPID|1|x\r"}},
        SalvageCase{"BlankFirstLineLoadsAsUsual",
                    "\r" + kMsgA + "\rPID|1\r" + kMsgB + "\rPID|2\r",
                    {kMsgA + "\rPID|1\r", kMsgB + "\rPID|2\r"}},
        SalvageCase{"BlankFirstLfLineLoadsAsUsual",
                    "\n" + kMsgA + "\nPID|1\n",
                    {kMsgA + "\rPID|1\r"}},
        SalvageCase{"NoHeaderAnywhereGivesOneEmptyRecord",
                    "just\rsome\rprose\r",
                    {"\r"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadNonHL7, LastLineWithoutEndIsKeptUnchanged)
{
    for (const char* end : {"\r", "\n"}) {
        TestHost host({true});
        const auto r = Load("Export" + std::string(end) + kMsgA + end + "PID|1", host);
        EXPECT_EQ(r.records, Records{kMsgA + "\rPID|1\r"}) << "line end " << int(end[0]);
    }
}

TEST(LoadNonHL7, PassItOnLineSkipsOnlyItselfWithLfEnds)
{
    const std::string endings[] = {"\r", "\n"};
    for (const std::string& e : endings) {
        TestHost host({true, true});
        EXPECT_EQ(Load("Export" + e + kMsgA + e + "ZPA|PASSITON" + e + "PID|1" + e + kMsgB + e, host)
                      .records,
                  (Records{kMsgA + "\rPID|1\r", kMsgB + "\r"}));
        EXPECT_EQ(Load("Export" + e + kMsgA + e + "ZPA|PASSITON" + e + "PID|1" + e, host).records,
                  Records{kMsgA + "\rPID|1\r"});
    }
}

TEST(LoadNonHL7, ContentIsNotModified)
{
    const std::string content = "Export\x1a\rjunk " + kMsgA + "\x1a\nPID|1\r\x7f\x0bZPA|PASSITON\r";
    const std::string copy = content;
    TestHost host({true});
    Load(content, host);
    EXPECT_EQ(content, copy);
}

// ---------------------------------------------------------------- store and host

TEST(LoadOptions, EndOfBlockCharSeparatesSegments)
{
    for (char eob : {'\n', '\x1c'}) {
        TestHost host;
        const auto r = Load(kMsgA + "\r\nPID|1\r\n" + kMsgB + "\r\n", host, eob);
        const std::string e(1, eob);
        EXPECT_EQ(r.records, (Records{kMsgA + e + "PID|1" + e, kMsgB + e})) << int(eob);
    }
}

struct CountCase {
    int32_t records;
    int32_t bound;
};
void PrintTo(const CountCase& c, std::ostream* os) { *os << c.records << " records"; }

class LoadCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(LoadCounts, KeptInOrderAndStoreGrows)
{
    const int32_t n = GetParam().records;
    std::string content;
    for (int32_t i = 1; i <= n; ++i)
        content += "MSH|^~\\&|S|F|R|F|||ADT^A01|" + std::to_string(i) + "|P|2.5\rPID|1\r";
    TestHost host;
    const auto r = Load(content, host);
    ASSERT_EQ(r.store.RecordCount, n);
    EXPECT_EQ(r.store.UpperBound(), GetParam().bound);
    for (int32_t i = 1; i <= n; ++i)
        EXPECT_NE(r.store.Record(i).find("|" + std::to_string(i) + "|P|"), std::string::npos);
    ExpectStoredInOrder(host, r.records);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoadCounts,
                         ::testing::Values(CountCase{1, 100}, CountCase{25, 100},
                                           CountCase{98, 100}, CountCase{99, 200},
                                           CountCase{250, 300}));

void LoadHundredThousand(const std::string& end, bool salvage)
{
    constexpr int32_t n = 100000;
    std::string content = salvage ? "Exported messages" + end : "";
    content.reserve(static_cast<size_t>(n) * 24);
    for (int32_t i = 0; i < n; ++i)
        content += "MSH|^~\\&|" + std::to_string(i) + end + "PID|1" + end;
    TestHost host(salvage ? std::deque<bool>{true} : std::deque<bool>{});
    const auto r = Load(content, host);
    ASSERT_EQ(r.store.RecordCount, n);
    EXPECT_LT(r.store.RecordCount, r.store.UpperBound());
    EXPECT_EQ(r.store.Record(1), "MSH|^~\\&|0\rPID|1\r");
    EXPECT_EQ(r.store.Record(n), "MSH|^~\\&|99999\rPID|1\r");
}

TEST(LoadLarge, HundredThousandRecords)
{
    LoadHundredThousand("\r", false);
    LoadHundredThousand("\n", false);
    LoadHundredThousand("\r", true);
    LoadHundredThousand("\n", true);
}

// ---------------------------------------------------------------- character dump

TEST(CharacterDump, SplitsIntoNineteenCharacterLines)
{
    const std::string record = "MSH|^~\\&|SEND|FAC|R\rPID|1||12345^^^HOSP\r";  // 40 characters
    ASSERT_EQ(record.size(), 40u);
    const auto lines = CharacterDumpLines(record);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].first, "ASCII");
    EXPECT_EQ(lines[1].first, "");
    EXPECT_EQ(lines[2].first, "");
    EXPECT_EQ(lines[0].second.substr(0, 20), " MSH|^~\\&|SEND|FAC|R");
    EXPECT_EQ(lines[1].second.substr(0, 20), " \rPID|1||12345^^^HOS");
    EXPECT_EQ(lines[2].second, std::string(18, ' ') + "P\r" + "50 0D ");
    EXPECT_EQ(lines[0].second.size(), 20u + 19u * 3u);
    EXPECT_EQ(lines[1].second.size(), 20u + 19u * 3u);
    EXPECT_TRUE(CharacterDumpLines("").empty());
}

TEST(CharacterDump, HighBytesAsTwoUpperCaseDigits)
{
    const std::string record = "A\xE9\xFF\x80z\x0b";
    const auto lines = CharacterDumpLines(record);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].first, "ASCII");
    EXPECT_EQ(lines[0].second, std::string(14, ' ') + record + "41 E9 FF 80 7A 0B ");
}

}  // namespace
}  // namespace quillon
