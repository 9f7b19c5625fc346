// The record filter without windows: which records a request matches, and the one pass that
// keeps or removes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing/FilterRecords.h"

namespace quillon {
namespace {

constexpr char kEob = '\r';

const std::string kMsh = "MSH|^~\\&|A|B|||20260101||ADT^A01|1|P|2.3\r";
// Three OBX segments; PID-2 is empty and PID has no ninth field; JOHN ends a segment inside
// the record, NEEDLE ends the record.
const std::string kLab =
    kMsh + "PID|1||ID1~123||DOE^JOHN\rOBX|1|NM|X||5.1\rOBX|2|NM|X||7.2\r" + "OBX|3|NM|X||NEEDLE\r";
const std::string kPlain = "MSH|^~\\&|A|B\rPID|1||ADTX|ADT|\rZPI|1|Z\r";

struct Case {
    const char* name;
    std::string record;
    std::string text;
    std::string field;
    bool matchCase = false;
    bool wholeWord = false;
    bool onText = true;  // false: segment presence, the segment from `segment`
    std::string segment;
    bool byField = false;
    std::string repetition;
    bool matches;
};

FilterCriteria CriteriaOf(const Case& c)
{
    FilterCriteria criteria;
    criteria.request.FilterText = c.text;
    criteria.request.FilterFieldName = c.field;
    criteria.request.FilterSegment = c.segment;
    criteria.request.FilterOnText = c.onText;
    criteria.MatchCase = c.matchCase;
    criteria.MatchWholeWordOnly = c.wholeWord;
    criteria.byField = c.byField;
    criteria.repetition = c.repetition;
    return criteria;
}

TEST(FilterMatcher, DecidesEachTest)
{
    const std::vector<Case> cases = {
        {"text ignoring case", kLab, "adt", "", false, false, true, "", false, "", true},
        {"text with case", kLab, "adt", "", true, false, true, "", false, "", false},
        {"whole word between delimiters", kLab, "ADT", "", false, true, true, "", false, "", true},
        // The first occurrence (in ADTX) fails, and later ones are not tried.
        {"whole word first occurrence only", kPlain, "ADT", "", false, true, true, "", false, "",
         false},
        {"whole word before an inner terminator", kLab, "JOHN", "", false, true, true, "", false,
         "", false},
        {"whole word ending the record", kLab, "NEEDLE", "", false, true, true, "", false, "",
         true},
        {"empty text is in every record", kLab, "", "", false, false, true, "", false, "", true},
        {"empty text is no word at a letter", kLab, "", "", false, true, true, "", false, "",
         false},
        {"third OBX holds it", kLab, "needle", "OBX-5", false, false, true, "", false, "", true},
        {"field whole word is the value", kLab, "7.2", "OBX-5", false, true, true, "", false, "",
         true},
        {"field whole word not a part", kLab, "7", "OBX-5", false, true, true, "", false, "",
         false},
        {"no OBX segment", kPlain, "1", "OBX-5", false, false, true, "", false, "", false},
        {"empty text, empty field", kLab, "", "PID-2", false, false, true, "", false, "", true},
        {"empty text, missing field", kLab, "", "PID-9", false, false, true, "", false, "", true},
        {"empty text, filled field", kLab, "", "PID-3", false, false, true, "", false, "", false},
        {"Z-segment present", kPlain, "ignored", "", false, false, false, "ZPI", false, "", true},
        {"segment absent", kLab, "", "ZPI-1", false, false, false, "ZPI", false, "", false},
        {"first segment present", kLab, "", "", false, false, false, "MSH", false, "", true},
        {"by field, second repetition", kLab, "123", "PID-3", false, true, true, "", true, "(2)",
         true},
        {"by field, first repetition", kLab, "123", "PID-3", false, true, true, "", true, "",
         false},
        {"by field, never presence", kLab, "123", "PID-3", false, true, false, "ZZZ", true, "(2)",
         true},
        {"by field, written repetition gives way", kLab, "123", "PID-3(1)", false, true, true, "",
         true, "(2)", true},
    };
    const Delimiters delimiters;
    for (const Case& c : cases) {
        const FilterMatcher matcher(CriteriaOf(c), delimiters, kEob);
        EXPECT_EQ(matcher.Matches(c.record), c.matches) << c.name;
    }

    // A short header leaves delimiters empty: they are no word boundaries and split nothing.
    Delimiters shortHeader;
    shortHeader.SetFromHeader("MSH|");
    const Case word{"", "MSH|\rPID|1||A^B\r", "B", "", false, true, true, "", false, "", false};
    EXPECT_FALSE(FilterMatcher(CriteriaOf(word), shortHeader, kEob).Matches(word.record));
    const Case field{"",  "MSH|\rPID|1||A^B\r", "A^B", "PID-3-1", false, true, true, "", false, "",
                     true};
    EXPECT_TRUE(FilterMatcher(CriteriaOf(field), shortHeader, kEob).Matches(field.record));
}

RecordStore StoreOf(int count)
{
    RecordStore store;
    for (int i = 1; i <= count; ++i)
        store.Append(kMsh + "PID|" + std::to_string(i) + "||" + (i % 2 == 0 ? "EVEN" : "ODD")
                     + "\r");
    return store;
}

FilterCriteria TextCriteria(std::string text, bool keep)
{
    FilterCriteria criteria;
    criteria.request.FilterText = std::move(text);
    criteria.request.FilterKeepMatches = keep;
    return criteria;
}

TEST(FilterRecords, KeepsOrDeletesInOnePassAndOrder)
{
    const Delimiters delimiters;
    for (const bool keep : {true, false}) {
        RecordStore store = StoreOf(9);
        const int32_t bound = store.UpperBound();
        const FilterDecision decision =
            FilterRecords(store, TextCriteria("EVEN", keep), delimiters, kEob);
        EXPECT_FALSE(decision.cancelled);
        EXPECT_EQ(decision.examined, 9);
        ASSERT_TRUE(RemoveDecided(store, decision));
        const std::vector<int> expected =
            keep ? std::vector<int>{2, 4, 6, 8} : std::vector<int>{1, 3, 5, 7, 9};
        ASSERT_EQ(store.RecordCount, static_cast<int32_t>(expected.size()));
        for (size_t k = 0; k < expected.size(); ++k)
            EXPECT_EQ(store.Record(static_cast<int32_t>(k + 1)), StoreOf(9).Record(expected[k]));
        EXPECT_EQ(store.UpperBound(), bound);
        for (int32_t i = store.RecordCount + 1; i <= 9; ++i)
            EXPECT_TRUE(store.Record(i).empty()) << i;
    }
}

TEST(FilterRecords, KeepingNothingIsReportedBeforeAnythingIsRemoved)
{
    RecordStore store = StoreOf(5);
    const FilterDecision decision =
        FilterRecords(store, TextCriteria("ABSENT", true), Delimiters(), kEob);
    EXPECT_EQ(decision.Remaining(), 0);
    EXPECT_EQ(store.RecordCount, 5);  // deciding never changes the store
    EXPECT_EQ(store.Record(5), StoreOf(5).Record(5));
}

TEST(FilterRecords, StoppedWalkRemovesOnlyWhatWasDecided)
{
    RecordStore store = StoreOf(1000);
    RecordStore original = StoreOf(1000);
    store.Append("late arrival\r");  // a record that came in while the walk let events run
    FilterDecision decision;
    {
        RecordStore decided = StoreOf(1000);
        std::vector<int32_t> calls;
        decision = FilterRecords(decided, TextCriteria("EVEN", true), Delimiters(), kEob,
                                 [&](int32_t examined) {
                                     calls.push_back(examined);
                                     return false;
                                 });
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls.front(), decision.examined);
    }
    EXPECT_TRUE(decision.cancelled);
    ASSERT_GT(decision.examined, 0);
    ASSERT_LT(decision.examined, 1000);
    ASSERT_TRUE(RemoveDecided(store, decision));
    // The odd records among the decided last ones are gone; every undecided one stays.
    const int32_t firstDecided = 1000 - decision.examined + 1;
    int32_t k = 0;
    for (int32_t i = 1; i <= 1000; ++i)
        if (i < firstDecided || i % 2 == 0) {
            ASSERT_EQ(store.Record(++k), original.Record(i)) << i;
        }
    EXPECT_EQ(store.Record(++k), "late arrival\r");
    EXPECT_EQ(store.RecordCount, k);

    // A store that lost records since the decision is left alone.
    RecordStore shrunk = StoreOf(3);
    EXPECT_FALSE(RemoveDecided(
        shrunk, FilterRecords(StoreOf(4), TextCriteria("EVEN", true), Delimiters(), kEob)));
    EXPECT_EQ(shrunk.RecordCount, 3);
}

TEST(FilterRecords, Texts)
{
    EXPECT_EQ(NoRecordsFoundWhichMessage("X1", true),
              "No records were found which contain 'X1'.  Therefore the record list will not be "
              "changed.");
    EXPECT_EQ(NoRecordsFoundWhichMessage("X1", false),
              "No records were found which do not contain 'X1'.  Therefore the record list will "
              "not be changed.");
    EXPECT_EQ(FilterUndoDescription("abc"), "Filter 'abc'");
}

}  // namespace
}  // namespace quillon
