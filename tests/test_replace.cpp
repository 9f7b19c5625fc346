// Replace in the record list and in one segment: the rules over record text, without windows.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "editing/ReplaceRecords.h"

namespace quillon {
namespace {

constexpr char kEob = '\r';

SearchRequest Request(std::string find, std::string replace, bool matchCase = false,
                      bool wholeWord = false, std::string field = "")
{
    SearchRequest r;
    r.FindText = std::move(find);
    r.ReplaceText = std::move(replace);
    r.MatchCase = matchCase;
    r.MatchWholeWordOnly = wholeWord;
    r.ReplaceFieldName = std::move(field);
    return r;
}

TEST(ReplaceInRecord, WholeRecordMode)
{
    struct Case {
        const char* record;
        const char* find;
        const char* replace;
        bool matchCase, wholeWord;
        const char* expected;
        int32_t count;
    };
    const std::vector<Case> cases = {
        {"PID|abc|ABC|Abc\r", "abc", "xY", false, false, "PID|xY|xY|xY\r", 3},
        {"PID|abc|ABC|Abc\r", "abc", "xY", true, false, "PID|xY|ABC|Abc\r", 1},
        // The search resumes after each inserted text.
        {"AAA", "A", "AA", false, false, "AAAAAA", 3},
        {"PID|123|123\r", "123", "", false, false, "PID||\r", 2},
        {"PID|ABC|x\r", "ABC", "Z", false, true, "PID|Z|x\r", 1},
        // The first occurrence fails the test and ends the record.
        {"PID|XABC|ABC|\r", "ABC", "Z", false, true, "PID|XABC|ABC|\r", 0},
        // A terminator inside the record is no boundary; the record's last character is.
        {"PID|ABC\rPV1|1\r", "ABC", "Z", false, true, "PID|ABC\rPV1|1\r", 0},
        {"PID|1|ABC\r", "ABC", "Z", false, true, "PID|1|Z\r", 1},
        {"ABC ABC", "abc", "Z", false, true, "Z Z", 2},
        // Right after a replacement the character before is the replacement's last.
        {" A A|", " A", "B ", false, true, "B B |", 2},
        {"PID|abc\r", "", "Z", false, false, "PID|abc\r", 0},
    };
    for (const Case& c : cases) {
        std::string record = c.record;
        const SearchRequest request = Request(c.find, c.replace, c.matchCase, c.wholeWord);
        EXPECT_EQ(ReplaceInRecord(record, request, Delimiters(), kEob), c.count) << c.record;
        EXPECT_EQ(record, c.expected) << c.record << " / " << c.find;
    }
}

TEST(ReplaceInRecord, FieldMode)
{
    struct Case {
        const char* record;
        const char* field;
        const char* find;
        const char* replace;
        const char* expected;
        int32_t count;
    };
    const std::string any(AnythingFindText);
    const std::vector<Case> cases = {
        {"MSH|^~\\&|A\rPID|1||123^^^X123\r", "PID-3", "123", "9",
         "MSH|^~\\&|A\rPID|1||9^^^X123\r", 1},
        {"PID|1||doe\r", "PID-3", "DOE", "Roe", "PID|1||Roe\r", 1},
        {"PID|1||\r", "PID-3", any.c_str(), "V", "PID|1||V\r", 1},
        // No field is ever created.
        {"PID|1\r", "PID-3", any.c_str(), "V", "PID|1\r", 0},
        {"PID|1|a\r", "PID-2", any.c_str(), "", "PID|1|\r", 1},
        {"PID|1||3||DOE^JOHN\r", "PID-5-1", any.c_str(), "X", "PID|1||3||X^JOHN\r", 1},
        // Every segment of the type, whatever the lengths.
        {"OBX|1|A\rOBX|2|BB\rNTE|OBX|2\rOBX|3|\r", "OBX-2", any.c_str(), "LONGER",
         "OBX|1|LONGER\rOBX|2|LONGER\rNTE|OBX|2\rOBX|3|LONGER\r", 3},
        {"OBX|1|A\rOBX|2|B\r", "OBX-2", "b", "c", "OBX|1|A\rOBX|2|c\r", 1},
        {"OBX|1|A\r", "OBX-2", "Z", "c", "OBX|1|A\r", 0},
    };
    for (const Case& c : cases) {
        std::string record = c.record;
        const SearchRequest request = Request(c.find, c.replace, false, false, c.field);
        EXPECT_EQ(ReplaceInRecord(record, request, Delimiters(), kEob), c.count) << c.record;
        EXPECT_EQ(record, c.expected) << c.record << " / " << c.field;
    }
}

TEST(RecordListReplaceAll, RangeAndChosenRecordsOnly)
{
    RecordStore store;
    for (int i = 1; i <= 6; ++i)
        store.Append("PID|" + std::to_string(i) + "|A\r");
    const SearchRequest request = Request("a", "B");
    EXPECT_EQ(RecordListReplaceAll(store, request, Delimiters(), kEob, 2, 5,
                                   [](int32_t i) { return i != 3; }),
              3);
    const std::vector<std::string> expected = {"PID|1|A\r", "PID|2|B\r", "PID|3|A\r",
                                               "PID|4|B\r", "PID|5|B\r", "PID|6|A\r"};
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(store.Record(i), expected[static_cast<size_t>(i - 1)]);
    // A range past the last record stops at the last.
    EXPECT_EQ(RecordListReplaceAll(store, request, Delimiters(), kEob, 1, 99), 3);
}

TEST(SegmentReplaceAll, InsideTheChosenSegmentOnly)
{
    struct Case {
        const char* record;
        const char* line;
        const char* find;
        const char* replace;
        bool wholeWord;
        const char* expected;
        std::optional<int32_t> count;
    };
    const std::vector<Case> cases = {
        {"MSH|x\rPID|123|X123|123\r", "PID|123|X123|123", "123", "9", false,
         "MSH|x\rPID|9|X9|9\r", 3},
        // The segment name is never replaced.
        {"PID|123|X123|123\r", "PID|123|X123|123", "ID", "Q", false, "PID|123|X123|123\r", 0},
        {"PID|12|A_12|12^3\r", "PID|12|A_12|12^3", "12", "9", true, "PID|9|A_12|9^3\r", 2},
        // The segment is the one whose whole text the line is, not an earlier one holding it.
        {"NTE|PID|1\rPID|1\r", "PID|1", "1", "2", false, "NTE|PID|1\rPID|2\r", 1},
        {"PID|a\rPV1|a\r", "PID|a", "a", "aaa", false, "PID|aaa\rPV1|a\r", 1},
        {"PID|a\rPID|a\r", "PID|a", "A", "b", false, "PID|b\rPID|a\r", 1},
        {"PID|a\r", "PID|b", "a", "b", false, "PID|a\r", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string record = c.record;
        const SearchRequest request = Request(c.find, c.replace, false, c.wholeWord);
        EXPECT_EQ(SegmentReplaceAll(record, c.line, request, kEob), c.count) << c.record;
        EXPECT_EQ(record, c.expected) << c.record << " / " << c.find;
    }
}

TEST(ReplaceTexts, FieldNameAndMessages)
{
    const std::vector<std::pair<const char*, const char*>> names = {
        {"", ""},
        {"PID- 5- 1   Family Name", "PID-5-1"},
        {"PID-13      Phone Number - Business", "PID-13"},
        // Typed without a blank: taken whole.
        {"PID-5", "PID-5"},
    };
    for (const auto& [text, name] : names)
        EXPECT_EQ(ReplaceFieldNameFrom(text), name) << text;
    EXPECT_EQ(ReplacementCountMessage(1), "1 replacement was made.");
    EXPECT_EQ(ReplacementCountMessage(0), " 0 replacements were made.");
    EXPECT_EQ(ReplacementCountMessage(12), " 12 replacements were made.");
}

}  // namespace
}  // namespace quillon
