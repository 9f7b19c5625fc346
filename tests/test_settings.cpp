// The settings store, the reading rules of the program's settings, start-up's reading and the
// main window's options.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <sys/inotify.h>
#include <unistd.h>
#include <memory>
#include <optional>
#include <ostream>

#include "TestSupport.h"
#include "app/Settings.h"
#include "platform/SettingsStore.h"

namespace quillon {
namespace {

using platform::SettingsStore;
using test::MainWindowFixture;
using test::ReadBytes;
using test::WriteBytes;

const QString App = QStringLiteral("Quillon");
// A default no stored value equals, to tell "absent" from "empty".
const QString Absent = QStringLiteral("<absent>");

class StoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Quillon.settings"));
    SettingsStore store;
    void SetUp() override { ASSERT_TRUE(store.Open(path)); }
    QString Reopened(const QString& section, const QString& key)
    {
        SettingsStore again;
        EXPECT_TRUE(again.Open(path));
        return again.Get(App, section, key, Absent);
    }
};

// ---------------------------------------------------------------- store: values and names

struct ValueCase {
    const char* what;
    QString value;
};
void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.what;
}

class StoreValueRoundTrip : public StoreTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(StoreValueRoundTrip, ComesBackExactlyFromTheFile)
{
    const QString& value = GetParam().value;
    ASSERT_TRUE(store.Save(App, QStringLiteral("S"), QStringLiteral("0"), value));
    // A neighbour after it must not be swallowed by the value's continuation lines.
    ASSERT_TRUE(store.Save(App, QStringLiteral("S"), QStringLiteral("1"), QStringLiteral("next")));
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("0")), value);
    EXPECT_EQ(Reopened(QStringLiteral("S"), QStringLiteral("0")), value);
    EXPECT_EQ(Reopened(QStringLiteral("S"), QStringLiteral("1")), QStringLiteral("next"));
}

INSTANTIATE_TEST_SUITE_P(
    Awkward, StoreValueRoundTrip,
    ::testing::Values(ValueCase{"backslashes", QStringLiteral("C:\\x\\y")},
                      ValueCase{"trailing backslash", QStringLiteral("C:\\data\\")},
                      ValueCase{"commas", QStringLiteral("a,b,c")},
                      ValueCase{"equals signs", QStringLiteral("k=v==w")},
                      ValueCase{"header-like", QStringLiteral("[Quillon\\Other]")},
                      ValueCase{"blanks at both ends", QStringLiteral("  padded\t ")},
                      ValueCase{"empty", QString()},
                      ValueCase{"line feed", QStringLiteral("one\ntwo")},
                      ValueCase{"all line breaks", QStringLiteral("\r\na\rb\n\n")},
                      ValueCase{"continuation signs", QStringLiteral(">x\n<y")},
                      ValueCase{"comment sign", QStringLiteral(";not a comment")},
                      ValueCase{"percent escapes", QStringLiteral("%41%%")},
                      ValueCase{"Latin-1", QString::fromLatin1("M\xfcller \xe9\xa0\xff\xa7")},
                      ValueCase{"beyond Latin-1", QStringLiteral("\u20ac \u65e5")}));

TEST_F(StoreTest, ValuesAreWrittenUnescaped)
{
    store.Save(App, QStringLiteral("LastFileOpenPath"), QStringLiteral("0"),
               QStringLiteral("C:\\x\\y,=["));
    EXPECT_NE(ReadBytes(path).find("\n0=C:\\x\\y,=[\n"), std::string::npos) << ReadBytes(path);
}

struct NameCase {
    QString section;
    QString key;
};
void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.section.toStdString() << " / " << c.key.toStdString();
}

class StoreNameRoundTrip : public StoreTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(StoreNameRoundTrip, NamesTheSameSettingAfterReopening)
{
    const NameCase& c = GetParam();
    ASSERT_TRUE(store.Save(App, c.section, c.key, QStringLiteral("v")));
    ASSERT_TRUE(store.Save(App, QStringLiteral("After"), QStringLiteral("k"), QStringLiteral("w")));
    EXPECT_EQ(Reopened(c.section, c.key), QStringLiteral("v"));
    EXPECT_EQ(Reopened(QStringLiteral("After"), QStringLiteral("k")), QStringLiteral("w"));
}

INSTANTIATE_TEST_SUITE_P(Awkward, StoreNameRoundTrip,
                         ::testing::Values(NameCase{QStringLiteral("a]b"), QStringLiteral("[k]")},
                                           NameCase{QStringLiteral("x\\y"), QStringLiteral("k=1")},
                                           NameCase{QStringLiteral(" s "), QStringLiteral(">k")},
                                           NameCase{QStringLiteral("%20"), QStringLiteral(";k")},
                                           NameCase{QStringLiteral("Stra\u00dfe"),
                                                    QStringLiteral("line\nbreak")}));

// ---------------------------------------------------------------- store: look-ups

TEST_F(StoreTest, AbsentSettingsAnswerTheDefault)
{
    store.Save(App, QStringLiteral("S"), QStringLiteral("0"), QStringLiteral("x"));
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("1"), Absent), Absent);
    EXPECT_EQ(store.Get(App, QStringLiteral("T"), QStringLiteral("0"), Absent), Absent);
    EXPECT_EQ(store.Get(QStringLiteral("Other"), QStringLiteral("S"), QStringLiteral("0"), Absent),
              Absent);
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("1")), QString());
}

TEST_F(StoreTest, NamesCompareWithoutLetterCaseAndKeepTheirFirstCase)
{
    store.Save(App, QStringLiteral("ExportReports"), QStringLiteral("ReportFontName"),
               QStringLiteral("Arial"));
    store.Save(QStringLiteral("QUILLON"), QStringLiteral("EXPORTREPORTS"),
               QStringLiteral("reportfontname"), QStringLiteral("Tahoma"));
    EXPECT_EQ(Reopened(QStringLiteral("exportREPORTS"), QStringLiteral("REPORTFONTNAME")),
              QStringLiteral("Tahoma"));
    const auto all = store.GetAllSettings(App, QStringLiteral("exportreports"));
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].first, QStringLiteral("ReportFontName"));
    EXPECT_NE(ReadBytes(path).find("[Quillon\\ExportReports]"), std::string::npos);
}

TEST_F(StoreTest, DeletingRemovesOneKeyOrAWholeSection)
{
    for (const char* key : {"0", "1", "2"})
        store.Save(App, QStringLiteral("MRUFiles"), QLatin1String(key), QLatin1String(key));
    store.Save(App, QStringLiteral("Other"), QStringLiteral("0"), QStringLiteral("kept"));
    EXPECT_TRUE(store.DeleteSetting(App, QStringLiteral("mrufiles"), QStringLiteral("1")));
    EXPECT_EQ(Reopened(QStringLiteral("MRUFiles"), QStringLiteral("1")), Absent);
    EXPECT_EQ(Reopened(QStringLiteral("MRUFiles"), QStringLiteral("2")), QStringLiteral("2"));
    EXPECT_TRUE(store.DeleteSection(App, QStringLiteral("MRUFILES")));
    EXPECT_TRUE(store.DeleteSection(App, QStringLiteral("Never there")));
    EXPECT_TRUE(store.GetAllSettings(App, QStringLiteral("MRUFiles")).empty());
    EXPECT_EQ(Reopened(QStringLiteral("MRUFiles"), QStringLiteral("0")), Absent);
    EXPECT_EQ(Reopened(QStringLiteral("Other"), QStringLiteral("0")), QStringLiteral("kept"));
}

// ---------------------------------------------------------------- store: the file

TEST_F(StoreTest, TwoStoresOnOneFileKeepEachOthersWrites)
{
    SettingsStore second;
    ASSERT_TRUE(second.Open(path));
    ASSERT_TRUE(store.Save(App, QStringLiteral("A"), QStringLiteral("0"), QStringLiteral("1")));
    ASSERT_TRUE(second.Save(App, QStringLiteral("B"), QStringLiteral("0"), QStringLiteral("2")));
    ASSERT_TRUE(store.Save(App, QStringLiteral("C"), QStringLiteral("0"), QStringLiteral("3")));
    EXPECT_EQ(Reopened(QStringLiteral("A"), QStringLiteral("0")), QStringLiteral("1"));
    EXPECT_EQ(Reopened(QStringLiteral("B"), QStringLiteral("0")), QStringLiteral("2"));
    EXPECT_EQ(Reopened(QStringLiteral("C"), QStringLiteral("0")), QStringLiteral("3"));
}

TEST_F(StoreTest, ChangesInABatchReachTheFileWhenTheOutermostBatchEnds)
{
    ASSERT_TRUE(store.Save(App, QStringLiteral("A"), QStringLiteral("0"), QStringLiteral("old")));
    ASSERT_TRUE(store.Save(App, QStringLiteral("B"), QStringLiteral("0"), QStringLiteral("gone")));
    const std::string before = ReadBytes(path);
    {
        const SettingsStore::Batch outer(store);
        {
            const SettingsStore::Batch inner(store);
            EXPECT_TRUE(
                store.Save(App, QStringLiteral("A"), QStringLiteral("0"), QStringLiteral("new")));
            EXPECT_TRUE(store.DeleteSection(App, QStringLiteral("B")));
        }
        EXPECT_TRUE(store.Save(App, QStringLiteral("C"), QStringLiteral("0"), QStringLiteral("3")));
        EXPECT_EQ(ReadBytes(path), before);
        EXPECT_EQ(store.Get(App, QStringLiteral("A"), QStringLiteral("0")), QStringLiteral("new"));
    }
    EXPECT_EQ(Reopened(QStringLiteral("A"), QStringLiteral("0")), QStringLiteral("new"));
    EXPECT_EQ(Reopened(QStringLiteral("B"), QStringLiteral("0")), Absent);
    EXPECT_EQ(Reopened(QStringLiteral("C"), QStringLiteral("0")), QStringLiteral("3"));
}

TEST_F(StoreTest, OpeningReplacesWhatAnUnopenedStoreHeld)
{
    SettingsStore fresh;
    EXPECT_TRUE(fresh.Save(App, QStringLiteral("S"), QStringLiteral("0"), QStringLiteral("mem")));
    EXPECT_EQ(fresh.Get(App, QStringLiteral("S"), QStringLiteral("0")), QStringLiteral("mem"));
    EXPECT_FALSE(fresh.IsOpen());
    store.Save(App, QStringLiteral("T"), QStringLiteral("0"), QStringLiteral("file"));
    ASSERT_TRUE(fresh.Open(path));
    EXPECT_EQ(fresh.Get(App, QStringLiteral("S"), QStringLiteral("0"), Absent), Absent);
    EXPECT_EQ(fresh.Get(App, QStringLiteral("T"), QStringLiteral("0")), QStringLiteral("file"));
}

TEST_F(StoreTest, HandWrittenFileWithWindowsLineEndsAndStrayLinesReads)
{
    WriteBytes(path,
               "; a comment\r\nstray=before any header\r\n[Quillon\\S]\r\na=1\r\nno equals "
               "sign\r\nb=x\\y\r\n>z\r\n[broken header\r\nc=lost\r\n");
    ASSERT_TRUE(store.Open(path));
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("a")), QStringLiteral("1"));
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("b")), QStringLiteral("x\\y\nz"));
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("c"), Absent), Absent);
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("stray"), Absent), Absent);
}

TEST_F(StoreTest, FileInAnotherEncodingReadsOneCharacterAByte)
{
    WriteBytes(path, "[Quillon\\S]\nname=M\xfcller\n");
    ASSERT_TRUE(store.Open(path));
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("name")),
              QString::fromLatin1("M\xfcller"));
}

struct UnwritableCase {
    const char* what;
    QString (*makePath)(const QTemporaryDir&);
};
void PrintTo(const UnwritableCase& c, std::ostream* os)
{
    *os << c.what;
}

class UnwritableStore : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableStore, SaveReportsFailureAndKeepsTheValueInMemory)
{
    QTemporaryDir dir;
    const QString path = GetParam().makePath(dir);
    const std::string before = ReadBytes(path);
    SettingsStore store;
    store.Open(path);
    EXPECT_FALSE(store.Save(App, QStringLiteral("S"), QStringLiteral("0"), QStringLiteral("v")));
    EXPECT_EQ(store.Get(App, QStringLiteral("S"), QStringLiteral("0")), QStringLiteral("v"));
    // Saving the same value again still tries the file, and still fails.
    EXPECT_FALSE(store.Save(App, QStringLiteral("S"), QStringLiteral("0"), QStringLiteral("v")));
    EXPECT_EQ(ReadBytes(path), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnwritableStore,
    ::testing::Values(UnwritableCase{"folder is a file",
                                     [](const QTemporaryDir& d) {
                                         WriteBytes(d.filePath(QStringLiteral("plain")), "x");
                                         return d.filePath(
                                             QStringLiteral("plain/Quillon.settings"));
                                     }},
                      UnwritableCase{"read-only file", [](const QTemporaryDir& d) {
                                         const QString p =
                                             d.filePath(QStringLiteral("Quillon.settings"));
                                         WriteBytes(p, "[Quillon\\S]\n0=old\n");
                                         QFile::setPermissions(p,
                                                               QFile::ReadOwner | QFile::ReadGroup);
                                         return p;
                                     }}));

TEST(SettingsStorePath, FollowsQuillonHome)
{
    const QByteArray saved = qgetenv("QUILLON_HOME");
    qputenv("QUILLON_HOME", "/scratch/home/");
    EXPECT_EQ(SettingsStore::DefaultPath(), QStringLiteral("/scratch/home/Quillon.settings"));
    qunsetenv("QUILLON_HOME");
    EXPECT_TRUE(
        SettingsStore::DefaultPath().endsWith(QStringLiteral("/Marrowby/Quillon.settings")));
    if (!saved.isEmpty())
        qputenv("QUILLON_HOME", saved);
}

// ---------------------------------------------------------------- reading rules

struct RuleCase {
    const char* text;
    bool isTrueText;
    double leadingNumber;
    std::optional<bool> truth;
    std::optional<int16_t> whole;
};
void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class ReadingRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ReadingRules, OfOneText)
{
    const RuleCase& c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(IsTrueText(text), c.isTrueText);
    EXPECT_EQ(LeadingNumber(text), c.leadingNumber);
    EXPECT_EQ(TruthValue(text), c.truth);
    EXPECT_EQ(WholeNumber16(text), c.whole);
}

constexpr std::nullopt_t none = std::nullopt;
INSTANTIATE_TEST_SUITE_P(
    Texts, ReadingRules,
    ::testing::Values(
        RuleCase{"TRUE", true, 0, true, none}, RuleCase{"true", true, 0, true, none},
        RuleCase{"False", false, 0, false, none}, RuleCase{" True ", false, 0, true, none},
        RuleCase{"-1", false, -1, true, int16_t{-1}}, RuleCase{"0", false, 0, false, int16_t{0}},
        RuleCase{"", false, 0, none, none}, RuleCase{"yes", false, 0, none, none},
        RuleCase{"12abc", false, 12, none, none},
        RuleCase{" 9.75 ", false, 9.75, true, int16_t{10}},
        RuleCase{"10.5", false, 10.5, true, int16_t{10}},
        RuleCase{"11.5", false, 11.5, true, int16_t{12}},
        RuleCase{"-2.5", false, -2.5, true, int16_t{-2}},
        RuleCase{"1e1", false, 10, true, int16_t{10}}, RuleCase{".5x", false, 0.5, none, none},
        RuleCase{"32767.4", false, 32767.4, true, int16_t{32767}},
        RuleCase{"32767.5", false, 32767.5, true, none},
        RuleCase{"-32768", false, -32768, true, int16_t{-32768}}));

// ---------------------------------------------------------------- start-up's reading

struct StartupFixture {
    QTemporaryDir dir;
    AppState st;
    StartupFixture()
    {
        st.folders.DataFolder = dir.filePath(QStringLiteral("Data/"));
        st.settings.Open(dir.filePath(QStringLiteral("Quillon.settings")));
    }
    void Put(const char* section, const char* value, const char* key = "0")
    {
        st.settings.Save(App, QLatin1String(section), QLatin1String(key), QString::fromUtf8(value));
    }
    QString Stored(const char* section, const char* key = "0")
    {
        SettingsStore file;
        file.Open(st.settings.Path());
        return file.Get(App, QLatin1String(section), QLatin1String(key), Absent);
    }
};

TEST(StartupSettings, EmptyStoreGivesEveryDefaultAndWritesTheFirstRunDefaults)
{
    StartupFixture f;
    ReadStartupSettings(f.st);
    const AppState& st = f.st;
    EXPECT_EQ(st.options.ReportFontName, QStringLiteral("Courier New"));
    EXPECT_EQ(st.options.ReportFontSize, 10);
    EXPECT_FALSE(st.trace.LogTCPIP || st.trace.LogMessage || st.trace.LogMessageASCII);
    EXPECT_EQ(st.trace.LogFilename, QStringLiteral("LOG_%D.txt"));
    EXPECT_EQ(st.envelope.StartOfBlockChar, 11);
    EXPECT_EQ(st.envelope.EndOfBlockChar, 13);
    EXPECT_EQ(st.envelope.EndOfDataChar, 28);
    EXPECT_EQ(st.options.LastFileOpenPath, st.folders.DataFolder);
    EXPECT_EQ(st.options.LastFileSavePath, st.folders.DataFolder);
    EXPECT_FALSE(st.options.DiskUseEnvelope || st.options.FtpUseEnvelope);

    const std::array<QString, 10> extensions = {QStringLiteral("*.*"), QStringLiteral("*.dat"),
                                                QStringLiteral("*.txt")};
    EXPECT_EQ(st.options.DefaultExtensions, extensions);
    EXPECT_EQ(st.options.DefaultExtension, QStringLiteral("*.dat"));
    EXPECT_EQ(f.Stored("DefaultExtension"), QStringLiteral("*.dat"));
    EXPECT_EQ(f.Stored("DefaultDataDir"), st.folders.DataFolder);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(f.Stored("DefaultExtensions", QByteArray::number(i).constData()),
                  extensions[static_cast<size_t>(i)])
            << "key " << i;
    // The last folders are written at exit, not by the first run.
    EXPECT_EQ(f.Stored("LastFileOpenPath"), Absent);
}

TEST(StartupSettings, EmptyDefaultExtensionAppliesTheFirstRunDefaultsAgain)
{
    StartupFixture f;
    f.Put("LastFileOpenPath", "/elsewhere/in");
    f.Put("LastFileSavePath", "/elsewhere/out");
    f.Put("DefaultExtensions", "*.hl7", "0");
    f.Put("DefaultExtensions", "*.old", "7");
    f.Put("DefaultExtension", "");
    f.Put("LogMessage", "-1");
    ReadStartupSettings(f.st);
    EXPECT_EQ(f.st.options.LastFileOpenPath, f.st.folders.DataFolder);
    EXPECT_EQ(f.st.options.LastFileSavePath, f.st.folders.DataFolder);
    EXPECT_EQ(f.st.options.DefaultExtensions[0], QStringLiteral("*.*"));
    EXPECT_EQ(f.st.options.DefaultExtensions[7], QString());
    EXPECT_EQ(f.Stored("DefaultExtensions", "0"), QStringLiteral("*.*"));
    EXPECT_EQ(f.Stored("DefaultExtensions", "7"), QString());
    EXPECT_EQ(f.Stored("DefaultExtension"), QStringLiteral("*.dat"));
    EXPECT_TRUE(f.st.trace.LogMessage);
}

TEST(StartupSettings, LaterRunKeepsStoredFoldersAndExtensions)
{
    StartupFixture f;
    f.Put("LastFileOpenPath", "C:\\in");
    f.Put("DefaultExtensions", "*.hl7", "4");
    f.Put("DefaultExtension", "*.hl7");
    ReadStartupSettings(f.st);
    EXPECT_EQ(f.st.options.LastFileOpenPath, QStringLiteral("C:\\in"));
    EXPECT_EQ(f.st.options.LastFileSavePath, f.st.folders.DataFolder);
    EXPECT_EQ(f.st.options.DefaultExtensions[4], QStringLiteral("*.hl7"));
    EXPECT_EQ(f.st.options.DefaultExtensions[0], QString());
    EXPECT_EQ(f.st.options.DefaultExtension, QStringLiteral("*.hl7"));
    EXPECT_EQ(f.Stored("DefaultDataDir"), Absent);
}

// One stored text and what start-up makes of it.
struct StoredCase {
    const char* section;
    const char* key;
    const char* text;
    int expected;
    int (*read)(const AppState&);
};
void PrintTo(const StoredCase& c, std::ostream* os)
{
    *os << c.section << "=\"" << c.text << '"';
}

class StartupReading : public ::testing::TestWithParam<StoredCase> {};

TEST_P(StartupReading, OfOneStoredText)
{
    const StoredCase& c = GetParam();
    StartupFixture f;
    f.Put(c.section, c.text, c.key);
    ReadStartupSettings(f.st);
    EXPECT_EQ(c.read(f.st), c.expected);
}

int LogTcpip(const AppState& st)
{
    return st.trace.LogTCPIP;
}
int LogAscii(const AppState& st)
{
    return st.trace.LogMessageASCII;
}
int StartChar(const AppState& st)
{
    return static_cast<unsigned char>(st.envelope.StartOfBlockChar);
}
int EndChar(const AppState& st)
{
    return static_cast<unsigned char>(st.envelope.EndOfBlockChar);
}
int DataChar(const AppState& st)
{
    return static_cast<unsigned char>(st.envelope.EndOfDataChar);
}
int ReportSize(const AppState& st)
{
    return st.options.ReportFontSize;
}
int DiskEnvelope(const AppState& st)
{
    return st.options.DiskUseEnvelope;
}
int FtpEnvelope(const AppState& st)
{
    return st.options.FtpUseEnvelope;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StartupReading,
    ::testing::Values(StoredCase{"LogTCPIP", "0", "-1", 1, LogTcpip},
                      StoredCase{"LogTCPIP", "0", "True", 0, LogTcpip},
                      StoredCase{"LogTCPIP", "0", "0", 0, LogTcpip},
                      StoredCase{"LogMessageASCII", "0", "1", 1, LogAscii},
                      StoredCase{"StartOfBlockChar", "0", "2", 2, StartChar},
                      StoredCase{"StartOfBlockChar", "0", "300", 11, StartChar},
                      StoredCase{"StartOfBlockChar", "0", "-1", 11, StartChar},
                      StoredCase{"EndOfBlockChar", "0", "abc", 13, EndChar},
                      StoredCase{"EndOfBlockChar", "0", "255", 255, EndChar},
                      StoredCase{"EndOfDataChar", "0", "0", 0, DataChar},
                      StoredCase{"ExportReports", "ReportFontSize", "12.5", 12, ReportSize},
                      StoredCase{"ExportReports", "ReportFontSize", "0", 10, ReportSize},
                      StoredCase{"ExportReports", "ReportFontSize", "big", 10, ReportSize},
                      StoredCase{"DiskUseEnvelope", "0", "true", 1, DiskEnvelope},
                      StoredCase{"DiskUseEnvelope", "0", "-1", 1, DiskEnvelope},
                      StoredCase{"DiskUseEnvelope", "0", "yes", 0, DiskEnvelope},
                      StoredCase{"FtpUseEnvelope", "0", "TRUE", 1, FtpEnvelope},
                      StoredCase{"FtpUseEnvelope", "0", "False", 0, FtpEnvelope}));

// ---------------------------------------------------------------- the window's options

class OptionsWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    QString path = f.home.filePath(QStringLiteral("Quillon.settings"));
    void SetUp() override { ASSERT_TRUE(f.state.settings.Open(path)); }

    std::array<QAction*, DisplayOptionCount> Items() const
    {
        return {w.mnuOptionsDisplayEmptyFields,
                w.mnuOptionsDisplayFieldDescriptions,
                w.mnuOptionsDisplayCompoundFields,
                w.mnuOptionsPromptBeforeDeleting,
                w.mnuOptionsUseMFU,
                w.mnuOptionsDisplaySegmentDescriptions,
                w.mnuOptionsDisplayButtonCaptions,
                w.mnuOptionsDisplayToolbar};
    }
};

TEST_F(OptionsWindow, EmptyStoreTurnsEveryDisplayOptionOnWithTheDefaultFont)
{
    for (QAction* item : Items())
        item->setChecked(false);
    f.state.session.AdminSwitches.fill(true);
    w.LoadOptions();
    for (QAction* item : Items())
        EXPECT_TRUE(item->isChecked()) << item->text().toStdString();
    for (ListBox* list : {w.lstRecords, w.lstSegments, w.lstFields}) {
        EXPECT_EQ(list->font().family(), QStringLiteral("Courier New"));
        EXPECT_EQ(list->font().pointSizeF(), 10.0);
        EXPECT_FALSE(list->font().bold() || list->font().italic());
    }
    for (bool on : f.state.session.AdminSwitches)
        EXPECT_FALSE(on);
}

// Each option read from its own section onto its own item (items in the order of Items()).
struct OptionCase {
    const char* section;
    size_t item;
    const char* text;
    bool on;
};
void PrintTo(const OptionCase& c, std::ostream* os)
{
    *os << c.section << "=\"" << c.text << '"';
}

class DisplayOptionLoad : public OptionsWindow, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(DisplayOptionLoad, OnlyThatItemFollowsItsSetting)
{
    const OptionCase& c = GetParam();
    f.state.settings.Save(App, QLatin1String(c.section), QStringLiteral("0"),
                          QLatin1String(c.text));
    w.LoadOptions();
    const auto items = Items();
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i]->isChecked(), i == c.item ? c.on : true)
            << items[i]->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Options, DisplayOptionLoad,
    ::testing::Values(OptionCase{"DisplayEmptyFields", 0, "-1", false},
                      OptionCase{"DisplayFieldDescriptions", 1, "False", false},
                      OptionCase{"DisplayCompoundFields", 2, "yes", false},
                      OptionCase{"PromptBeforeDeleting", 3, "0", false},
                      OptionCase{"UseMFUlist", 4, "false", false},
                      OptionCase{"DisplaySegmentDescriptions", 5, "FALSE", false},
                      OptionCase{"DisplayButtonCaptions", 6, "true ", false},
                      OptionCase{"DisplayToolbar", 7, "no", false},
                      OptionCase{"DisplayToolbar", 7, "true", true},
                      OptionCase{"DisplayEmptyFields", 0, "TRUE", true}));

TEST_F(OptionsWindow, AdminSwitchesAreReadFromTheirOwnSections)
{
    const std::array<const char*, AdminSwitchCount> sections = {
        "AdminFileOpen",    "AdminFileSave",    "AdminGetFTP", "AdminPutFTP",
        "AdminTcpipClient", "AdminTcpipServer", "AdminPrint"};
    for (size_t on = 0; on < sections.size(); ++on) {
        for (size_t i = 0; i < sections.size(); ++i)
            f.state.settings.Save(App, QLatin1String(sections[i]), QStringLiteral("0"),
                                  i == on ? QStringLiteral("true") : QStringLiteral("False"));
        w.LoadOptions();
        for (size_t i = 0; i < sections.size(); ++i)
            EXPECT_EQ(f.state.session.AdminSwitches[i], i == on) << sections[on] << " " << i;
    }
}

// Every rewrite of the file is flushed to disk, which a busy disk makes slow: leaving by File >
// Exit or by closing the window saves the options, the recent files and the place in one.
TEST(ExitSettings, RewriteTheFileOnce)
{
    for (const bool byMenu : {true, false}) {
        MainWindowFixture f;
        const QString path = f.home.filePath(QStringLiteral("Quillon.settings"));
        ASSERT_TRUE(f.state.settings.Open(path));
        ASSERT_TRUE(f.state.settings.Save(App, QStringLiteral("A"), QStringLiteral("0"), "1"));
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(f.home.path()).constData(),
                                    IN_CREATE | IN_MOVED_TO),
                  0);
        if (byMenu)
            f.window->mnuFileExit->trigger();
        else
            f.window->close();

        int rewrites = 0;
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->len && QLatin1String(event->name) == QLatin1String("Quillon.settings"))
                    ++rewrites;
                p += sizeof(inotify_event) + event->len;
            }
        close(watch);
        EXPECT_EQ(rewrites, 1) << (byMenu ? "File > Exit" : "closing the window");
        SettingsStore file;
        ASSERT_TRUE(file.Open(path));
        EXPECT_EQ(file.Get(App, QStringLiteral("DisplayToolbar"), QStringLiteral("0"), Absent),
                  QStringLiteral("True"));
    }
}

TEST_F(OptionsWindow, SavedOptionsComeBackInAFreshWindow)
{
    const std::array<bool, DisplayOptionCount> marks = {true,  false, false, true,
                                                        false, true,  false, true};
    const auto items = Items();
    for (size_t i = 0; i < marks.size(); ++i)
        items[i]->setChecked(marks[i]);
    QFont font(QStringLiteral("No Such Font Family"));
    font.setBold(true);
    font.setItalic(false);
    font.setPointSizeF(9.75);
    w.lstRecords->setFont(font);
    f.state.session.AdminSwitches = {false, true, true, false, false, true, false};
    f.state.options.LastFileOpenPath = QStringLiteral("C:\\in\\");
    f.state.options.LastFileSavePath = QStringLiteral("/out, here/");
    w.SaveOptions();

    SettingsStore file;
    ASSERT_TRUE(file.Open(path));
    auto stored = [&](const QString& section) {
        return file.Get(App, section, QStringLiteral("0"), Absent);
    };
    const std::array<const char*, DisplayOptionCount> sections = {"DisplayEmptyFields",
                                                                  "DisplayFieldDescriptions",
                                                                  "DisplayCompoundFields",
                                                                  "PromptBeforeDeleting",
                                                                  "UseMFUlist",
                                                                  "DisplaySegmentDescriptions",
                                                                  "DisplayButtonCaptions",
                                                                  "DisplayToolbar"};
    for (size_t i = 0; i < marks.size(); ++i)
        EXPECT_EQ(stored(QLatin1String(sections[i])),
                  marks[i] ? QStringLiteral("True") : QStringLiteral("False"))
            << sections[i];
    EXPECT_EQ(stored(QStringLiteral("ListFontName")), QStringLiteral("No Such Font Family"));
    EXPECT_EQ(stored(QStringLiteral("ListFontBold")), QStringLiteral("True"));
    EXPECT_EQ(stored(QStringLiteral("ListFontItalic")), QStringLiteral("False"));
    EXPECT_EQ(stored(QStringLiteral("ListFontSize")), QStringLiteral("9.75"));
    EXPECT_EQ(stored(QStringLiteral("AdminGetFTP")), QStringLiteral("True"));
    EXPECT_EQ(stored(QStringLiteral("AdminPrint")), QStringLiteral("False"));
    EXPECT_EQ(stored(QStringLiteral("LastFileOpenPath")), QStringLiteral("C:\\in\\"));
    EXPECT_EQ(stored(QStringLiteral("LastFileSavePath")), QStringLiteral("/out, here/"));

    MainWindowFixture again;
    ASSERT_TRUE(again.state.settings.Open(path));
    frmMain& w2 = *again.window;
    w2.LoadOptions();
    const std::array<QAction*, DisplayOptionCount> items2 = {
        w2.mnuOptionsDisplayEmptyFields,
        w2.mnuOptionsDisplayFieldDescriptions,
        w2.mnuOptionsDisplayCompoundFields,
        w2.mnuOptionsPromptBeforeDeleting,
        w2.mnuOptionsUseMFU,
        w2.mnuOptionsDisplaySegmentDescriptions,
        w2.mnuOptionsDisplayButtonCaptions,
        w2.mnuOptionsDisplayToolbar};
    for (size_t i = 0; i < marks.size(); ++i)
        EXPECT_EQ(items2[i]->isChecked(), marks[i]) << i;
    for (ListBox* list : {w2.lstRecords, w2.lstSegments, w2.lstFields}) {
        EXPECT_EQ(list->font().family(), QStringLiteral("No Such Font Family"));
        EXPECT_TRUE(list->font().bold());
        EXPECT_FALSE(list->font().italic());
        EXPECT_EQ(list->font().pointSizeF(), 10.0) << "9.75 is read to the nearest whole size";
    }
    EXPECT_EQ(again.state.session.AdminSwitches, f.state.session.AdminSwitches);
}

}  // namespace
}  // namespace quillon
