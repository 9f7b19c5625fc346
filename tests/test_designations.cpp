// Field designations: the separator-counting locators, the record's field table, the
// table lookup and the assign-value key.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "records/FieldDesignations.h"

namespace quillon {
namespace {

constexpr char kEob = '\r';
constexpr int32_t kUntouched = -99;  // `length` must keep this when nothing is found

const std::string kRecord =
    "MSH|^~\\&|SEND|FAC\rPID|1||123~456|X\rOBX|1|ST|A||first\rOBX|2|ST|B||second\r";
const std::string kHeaders = "FHS|^~\\&|F3\rBHS|^~\\&|B3\r";
const std::string kParts = "PID|1||a^b~c^d|A\\F\\B^C\\S\\D&E";  // one segment, no terminator
const std::string kHash = "MSH#$%*@#SEND\rPID#1##a$b%c$d#X\r";
const std::string kTenFields = "PID|1|2|3|4|5|6|7|8|9|10\rPID" + std::string(35, '|') + "\r";

Delimiters Hash()
{
    Delimiters d;
    d.SetFromHeader("MSH#$%*@");
    return d;
}

struct LocateCase {
    std::string record;
    const char* designation;
    const char* value;
    int32_t start;  // 0: not found
    int32_t length;
    bool hash = false;
};

TEST(WhatIsInField, ValueStartAndLength)
{
    const LocateCase cases[] = {
        {kRecord, "MSH-1", "|", 4, 1},       {kRecord, "MSH-2", "^~\\&", 5, 4},
        {kRecord, "MSH-3", "SEND", 10, 4},   {kRecord, "MSH-2-2", "", 0, 0},
        {kRecord, "MSH-5", "", 0, 0},        {kHeaders, "FHS-1", "|", 4, 1},
        {kHeaders, "FHS-3", "F3", 10, 2},
        {kHeaders, "BHS-1", "|", 16, 1},     {kHeaders, "BHS-2", "^~\\&", 17, 4},
        {kHeaders, "BHS-3", "B3", 22, 2},    {kRecord, "PID-1", "1", 23, 1},
        {kRecord, "PID-2", "", 25, 0},       {kRecord, "PID-3", "123~456", 26, 7},
        {kRecord, "PID-3(1)", "123", 26, 3}, {kRecord, "PID-3(2)", "456", 30, 3},
        {kRecord, "PID-3(3)", "", 0, 0},     {kRecord, "PID-4", "X", 34, 1},
        {kRecord, "PID-4(1)", "X", 34, 1},   {kRecord, "PID-4(2)", "", 0, 0},
        {kRecord, "PID-5", "", 0, 0},  // the next segment has more fields
        {kRecord, "OBX-5", "first", 48, 5},  {kRecord, "OBX-4", "", 47, 0},
        {kRecord, "ZZZ-1", "", 0, 0},
        {kRecord, "SEN-1", "", 0, 0},  // inside a field, not at a segment's start
        {kTenFields, "PID-10", "10", 23, 2}, {kTenFields, "PID-30", "", 0, 0},
        {kParts, "PID-3-2(1)", "b", 10, 1},  {kParts, "PID-3-1(2)", "c", 12, 1},
        {kParts, "PID-3-2(2)", "d", 14, 1},  {kParts, "PID-3(2)", "c^d", 12, 3},
        {kParts, "PID-3-2", "b", 10, 1},     {kParts, "PID-3-3", "", 0, 0},
        {kParts, "PID-4-1", "A\\F\\B", 16, 5},
        {kParts, "PID-4-2", "C\\S\\D&E", 22, 7},
        {kParts, "PID-4", "A\\F\\B^C\\S\\D&E", 16, 13},
        {kHash, "MSH-1", "#", 4, 1, true},   {kHash, "MSH-2", "$%*@", 5, 4, true},
        {kHash, "PID-3-1(2)", "c", 26, 1, true}, {kHash, "PID-3(2)", "c$d", 26, 3, true},
    };
    for (const auto& c : cases) {
        int32_t start = -1;
        int32_t length = kUntouched;
        const std::string value = WhatIsInField(c.record, c.designation, start, length,
                                                c.hash ? Hash() : Delimiters{}, kEob);
        EXPECT_EQ(value, c.value) << c.designation << " in " << c.record;
        EXPECT_EQ(start, c.start) << c.designation << " in " << c.record;
        EXPECT_EQ(length, c.start == 0 ? kUntouched : c.length) << c.designation;
    }
}

TEST(WhatIsInFieldForFilter, RepetitionComesOnlyFromTheFilter)
{
    const struct {
        const char* designation;
        const char* repetition;
        const char* value;
        int32_t start;
    } cases[] = {
        {"PID-3-1", "(2)", "c", 12},       {"PID-3-1(2)", "", "a", 8},
        {"PID-3", "(2)", "c^d", 12},       {"PID-3(1)", "", "a^b~c^d", 8},
        {"PID-4", "(2)", "", 0},           {"PID-4", "(1)", "A\\F\\B^C\\S\\D&E", 16},
    };
    for (const auto& c : cases) {
        int32_t start = -1;
        int32_t length = kUntouched;
        const std::string value =
            WhatIsInFieldForFilter(kParts, c.designation, c.repetition, start, length, {}, kEob);
        EXPECT_EQ(value, c.value) << c.designation << " " << c.repetition;
        EXPECT_EQ(start, c.start) << c.designation << " " << c.repetition;
        EXPECT_EQ(length, c.start == 0 ? kUntouched : static_cast<int32_t>(value.size()));
    }
}

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows Table(const std::string& record, bool displayEmptyFields, const Delimiters& d = {})
{
    Rows rows;
    for (const FieldEntry& e : ParseRecordToFieldList(record, d, kEob, displayEmptyFields))
        rows.emplace_back(e.designation, e.value);
    return rows;
}

const std::string kSample = "MSH|^~\\&|S\rPID|1||a^^c|x~~y|p^~^q|\r";

TEST(ParseRecordToFieldList, RowsWithAndWithoutEmptyFields)
{
    const struct {
        std::string record;
        bool displayEmpty;
        Rows rows;
    } cases[] = {
        {kSample, false, {{"MSH-1", "|"}, {"MSH-2", "^~\\&"}, {"MSH-3", "S"}, {"PID-1", "1"},
                          {"PID-2", ""}, {"PID-3-1", "a"}, {"PID-3-3", "c"}, {"PID-4(1)", "x"},
                          {"PID-4(3)", "y"}, {"PID-5-1(1)", "p"}, {"PID-5-2(2)", "q"},
                          {"PID-6", ""}}},
        {kSample, true, {{"MSH-1", "|"}, {"MSH-2", "^~\\&"}, {"MSH-3", "S"}, {"PID-1", "1"},
                         {"PID-2", ""}, {"PID-3-1", "a"}, {"PID-3-2", ""}, {"PID-3-3", "c"},
                         {"PID-4(1)", "x"}, {"PID-4(2)", ""}, {"PID-4(3)", "y"},
                         {"PID-5-1(1)", "p"}, {"PID-5-2(1)", ""}, {"PID-5-1(2)", ""},
                         {"PID-5-2(2)", "q"}, {"PID-6", ""}}},
        {"BHS||X", false, {{"BHS-1", "|"}, {"BHS-3", "X"}}},
        {"BHS||X", true, {{"BHS-1", "|"}, {"BHS-2", ""}, {"BHS-3", "X"}}},
        {"", false, {{"", ""}}},
        {"ZZZ\r\r", true, {{"", ""}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Table(c.record, c.displayEmpty), c.rows) << c.record << " " << c.displayEmpty;
}

TEST(WhatIsInField, EveryTableRowSplicesBackIntoTheRecord)
{
    for (const auto& [record, d] :
         {std::pair{kSample, Delimiters{}}, {kParts, Delimiters{}}, {kHash, Hash()}}) {
        for (const auto& [designation, value] : Table(record, true, d)) {
            int32_t start = 0;
            int32_t length = 0;
            EXPECT_EQ(WhatIsInField(record, designation, start, length, d, kEob), value)
                << designation;
            ASSERT_GT(start, 0) << designation;
            EXPECT_EQ(record.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)),
                      value)
                << designation;
        }
    }
}

TEST(WhatIsInField, FindsSegmentsFarIntoALongRecord)
{
    std::string record = "MSH|^~\\&|A\r";
    for (int i = 0; i < 2000; ++i)
        record += "OBX|" + std::to_string(i) + "|ST|CODE^TEXT|~|value " + std::to_string(i) + "\r";
    const int32_t expected = static_cast<int32_t>(record.size()) + 5;
    record += "ZZZ|last\r";
    int32_t start = 0;
    int32_t length = 0;
    EXPECT_EQ(WhatIsInField(record, "ZZZ-1", start, length, {}, kEob), "last");
    EXPECT_EQ(start, expected);
    EXPECT_EQ(Table(record, false).size(), 3u + 2000u * 5u + 1u);
}

TEST(WhatIsInFieldNew, RebuildsAndJoinsFromTheTable)
{
    const struct {
        std::string record;
        const char* designation;
        bool displayEmpty;
        const char* value;
        bool hash = false;
    } cases[] = {
        {kRecord, "OBX-5", false, "first|second"},
        {kRecord, "PID-3(2)", false, "456"},
        {kRecord, "PID-3", false, "123|456"},  // repetitions join with a literal "|"
        {kRecord, "PID-3(5)", false, ""},
        {kRecord, "PID-30", false, ""},
        {kRecord, "PID-2-1", false, ""},
        {"PID|1||||Smith^John", "PID-5", false, "Smith^John"},
        {"PID|1||||A^^C", "PID-5", false, "A^C"},
        {"PID|1||||A^^C", "PID-5", true, "A^^C"},
        {kParts, "PID-3", false, "a^b~c^d"},
        {kParts, "PID-3-1", false, "a|c"},
        {"PID|1|2|3|4|5|6|7|M", "PID-8-1", false, "M"},
        {"PID|1|2|3|4|5|6|7|M^F", "PID-8-1", false, "M"},
        // Another segment's PID-8 has components, though not this one: no fallback.
        {"PID|1|2|3|4|5|6|7|M\rPID|1|2|3|4|5|6|7|^F", "PID-8-1", false, ""},
        {kHash, "PID-3", false, "a$b%c$d", true},
        {"OBX#1##123%456\rOBX#2\r", "OBX-1", false, "1#2", true},
        {"OBX#1##123%456\rOBX#2\r", "OBX-3", false, "123|456", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WhatIsInFieldNew(c.record, c.designation, c.hash ? Hash() : Delimiters{}, kEob,
                                   c.displayEmpty),
                  c.value)
            << c.designation << " in " << c.record;
}

TEST(AssignValueFieldKey, RightAlignsEachNumber)
{
    const std::pair<const char*, const char*> cases[] = {
        {"PID-5-1", "PID- 5- 1"},   {"PID-13", "PID-13"},         {"MSH-9-1", "MSH- 9- 1"},
        {"OBX-5", "OBX- 5"},        {"PID-3-1(2)", "PID- 3-1(2)"}, {"PID", "PID"},
        {"PID-5-", "PID- 5-  "},    {"ABCDEFGHIJ-12", "ABCDEFGHIJ- 1"},  // 12 characters read
        {"", ""},
    };
    for (const auto& [designation, key] : cases)
        EXPECT_EQ(AssignValueFieldKey(designation), key) << designation;
}

}  // namespace
}  // namespace quillon
