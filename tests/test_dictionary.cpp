// The description dictionary: fsa.dat, z-segments.dat and data-desc.dat, the look-ups and the
// built-in fsa.dat.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "records/Dictionary.h"

namespace quillon {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using Pairs = std::vector<std::pair<std::string, std::string>>;

std::string FsaBytes(const Pairs& pairs, const std::string& lineEnd = "\n")
{
    std::string bytes;
    for (const auto& [key, description] : pairs)
        bytes += EncodeFsaLine(key) + lineEnd + EncodeFsaLine(description) + lineEnd;
    return bytes;
}

Pairs Table(const DescriptionDictionary& d)
{
    Pairs pairs;
    for (size_t i = 0; i < d.DescriptionKeys.size(); ++i)
        pairs.emplace_back(d.DescriptionKeys[i], d.Descriptions[i]);
    return pairs;
}

class DictionaryTest : public ::testing::Test {
protected:
    QString Write(const char* name, const std::string& bytes)
    {
        const QString path = dir.filePath(QString::fromUtf8(name));
        WriteBytes(path, bytes);
        return path;
    }
    void LoadFsaPairs(const Pairs& pairs)
    {
        ASSERT_TRUE(d.LoadFsa(Write("fsa.dat", FsaBytes(pairs))).isEmpty());
    }

    QTemporaryDir dir;
    DescriptionDictionary d;
};

// ---------------------------------------------------------------- description lines

struct LineCase {
    const char* line;
    DescriptionLine kind;
    const char* key;
    const char* description;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class DescriptionLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(DescriptionLines, Parse)
{
    std::string key = "stale";
    std::string description = "stale";
    EXPECT_EQ(ParseDescriptionLine(GetParam().line, key, description), GetParam().kind);
    if (GetParam().kind == DescriptionLine::Entry) {
        EXPECT_EQ(key, GetParam().key);
        EXPECT_EQ(description, GetParam().description);
    }
}

constexpr auto E = DescriptionLine::Entry;
constexpr auto C = DescriptionLine::Comment;
constexpr auto B = DescriptionLine::Bad;

INSTANTIATE_TEST_SUITE_P(
    Lines, DescriptionLines,
    ::testing::Values(LineCase{"ZPI-1, Patient grade", E, "ZPI-1", "Patient grade"},
                      LineCase{"ZPI-2 Bed type", E, "ZPI-2", "Bed type"},
                      LineCase{"ZPI-3,Code ; local use only", E, "ZPI-3", "Code"},
                      LineCase{"ZPI-4 ,X", E, "ZPI-4 ", "X"},
                      LineCase{"\tZPI-5\tWard type\t", E, "ZPI-5", "Ward type"},
                      LineCase{"ZPI-6\t,\tRoom", E, "ZPI-6 ", "Room"},
                      LineCase{"  ZPI-7, one, two  ", E, "ZPI-7", "one, two"},
                      LineCase{"ZPI-8,", E, "ZPI-8", ""},
                      LineCase{"ZPI", B, "", ""}, LineCase{"ZPI ; note", B, "", ""},
                      LineCase{",orphan", B, "", ""}, LineCase{"", C, "", ""},
                      LineCase{" \t ", C, "", ""}, LineCase{"# ZPI-1, x", C, "", ""},
                      LineCase{"; ZPI-1, x", C, "", ""}, LineCase{"' ZPI-1 x", C, "", ""},
                      LineCase{"\t#ZPI-1, x", C, "", ""}));

// ---------------------------------------------------------------- fsa.dat

TEST_F(DictionaryTest, FsaLineEndsAreAllAccepted)
{
    const Pairs pairs = {{"MSH", "Message Header"}, {"MSH-1", "Field Separator"}, {"PID", "Patient"}};
    for (const std::string lineEnd : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(lineEnd == "\n" ? "LF" : lineEnd == "\r" ? "CR" : "CR LF");
        EXPECT_TRUE(d.LoadFsa(Write("fsa.dat", FsaBytes(pairs, lineEnd))).isEmpty());
        EXPECT_EQ(Table(d), pairs);
        EXPECT_EQ(d.SegmentNames, (std::vector<std::string>{"MSH", "PID"}));
    }
}

TEST_F(DictionaryTest, FsaOutOfOrderIsSortedInByteOrder)
{
    // Byte order: digits before upper case before lower case, bytes above 127 last.
    LoadFsaPairs({{"PID-2", "two"}, {"PID-\xE9", "high"}, {"PID-10", "ten"}, {"PID-a", "lower"},
                  {"PID-1", "one"}, {"PID-B", "upper"}, {"EVN", "event"}});
    EXPECT_EQ(d.DescriptionKeys, (std::vector<std::string>{"EVN", "PID-1", "PID-10", "PID-2",
                                                           "PID-B", "PID-a", "PID-\xE9"}));
    EXPECT_EQ(d.Descriptions, (std::vector<std::string>{"event", "one", "ten", "two", "upper",
                                                        "lower", "high"}));
    EXPECT_EQ(d.SegmentNames, (std::vector<std::string>{"EVN", "PID"}));
}

TEST_F(DictionaryTest, FsaEndingInsideAPairDropsTheLastKey)
{
    const QString path = Write("fsa.dat", "MSH\nHeader\nPID\nPatient\nPV1\n");
    EXPECT_TRUE(d.LoadFsa(path).isEmpty());
    EXPECT_EQ(Table(d), (Pairs{{"MSH", "Header"}, {"PID", "Patient"}}));
}

TEST_F(DictionaryTest, MissingFsaGivesAnEmptyTableAndAMessage)
{
    LoadFsaPairs({{"MSH", "Header"}});
    const QString path = dir.filePath(QStringLiteral("none/fsa.dat"));
    const QStringList messages = d.LoadFsa(path);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(path));
    EXPECT_EQ(d.DescriptionCount(), 0);
    EXPECT_TRUE(d.SegmentNames.empty());
    EXPECT_EQ(d.GetHL7Description("MSH"), "");
}

TEST_F(DictionaryTest, FsaIsCutAtTheEntryCap)
{
    Pairs pairs;
    char key[16];
    for (int i = 0; i < 9300; ++i) {
        std::snprintf(key, sizeof key, "A%05d", i);
        pairs.emplace_back(key, "d" + std::to_string(i));
    }
    const QStringList messages = d.LoadFsa(Write("fsa.dat", FsaBytes(pairs)));
    EXPECT_EQ(messages.size(), 1);
    ASSERT_EQ(d.DescriptionCount(), DescriptionDictionary::MaxEntries);
    EXPECT_EQ(d.DescriptionKeys.back(), "A09199");
    EXPECT_EQ(d.GetHL7Description("A09199"), "d9199");
    EXPECT_EQ(d.GetHL7Description("A09200"), "");
}

std::string SegmentName(int i)
{
    return {static_cast<char>('A' + i / 26), static_cast<char>('A' + i % 26), 'X'};
}

TEST_F(DictionaryTest, SegmentNamesAreCutAtTheirCap)
{
    Pairs pairs;
    for (int i = 0; i < 250; ++i) {
        pairs.emplace_back(SegmentName(i), "segment");
        pairs.emplace_back(SegmentName(i) + "-1", "field");
    }
    const QStringList messages = d.LoadFsa(Write("fsa.dat", FsaBytes(pairs)));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(d.DescriptionCount(), 500);
    ASSERT_EQ(d.SegmentNames.size(), size_t{DescriptionDictionary::MaxSegmentNames});
    EXPECT_EQ(d.SegmentNames.front(), SegmentName(0));
    EXPECT_EQ(d.SegmentNames.back(), SegmentName(199));
}

// ---------------------------------------------------------------- look-ups

struct LookupCase {
    const char* key;
    bool wantText;
    const char* expected;
};
void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.key << (c.wantText ? "" : " #"); }

class Lookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(Lookup, HalvingSearch)
{
    DescriptionDictionary d;
    d.DescriptionKeys = {"PID", "PID-1", "PID-10", "PID-2", "PID-3", "PID-a"};
    d.Descriptions = {"Patient", "Set ID", "Race", "Patient ID", "Identifier List", "lower"};
    EXPECT_EQ(d.GetHL7Description(GetParam().key, GetParam().wantText), GetParam().expected);
    EXPECT_EQ(d.LookupFieldDescription(GetParam().key, GetParam().wantText), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Lookup,
    ::testing::Values(LookupCase{"PID", true, "Patient"}, LookupCase{"PID-1", true, "Set ID"},
                      LookupCase{"PID-10", true, "Race"}, LookupCase{"PID-2", true, "Patient ID"},
                      LookupCase{"PID-a", true, "lower"}, LookupCase{"pid-3", true, ""},
                      LookupCase{"PID-A", true, ""}, LookupCase{"", true, ""},
                      LookupCase{"PID", false, "1"}, LookupCase{"PID-10", false, "3"},
                      LookupCase{"PID-a", false, "6"}, LookupCase{"PID-4", false, ""}));

struct DesignationCase {
    const char* designation;
    bool wantText;
    const char* expected;
    const char* designationAfter;
};
void PrintTo(const DesignationCase& c, std::ostream* os)
{
    *os << c.designation << (c.wantText ? "" : " #");
}

class Designation : public ::testing::TestWithParam<DesignationCase> {};

TEST_P(Designation, Describe)
{
    DescriptionDictionary d;
    d.DescriptionKeys = {"PID-3", "PID-5", "PID-5-1", "PID-7-1"};
    d.Descriptions = {"desc3", "desc5", "desc51", "desc71"};
    std::string designation = GetParam().designation;
    EXPECT_EQ(d.ParseFieldDesignation(designation, GetParam().wantText), GetParam().expected);
    EXPECT_EQ(designation, GetParam().designationAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Designations, Designation,
    ::testing::Values(DesignationCase{"PID-5-1", true, "desc5:desc51", "PID-5-1"},
                      DesignationCase{"PID-5-1(2)", true, "desc5:desc51", "PID-5-1"},
                      DesignationCase{"PID-5-2", true, "desc5", "PID-5"},
                      DesignationCase{"PID-3-1(2)", true, "desc3", "PID-3"},
                      DesignationCase{"PID-3(2)", true, "desc3", "PID-3"},
                      DesignationCase{"PID-5", true, "desc5", "PID-5"},
                      DesignationCase{"PID-7-1", true, "desc71", "PID-7-1"},
                      DesignationCase{"PID-9-1", true, "", "PID-9-1"},
                      DesignationCase{"pid-3", true, "", "pid-3"},
                      DesignationCase{"PID-5-1", false, "2:3", "PID-5-1"},
                      DesignationCase{"PID-5-2", false, "2", "PID-5"}));

// ---------------------------------------------------------------- z-segments.dat

TEST_F(DictionaryTest, ZSegmentMergeReplacesAndInsertsInOrder)
{
    const Pairs fsa = {{"MSH", "Header"}, {"PID", "Patient"}, {"PID-1", "Set ID"},
                       {"PID-3", "Identifier"}, {"PV1", "Visit"}};
    LoadFsaPairs(fsa);
    const QString path = Write("z-segments.dat",
                               "# site extensions\r\n"
                               "ZPI-2 Bed type\r\n"
                               "PID-3, Local identifier\r\n"
                               "ZPI-1, Patient grade\r\n"
                               "PID-2,Patient ID\r\n"
                               "AAA Before all\r\n"
                               "ZPI-2, Bed class ; the later line wins\r\n");
    std::vector<std::string> bad;
    EXPECT_TRUE(d.LoadZSegments(path, [&](const std::string& l) { bad.push_back(l); }).isEmpty());
    EXPECT_TRUE(bad.empty());
    // PID-3 only changes its description; the four new keys take their places in order.
    EXPECT_EQ(Table(d), (Pairs{{"AAA", "Before all"}, {"MSH", "Header"}, {"PID", "Patient"},
                               {"PID-1", "Set ID"}, {"PID-2", "Patient ID"},
                               {"PID-3", "Local identifier"}, {"PV1", "Visit"},
                               {"ZPI-1", "Patient grade"}, {"ZPI-2", "Bed class"}}));
    EXPECT_EQ(d.ZSegmentKeys, (std::vector<std::string>{"AAA", "PID-2", "PID-3", "ZPI-1", "ZPI-2"}));
    EXPECT_EQ(d.SegmentNames, (std::vector<std::string>{"AAA", "MSH", "PID", "PV1", "ZPI"}));
}

TEST_F(DictionaryTest, BadZSegmentLinesAreReportedAsReadAndSkipped)
{
    LoadFsaPairs({{"PID", "Patient"}});
    std::vector<std::string> bad;
    const QString path = Write("z-segments.dat", "ZPI\r\n  ZPX\t\r\nZPI-1, Grade\r\n; ZPQ\r\n");
    d.LoadZSegments(path, [&](const std::string& line) { bad.push_back(line); });
    EXPECT_EQ(bad, (std::vector<std::string>{"ZPI", "  ZPX\t"}));
    EXPECT_EQ(Table(d), (Pairs{{"PID", "Patient"}, {"ZPI-1", "Grade"}}));
}

TEST_F(DictionaryTest, MissingZSegmentsLeavesTheTableAlone)
{
    LoadFsaPairs({{"PID", "Patient"}});
    bool called = false;
    const QStringList messages = d.LoadZSegments(dir.filePath(QStringLiteral("z-segments.dat")),
                                                 [&](const std::string&) { called = true; });
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(called);
    EXPECT_TRUE(d.ZSegmentKeys.empty());
    EXPECT_EQ(Table(d), (Pairs{{"PID", "Patient"}}));
}

TEST_F(DictionaryTest, MergePastTheCapsKeepsTheFirstByKeyOrder)
{
    // Full segment names and two entries short of full: of three new keys the last is cut.
    Pairs pairs;
    for (int i = 0; i < DescriptionDictionary::MaxSegmentNames; ++i)
        pairs.emplace_back(SegmentName(i), "segment");
    for (int i = static_cast<int>(pairs.size()); i < DescriptionDictionary::MaxEntries - 2; ++i)
        pairs.emplace_back(SegmentName(0) + "-" + std::to_string(100000 + i), "filler");
    std::sort(pairs.begin(), pairs.end());
    LoadFsaPairs(pairs);
    ASSERT_EQ(d.SegmentNames.size(), size_t{DescriptionDictionary::MaxSegmentNames});

    const QStringList messages =
        d.LoadZSegments(Write("z-segments.dat", "AAA, first\nZZA, second\nZZB, third\n"), {});
    EXPECT_EQ(messages.size(), 2);  // entries and segment names
    ASSERT_EQ(d.DescriptionCount(), DescriptionDictionary::MaxEntries);
    EXPECT_EQ(d.GetHL7Description("AAA"), "first");
    EXPECT_EQ(d.GetHL7Description("ZZA"), "second");
    EXPECT_EQ(d.GetHL7Description("ZZB"), "");
    EXPECT_TRUE(std::is_sorted(d.DescriptionKeys.begin(), d.DescriptionKeys.end()));
    ASSERT_EQ(d.SegmentNames.size(), size_t{DescriptionDictionary::MaxSegmentNames});
    EXPECT_EQ(d.SegmentNames.front(), "AAA");
}

// ---------------------------------------------------------------- data-desc.dat

TEST_F(DictionaryTest, DataDescIsSortedAndSkipsBadLinesSilently)
{
    const QString path = Write("data-desc.dat", "M, Male\nF Female\nbroken\n# note\nA,Ambiguous\n");
    EXPECT_TRUE(d.LoadDataDesc(path).isEmpty());
    EXPECT_EQ(d.DataDescKeys, (std::vector<std::string>{"A", "F", "M"}));
    EXPECT_EQ(d.LookupDataDesc("F"), "Female");
    EXPECT_EQ(d.LookupDataDesc("m"), "");
    EXPECT_EQ(d.LookupDataDesc("broken"), "");
    EXPECT_TRUE(d.DescriptionKeys.empty());

    EXPECT_TRUE(d.LoadDataDesc(dir.filePath(QStringLiteral("none.dat"))).isEmpty());
    EXPECT_TRUE(d.DataDescKeys.empty());
}

// ---------------------------------------------------------------- the built-in fsa.dat

TEST_F(DictionaryTest, InstallDefaultFsaFillsAMissingFileOnly)
{
    const QString root = dir.path() + QStringLiteral("/");
    ASSERT_TRUE(InstallDefaultFsa(root));
    EXPECT_TRUE(d.LoadFsa(root + QStringLiteral("fsa.dat")).isEmpty());
    EXPECT_GT(d.DescriptionCount(), 0);
    EXPECT_TRUE(std::is_sorted(d.DescriptionKeys.begin(), d.DescriptionKeys.end()));

    const std::string own = FsaBytes({{"ZZZ", "mine"}});
    WriteBytes(root + QStringLiteral("fsa.dat"), own);
    EXPECT_TRUE(InstallDefaultFsa(root));
    EXPECT_EQ(ReadBytes(root + QStringLiteral("fsa.dat")), own);
}

TEST_F(DictionaryTest, InstallDefaultFsaReportsAFolderItCannotWrite)
{
    WriteBytes(dir.filePath(QStringLiteral("plain")), "x");
    EXPECT_FALSE(InstallDefaultFsa(dir.filePath(QStringLiteral("plain/"))));
}

}  // namespace
}  // namespace quillon
