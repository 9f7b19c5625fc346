// Find in the record list and the field list: the ranges, the matching rules and the texts.
#include <gtest/gtest.h>

#include <QChar>
#include <random>
#include <string>
#include <vector>

#include "editing/FindDialogRules.h"
#include "editing/FilterRecords.h"
#include "editing/FindRecords.h"
#include "records/FieldLines.h"

namespace quillon {
namespace {

constexpr char kEob = '\r';
constexpr size_t kNone = std::string_view::npos;

SearchRequest Request(std::string text, std::string field = "", bool matchCase = false,
                      bool wholeWord = false, bool down = true)
{
    SearchRequest r;
    r.FindText = std::move(text);
    r.FindFieldName = std::move(field);
    r.MatchCase = matchCase;
    r.MatchWholeWordOnly = wholeWord;
    r.SearchDown = down;
    r.SearchUp = !down;
    return r;
}

// What upper-casing a Latin-1 text makes of a byte: its capital when that is a Latin-1
// character, else the byte itself (the sharp s and y-diaeresis have none).
char32_t UpperLatin1(unsigned char c)
{
    const char32_t upper = QChar::toUpper(char32_t{c});
    return upper <= 0xFF ? upper : c;
}

TEST(FindBytes, FoldedSearchAgreesWithAPlainScan)
{
    // Every pair of bytes: equal without Match case exactly when upper-casing makes them equal.
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            ASSERT_EQ(EqualBytes(std::string(1, char(a)), std::string(1, char(b)), false),
                      UpperLatin1(a) == UpperLatin1(b))
                << a << ' ' << b;

    // Needles and haystacks over a small alphabet, so that the 16-byte sieve sees many
    // candidates, near-misses and matches at every offset including the last one. The last
    // four (the two signs, sharp s and y-diaeresis) differ in the case bit but pair with nothing.
    const std::string alphabet = "aAbB|^\xe9\xc9\xfc\xdc [*?#\xd7\xf7\xdf\xff";
    std::mt19937 random(7);
    auto text = [&](size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    auto fold = [](char c) { return UpperLatin1(static_cast<unsigned char>(c)); };
    for (int round = 0; round < 3000; ++round) {
        const std::string hay = text(random() % 70);
        const std::string needle = text(1 + random() % 3);
        size_t expected = kNone;
        for (size_t i = 0; i + needle.size() <= hay.size() && expected == kNone; ++i) {
            bool same = true;
            for (size_t k = 0; k < needle.size(); ++k)
                same = same && fold(hay[i + k]) == fold(needle[k]);
            if (same)
                expected = i;
        }
        ASSERT_EQ(FindBytes(hay, needle, false), expected) << hay << " / " << needle;
        ASSERT_EQ(FindBytes(hay, needle, true), hay.find(needle)) << hay << " / " << needle;
    }
}

TEST(RecordListFind, RangeFromSelectionAndDirection)
{
    struct Case {
        bool down;
        int32_t start, row, page, count;
        int32_t first, last;
        bool empty;
    };
    const Case cases[] = {
        {true, -1, 0, 3, 1000, 1, 1000, false},     // new text, first row of page 3: record 1
        {true, 5, 5, 2, 1000, 407, 1000, false},    // the record after the selected one
        {true, 999, 399, 3, 1000, 1200, 1000, true},  // from the last record: nothing left
        {true, -1, -1, 2, 1000, 401, 1000, false},  // nothing selected: the page's first record
        {false, -1, 0, 3, 1000, 1, 1, false},       // new text, first row: only record 1
        {false, 0, 0, 1, 1000, 0, 1, true},         // first row of page 1, same text: nothing
        {false, 5, 5, 2, 1000, 405, 1, false},
        {false, -1, -1, 1, 1000, 1, 1, false},      // nothing selected: page 1's first record
        {false, -1, -1, 3, 1000, 801, 1, false},
        {true, -1, -1, 0, 0, -399, 0, true},        // nothing loaded
    };
    for (const Case& c : cases) {
        const auto range =
            RecordListFindRange(Request("x", "", false, false, c.down), c.start, c.row, c.page, c.count);
        ASSERT_TRUE(range);
        EXPECT_EQ(range->Empty(), c.empty) << c.down << ' ' << c.start << ' ' << c.row;
        if (!c.empty) {
            EXPECT_EQ(range->first, c.first) << c.down << ' ' << c.start << ' ' << c.row;
            EXPECT_EQ(range->last, c.last);
            EXPECT_EQ(range->step, c.down ? 1 : -1);
        }
    }
    SearchRequest neither = Request("x");
    neither.SearchDown = false;
    EXPECT_FALSE(RecordListFindRange(neither, -1, 0, 1, 10));
}

TEST(RecordListFind, WholeRecordMatching)
{
    struct Case {
        std::string record, text;
        bool matchCase, wholeWord;
        size_t position;  // kNone: no match
    };
    const std::string longRecord = "MSH|^~\\&|" + std::string(40, 'x') + "|Smith|" + std::string(30, 'y') + "\r";
    const Case cases[] = {
        {"MSH|^~\\&|A\rPID|1||Smith^John\r", "SMITH", false, false, 18},
        {"MSH|^~\\&|A\rPID|1||Smith^John\r", "SMITH", true, false, kNone},
        {longRecord, "smith", false, false, 50},
        {longRecord, "SMITH|", false, false, 50},
        // Latin-1 letters fold as upper-casing pairs them, other bytes stand as loaded.
        {"PID|1||Ren\xe9\r", "REN\xc9", false, false, 7},
        {"PID|1||Ren\xe9\r", "REN\xc9", true, false, kNone},
        {"PID|1||2\xd7" "3\r", "2\xf7" "3", false, false, kNone},
        // Never a pattern.
        {"PID|1||AB\r", "[A]", false, false, kNone},
        {"PID|1||[A]*?#\r", "[a]*?#", false, false, 7},
        {"PID|1||AXB\r", "A?B", false, false, kNone},
        // Whole word: only the first occurrence is judged.
        {"PID|1||ABC|AB\r", "AB", false, true, kNone},
        {"PID|1||AB|ABC\r", "AB", false, true, 7},
        {"PID|1||X AB^Y\r", "ab", false, true, 9},
        {"AB|1\r", "AB", false, true, 0},
        // The segment terminator inside the record is no boundary; the record's last
        // character counts as one.
        {"PID|1||AB\rPV1|1\r", "AB", false, true, kNone},
        {"PID|1||AB\r", "AB", false, true, 7},
        {"PID|1||ABQ", "AB", false, true, 7},
        {"PID|1||AB", "AB", false, true, 7},
    };
    const Delimiters delimiters;
    for (const Case& c : cases) {
        const SearchRequest request = Request(c.text, "", c.matchCase, c.wholeWord);
        const RecordMatcher matcher(request, delimiters, kEob);
        RecordMatch match;
        const bool found = matcher.Matches(c.record, match);
        EXPECT_EQ(found, c.position != kNone) << c.record << " / " << c.text;
        if (found) {
            EXPECT_EQ(match.position, c.position) << c.record << " / " << c.text;
            EXPECT_EQ(match.length, c.text.size());
        }
    }
}

TEST(RecordListFind, FieldMatching)
{
    struct Case {
        std::string record, field, text;
        bool matchCase, wholeWord;
        size_t position;  // kNone: no match
    };
    const std::string obx = "MSH|^~\\&|A\rOBX|1||x|low\rOBX|2||x|HIGH\rOBX|3||x|high\r";
    const Case cases[] = {
        {obx, "OBX-4", "HIGH", true, false, 33},   // the first matching segment decides
        {obx, "OBX-4", "high", false, false, 33},
        {obx, "OBX-4", "high", true, false, 47},
        {obx, "OBX-4", "LOW", false, true, 20},
        {obx, "OBX-3", "HIGH", false, false, kNone},  // in the record, not in that field
        {obx, "NTE-1", "1", false, false, kNone},     // no such segment
        {"PID|1||x|SMITH^JOHN\rPID|1||x|SMITH\r", "PID-4", "SMITH", false, true, 29},
        {"PID|1||x|SMITH^JOHN\r", "PID-4", "SMITH", false, true, kNone},
        {"PID|1||x|SMITH^JOHN\r", "PID-4-2", "john", false, true, 15},
        {"PID|1\rPID|1||x|SMITH\r", "PID-4", "SMITH", true, false, 15},  // absent in the first
        {"PID|1||x||z\r", "PID-4", "", false, false, 9},    // empty text: an empty value
        {"PID|1||x|y|z\r", "PID-4", "", false, false, kNone},
        {"ZXX" + std::string(100, '|') + "ABC\r", "ZXX-100", "ABC", false, false, 103},
        {"ZXX" + std::string(100, '|') + "ABC\r", "ZXX-10", "ABC", false, false, kNone},
        {"PID|1||[A]*\r", "PID-3", "[a]*", false, false, 7},
        {"XPID|1||x\r", "PID-3", "x", false, false, kNone},  // PID inside a segment
    };
    const Delimiters delimiters;
    for (const Case& c : cases) {
        const SearchRequest request = Request(c.text, c.field, c.matchCase, c.wholeWord);
        const RecordMatcher matcher(request, delimiters, kEob);
        RecordMatch match;
        const bool found = matcher.Matches(c.record, match);
        EXPECT_EQ(found, c.position != kNone) << c.record << " / " << c.field << " / " << c.text;
        if (found) {
            EXPECT_EQ(match.position, c.position) << c.record << " / " << c.field << " / " << c.text;
        }
    }
}

TEST(RecordListFind, FirstMatchingRecordInRange)
{
    RecordStore store;
    for (const char* r : {"MSH|^~\\&|A\rPID|1||ONE\r", "MSH|^~\\&|A\rPID|1||TWO\r",
                          "MSH|^~\\&|A\rPID|1||ONE\r", "MSH|^~\\&|A\rPID|1||THREE\r"})
        store.Append(r);
    struct Case {
        std::string text, field;
        RecordRange range;
        int32_t record;  // 0: not found
    };
    const Case cases[] = {
        {"one", "", {1, 4, 1}, 1},       {"one", "", {2, 4, 1}, 3},
        {"one", "", {4, 1, -1}, 3},      {"one", "", {2, 1, -1}, 1},
        {"one", "", {4, 4, 1}, 0},       {"one", "", {5, 4, 1}, 0},   // empty range
        {"one", "", {0, 1, -1}, 0},      {"three", "PID-3", {1, 4, 1}, 4},
        {"TWO", "MSH-3", {1, 4, 1}, 0},
    };
    const Delimiters delimiters;
    for (const Case& c : cases) {
        const RecordMatch match =
            FindRecord(store, Request(c.text, c.field), delimiters, kEob, c.range);
        EXPECT_EQ(match.found, c.record != 0) << c.text << ' ' << c.range.first;
        EXPECT_EQ(match.record, c.record) << c.text << ' ' << c.range.first;
    }
}

TEST(FieldListFind, LinesAfterAFoundRecord)
{
    const std::string description = "Patient Name";
    const std::string name = FieldListLine("PID-5-1", nullptr, "SMITH JR");
    const std::string described = FieldListLine("PID-5-1", &description, "SMITH JR");
    struct Case {
        std::string line;
        bool descriptions;
        std::string text, field;
        bool matchCase, wholeWord, selected;
    };
    const Case cases[] = {
        {name, false, "smith", "", false, false, true},
        {name, false, "smith", "", true, false, false},
        {name, false, "SMITH", "PID-5-1", false, true, true},
        {name, false, "SMITH", "PID-5", false, false, false},  // another designation
        {name, false, "MIT", "", false, true, false},
        {name, false, "PID", "", false, false, false},         // the designation is not searched
        {described, true, "Patient", "", false, false, false},  // nor the description
        {described, true, "JR", "", false, true, true},
        {"", false, "x", "", false, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FoundFieldLineMatches(c.line, Request(c.text, c.field, c.matchCase, c.wholeWord),
                                        c.descriptions),
                  c.selected)
            << c.line << " / " << c.text;
}

TEST(FieldListFind, NextMatchingLine)
{
    const std::string description = "Patient Name [x]";
    const std::vector<std::string> lines = {
        FieldListLine("PID-3", nullptr, "123"),   FieldListLine("PID-5-1", nullptr, "smith"),
        FieldListLine("PID-5-2", nullptr, "SMITH^JOHN"), "",
        FieldListLine("PID-7", nullptr, "[A]*"),
    };
    const std::vector<std::string> described = {FieldListLine("PID-5", &description, "x")};
    struct Case {
        const std::vector<std::string>* list;
        bool descriptions;
        std::string text;
        bool matchCase, wholeWord, down;
        int64_t start, expected;
    };
    const Case cases[] = {
        {&lines, false, "SMITH", false, false, true, -1, 1},
        {&lines, false, "SMITH", true, false, true, -1, 2},
        {&lines, false, "SMITH", false, true, true, 1, -1},  // SMITH^JOHN is no whole word
        {&lines, false, "smith", true, true, true, -1, 1},
        {&lines, false, "SMITH", true, true, true, -1, -1},  // Match case holds for whole words
        {&lines, false, "SMITH", false, false, false, 4, 2},
        {&lines, false, "SMITH", false, false, false, -1, -1},  // up with nothing selected
        {&lines, false, "123", false, false, true, 4, -1},      // down from the last line
        {&lines, false, "[a]*", false, true, true, -1, 4},      // never a pattern
        {&lines, false, "[a]", false, true, true, -1, -1},
        {&lines, false, " 123", false, false, true, -1, 0},     // the edge blank of the value
        {&lines, false, "PID", false, false, true, -1, -1},
        {&described, true, "Patient", false, false, true, -1, -1},
        {&described, false, "Patient", false, false, true, -1, 0},
    };
    for (const Case& c : cases) {
        const auto& list = *c.list;
        const int64_t j = FindFieldListLine(
            static_cast<int64_t>(list.size()), [&](int64_t i) { return std::string_view(list[i]); },
            c.start, Request(c.text, "", c.matchCase, c.wholeWord, c.down), c.descriptions);
        EXPECT_EQ(j, c.expected) << c.text << ' ' << c.start;
    }
}

TEST(FindMessages, TextsAsShown)
{
    EXPECT_EQ(NoFurtherOccurrencesMessage("ab"), "No further occurances of 'ab' were found.");
    EXPECT_EQ(NoMoreOccurrencesMessage("ab"), "No more occurances of 'ab' were found.");
    EXPECT_EQ(NoMoreRecordOccurrencesMessage("ab"), "No more occurances of 'ab' was found.");
    EXPECT_EQ(FoundRecordLabel(12, 300), "Rec  12/300");
}

// A long find, filter or segment text is quoted only in its start, followed by how much was left
// out; the message's own words stay.
TEST(FindMessages, QuoteOnlyTheStartOfALongText)
{
    const std::string text = std::string(300, 'a') + std::string(4700, '#');
    const struct {
        std::string shown;
        const char* words;
    } messages[] = {
        {NoFurtherOccurrencesMessage(text), "' were found."},
        {NoMoreOccurrencesMessage(text), "' were found."},
        {NoMoreRecordOccurrencesMessage(text), "' was found."},
        {BadFieldNameMessage(text), "\""},
        {NoRecordsFoundWhichMessage(text, true),
         "'.  Therefore the record list will not be changed."},
    };
    for (const auto& m : messages) {
        EXPECT_NE(m.shown.find(std::string(300, 'a')), std::string::npos) << m.shown;
        EXPECT_EQ(m.shown.find('#'), std::string::npos) << m.shown;
        EXPECT_NE(m.shown.find("4700"), std::string::npos) << m.shown;
        EXPECT_TRUE(m.shown.ends_with(m.words)) << m.shown;
        EXPECT_LT(m.shown.size(), 450u);
    }
}

DescriptionDictionary PickerDictionary()
{
    DescriptionDictionary d;
    d.DescriptionKeys = {"MSH-9", "PID-3", "PID-5", "PID-5-1", "PV1-2", "ZXX-100"};
    d.Descriptions = {"Message Type", "Patient ID", "Patient Name", "Family Name",
                      "Patient Class", "Hundredth"};
    return d;
}

TEST(FindPickers, FieldLinesAndTheFieldCheck)
{
    const DescriptionDictionary d = PickerDictionary();
    const std::vector<std::string> pid = FieldPickerLines(d, "PID");
    EXPECT_EQ(pid, (std::vector<std::string>{"PID- 3      Patient ID", "PID- 5      Patient Name",
                                             "PID- 5- 1   Family Name"}));
    EXPECT_TRUE(FieldPickerLines(d, "all").empty());
    EXPECT_TRUE(FieldPickerLines(d, "PI").empty());
    // Three digits stay whole.
    const std::vector<std::string> zxx = FieldPickerLines(d, "ZXX");
    EXPECT_EQ(zxx, std::vector<std::string>{"ZXX-100     Hundredth"});

    struct Case {
        std::string fieldText;
        const std::vector<std::string>* lines;
        std::optional<std::string> expected;
    };
    const std::vector<std::string> none;
    for (const Case& c : std::vector<Case>{
             {"", &none, ""},                       // the whole record
             {"PID-5", &pid, "PID-5"},              // typed
             {"PID- 5- 1   Family Name", &pid, "PID-5-1"},  // a line of the list
             {"PID-9", &pid, std::nullopt},
             {"PID-5", &none, std::nullopt},        // segment "all" has no fields
             {"ZXX-100     Hundredth", &zxx, "ZXX-100"},
             {"ZXX-00", &zxx, std::nullopt},
         })
        EXPECT_EQ(CheckedFindFieldName(c.fieldText, *c.lines), c.expected) << c.fieldText;
    EXPECT_EQ(BadFieldNameMessage("all"), "That is not a valid field in segment \"all\"");
}

TEST(FindPickers, LeavingTheFieldBox)
{
    struct Case {
        std::string text, segment, expectedText;
        std::optional<std::string> expectedSegment;
    };
    for (const Case& c : std::vector<Case>{
             {" pid-5 ", "PV1", "PID-5", "PID"},
             {"pid-5", "PID", "PID-5", std::nullopt},
             {"pid5", "all", "PID5", std::nullopt},
             {"PID- 5      Patient Name", "PID", "PID- 5      PATIENT NAME", std::nullopt},
         }) {
        const FieldBoxLeave leave = LeaveFieldBox(c.text, c.segment);
        EXPECT_EQ(leave.fieldText, c.expectedText) << c.text;
        EXPECT_EQ(leave.segment, c.expectedSegment) << c.text;
    }
}

TEST(FindHistory, EntriesMoveToTheTopAndFiveAreKept)
{
    EXPECT_EQ(RecordFindHistoryEntry("x", "ALL", "", false, true), "x\tall\tMATCH CASE");
    EXPECT_EQ(RecordFindHistoryEntry("x", "PID", "PID-5", true, true),
              "x\tPID-5\tWHOLE WORD\tMATCH CASE");

    std::vector<std::string> lines;
    for (const char* e : {"a", "b", "c", "d", "e"})
        PushHistory(lines, e, RecordFindHistoryLength);
    PushHistory(lines, "c", RecordFindHistoryLength);  // moves, never shortens
    EXPECT_EQ(lines, (std::vector<std::string>{"c", "e", "d", "b", "a"}));
    PushHistory(lines, "f", RecordFindHistoryLength);  // the oldest goes
    EXPECT_EQ(lines, (std::vector<std::string>{"f", "c", "e", "d", "b"}));
    std::vector<std::string> ten(10, "old");
    ten[0] = "new0";
    PushHistory(ten, "g", RecordFindHistoryLength);  // ten read from the settings: five after
    EXPECT_EQ(ten.size(), 5u);
    std::vector<std::string> unlimited(7, "x");
    PushHistory(unlimited, "y", 0);
    EXPECT_EQ(unlimited.size(), 8u);

    struct Case {
        std::string line, find, segment, field;
        bool whole, matchCase;
    };
    for (const Case& c : std::vector<Case>{
             {"SMITH\tPID- 5      Patient Name\tWHOLE WORD", "SMITH", "PID",
              "PID- 5      Patient Name", true, false},
             {"x\tall\tMATCH CASE", "x", "all", "", false, true},
             {"x\tALL", "x", "all", "", false, false},
             {"no tab", "no tab", "all", "", false, false},
         }) {
        const RecordFindHistoryChoice choice = SplitRecordFindHistoryLine(c.line);
        EXPECT_EQ(choice.findText, c.find);
        EXPECT_EQ(choice.segmentText, c.segment);
        EXPECT_EQ(choice.fieldText, c.field);
        EXPECT_EQ(choice.wholeWord, c.whole);
        EXPECT_EQ(choice.matchCase, c.matchCase);
    }
}

TEST(FindDelimiters, RefusedInFindThenReplaceText)
{
    const std::string all = "|^~\\&";
    struct Case {
        std::string find, replace;
        bool testFind;
        std::optional<bool> refusedInFind;  // none: accepted
    };
    for (const Case& c : std::vector<Case>{
             {"a^b", "c", true, true},
             {"ab", "c&d", true, false},
             {"a&b", "c|d", true, false},  // "|" comes first among the delimiters
             {"a^b", "c", false, std::nullopt},  // assign: only the replace text
             {"[*?#]", "plain", true, std::nullopt},
         }) {
        const auto refusal = RefuseDelimiters(all, c.find, c.replace, c.testFind);
        ASSERT_EQ(refusal.has_value(), c.refusedInFind.has_value()) << c.find << ' ' << c.replace;
        if (refusal) {
            EXPECT_EQ(refusal->inFindText, *c.refusedInFind) << c.find;
        }
    }
    EXPECT_EQ(RefuseDelimiters(all, "^", "", true)->message,
              "You can not use any of the characters '|^~\\&' in your find text.");
}

}  // namespace
}  // namespace quillon
