// The trace log: file names, entry layout, appending and WriteLog's failure reporting.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/AppState.h"
#include "app/TraceLog.h"

namespace quillon {
namespace {

using test::ReadBytes;
using test::WriteBytes;

// ---------------------------------------------------------------- file names

struct NameCase {
    const char* pattern;
    const char* nameForN;
    const char* expected;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.pattern << " / " << c.nameForN; }

class LogFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(LogFileName, OnSeventhOfMarch2024)
{
    const NameCase& c = GetParam();
    EXPECT_EQ(GetLogFileName(QString::fromUtf8(c.pattern), QString::fromUtf8(c.nameForN),
                             QDate(2024, 3, 7)),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LogFileName,
    ::testing::Values(NameCase{"LOG_%D.txt", "", "LOG_2024-03-07.txt"},
                      NameCase{"%N_%D.log", "lab", "lab_2024-03-07.log"},
                      NameCase{"%N_%D.log", "", "LOG_2024-03-07.log"},
                      NameCase{"%N-%N_%D_%D", "x", "x-x_2024-03-07_2024-03-07"}));

// ---------------------------------------------------------------- entry layout

std::vector<std::string> SplitCrLf(const std::string& s)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = s.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(s.substr(start, end - start));
    EXPECT_EQ(start, s.size()) << "the entry must end with CR LF";
    return lines;
}

struct ChunkCase {
    size_t textLength;
    std::vector<size_t> chunkLengths;
};
void PrintTo(const ChunkCase& c, std::ostream* os) { *os << c.textLength << " characters"; }

class LogChunks : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(LogChunks, TextIsCutIntoHundredCharacterLines)
{
    std::string text;
    for (size_t i = 0; i < GetParam().textLength; ++i)
        text += static_cast<char>('a' + i % 26);
    const std::vector<std::string> lines =
        SplitCrLf(FormatLogEntry("MSG", text, QTime(10, 0), QLatin1Char('.')));
    ASSERT_EQ(lines.size(), GetParam().chunkLengths.size());
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_GE(lines[i].size(), 20u);
        if (i > 0) {
            EXPECT_EQ(lines[i].substr(0, 20), std::string(20, ' ')) << "line " << i;
        }
        const std::string chunk = lines[i].substr(20);
        EXPECT_EQ(chunk.size(), GetParam().chunkLengths[i]) << "line " << i;
        joined += chunk;
    }
    EXPECT_EQ(joined, text);
}

INSTANTIATE_TEST_SUITE_P(Lengths, LogChunks,
                         ::testing::Values(ChunkCase{0, {0}}, ChunkCase{1, {1}},
                                           ChunkCase{100, {100}}, ChunkCase{101, {100, 1}},
                                           ChunkCase{200, {100, 100}},
                                           ChunkCase{250, {100, 100, 50}}));

struct FirstLineCase {
    const char* category;
    QTime time;
    char point;
    const char* expected;
};
void PrintTo(const FirstLineCase& c, std::ostream* os)
{
    *os << '"' << c.category << "\" " << c.time.toString(QStringLiteral("HH:mm:ss.zzz")).toStdString()
        << " '" << c.point << "'";
}

class LogFirstLine : public ::testing::TestWithParam<FirstLineCase> {};

TEST_P(LogFirstLine, Bytes)
{
    const FirstLineCase& c = GetParam();
    EXPECT_EQ(FormatLogEntry(c.category, "hello", c.time, QLatin1Char(c.point)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ClockAndCategory, LogFirstLine,
    ::testing::Values(
        FirstLineCase{"MSG", QTime(9, 5, 7, 129), '.', "09:05:07.12  MSG    hello\r\n"},
        FirstLineCase{"MSG", QTime(9, 5, 7, 129), ',', "09:05:07,12  MSG    hello\r\n"},
        FirstLineCase{"TCPIP", QTime(23, 59, 59, 999), '.', "23:59:59.99  TCPIP  hello\r\n"},
        FirstLineCase{"CONNECTION", QTime(0, 0), '.', "00:00:00.00  CONNE  hello\r\n"},
        FirstLineCase{"", QTime(12, 30, 5, 9), '.', "12:30:05.00         hello\r\n"}));

// ---------------------------------------------------------------- appending

TEST(AppendLogEntry, NewFileStartsWithOneBlankLineOnlyOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LOG.txt"));
    ASSERT_TRUE(AppendLogEntry(path, "first\r\n"));
    EXPECT_EQ(ReadBytes(path), " \r\nfirst\r\n");
    ASSERT_TRUE(AppendLogEntry(path, "second\r\n"));
    EXPECT_EQ(ReadBytes(path), " \r\nfirst\r\nsecond\r\n");
}

TEST(AppendLogEntry, EveryByteValueSurvives)
{
    std::string text;
    for (int i = 0; i < 256; ++i)
        text += static_cast<char>(i);
    const std::string entry = FormatLogEntry("ASCII", text, QTime(8, 0), QLatin1Char('.'));
    // The chunks sit at fixed places: after the 20-column header, then after CR LF + 20 blanks.
    EXPECT_EQ(entry.substr(20, 100), text.substr(0, 100));
    EXPECT_EQ(entry.substr(20 + 100 + 2 + 20, 100), text.substr(100, 100));
    EXPECT_EQ(entry.substr(20 + 2 * (100 + 2 + 20), 56), text.substr(200));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LOG.txt"));
    ASSERT_TRUE(AppendLogEntry(path, entry));
    EXPECT_EQ(ReadBytes(path), " \r\n" + entry);
}

TEST(AppendLogEntry, FailsWithoutThrowingWhenTheFileCannotBeMade)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath(QStringLiteral("plain")), "x");
    for (const QString& path : {dir.filePath(QStringLiteral("plain/LOG.txt")),
                                dir.filePath(QStringLiteral("missing/LOG.txt")), dir.path()}) {
        EXPECT_FALSE(AppendLogEntry(path, "entry\r\n")) << path.toStdString();
    }
}

// ---------------------------------------------------------------- WriteLog

class WriteLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale::c());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("logs")));
        logs = dir.filePath(QStringLiteral("logs/"));
        WriteBytes(dir.filePath(QStringLiteral("plain")), "x");
        blocked = dir.filePath(QStringLiteral("plain/logs/"));
        st.folders.LogsFolder = logs;
        st.trace.WriteFailed = [this](const QString& path, const QString&) {
            failures.push_back(path);
        };
    }

    QStringList LogFiles() const
    {
        return QDir(logs).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir dir;
    QString logs;
    QString blocked;
    AppState st;
    std::vector<QString> failures;
};

TEST_F(WriteLogTest, WritesATimedEntryToTheNamedFile)
{
    const QDate before = QDate::currentDate();
    st.trace.LogFilename = QStringLiteral("%N_%D.log");
    st.trace.ConfigurationName = [] { return QStringLiteral("lab"); };
    WriteLog(st, "MSG", "hello");
    WriteLog(st, "TCPIP", "bye");

    const QStringList files = LogFiles();
    ASSERT_EQ(files.size(), 1);
    const QDate after = QDate::currentDate();
    EXPECT_TRUE(files[0] == GetLogFileName(st.trace.LogFilename, QStringLiteral("lab"), before) ||
                files[0] == GetLogFileName(st.trace.LogFilename, QStringLiteral("lab"), after))
        << files[0].toStdString();
    // The clock varies: compare with every digit shown as 9.
    std::string content = ReadBytes(logs + files[0]);
    std::replace_if(content.begin(), content.end(), [](char c) { return c >= '0' && c <= '9'; },
                    '9');
    EXPECT_EQ(content, " \r\n99:99:99.99  MSG    hello\r\n99:99:99.99  TCPIP  bye\r\n");
    EXPECT_TRUE(failures.empty());
    EXPECT_FALSE(st.trace.WriteFailureReported);
}

TEST_F(WriteLogTest, FailureIsReportedOnceUntilAWriteSucceeds)
{
    st.folders.LogsFolder = blocked;
    for (int i = 0; i < 3; ++i)
        WriteLog(st, "TCPIP", "lost");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], blocked + GetLogFileName(st.trace.LogFilename, {}, QDate::currentDate()));
    EXPECT_TRUE(st.trace.WriteFailureReported);

    st.folders.LogsFolder = logs;
    WriteLog(st, "TCPIP", "kept");
    EXPECT_FALSE(st.trace.WriteFailureReported);
    EXPECT_EQ(failures.size(), 1u);

    st.folders.LogsFolder = blocked;
    WriteLog(st, "TCPIP", "lost");
    WriteLog(st, "TCPIP", "lost");
    EXPECT_EQ(failures.size(), 2u);
}

TEST_F(WriteLogTest, FailureWithoutListenerIsQuiet)
{
    st.trace.WriteFailed = nullptr;
    st.folders.LogsFolder = blocked;
    WriteLog(st, "TCPIP", "lost");
    EXPECT_TRUE(st.trace.WriteFailureReported);
}

TEST_F(WriteLogTest, NamesThatLeaveTheLogsFolderAreRefused)
{
    struct Case {
        const char* pattern;
        const char* configuration;
    };
    const Case cases[] = {{"../x_%D.txt", ""},  {"sub/x.txt", ""}, {"a\\b.txt", ""},
                          {"", ""},             {"%N.txt", "../evil"},
                          {"%N.txt", "a/b"},    {"x..y.txt", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        failures.clear();
        st.trace.WriteFailureReported = false;
        st.trace.LogFilename = QString::fromUtf8(c.pattern);
        const QString configuration = QString::fromUtf8(c.configuration);
        st.trace.ConfigurationName = [configuration] { return configuration; };
        WriteLog(st, "MSG", "escape");
        EXPECT_EQ(failures.size(), 1u);
        EXPECT_TRUE(LogFiles().isEmpty());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("plain")});
    }
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// A large batch is written beside the caller; what follows it waits behind it, so after the
// flush the file holds every entry in the order of the calls.
TEST_F(WriteLogTest, LargeBatchesAreWrittenBesideTheCallerInOrder)
{
    // Each step: the bytes of one dump, or 0 for one small WriteLog entry.
    const std::vector<std::vector<size_t>> cases = {
        {2u << 20, 0, 0},
        {0, 3u << 20, 0, 1000, 0},
    };
    static const char* hex = "0123456789ABCDEF";
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(c);
        st.trace.LogFilename = QStringLiteral("order%1.txt").arg(c);
        const QString path = logs + st.trace.LogFilename;
        HoldTraceWritesForTest(true);
        std::string expected = " \r\n";
        qint64 beforeLarge = -1;
        for (size_t i = 0; i < cases[c].size(); ++i) {
            const size_t n = cases[c][i];
            if (n == 0) {
                const std::string text = "entry " + std::to_string(i);
                WriteLog(st, "MSG", text);
                expected += FormatLogEntry("MSG", text, QTime(0, 0), QLatin1Char('.'));
                continue;
            }
            std::string data(n, '\0');
            for (size_t k = 0; k < n; ++k)
                data[k] = static_cast<char>((k * 31 + i) & 0xFF);
            if (beforeLarge < 0)
                beforeLarge = QFileInfo(path).size();
            LogBatch batch(st);
            batch.AddHexDump(data, "RECV");
            batch.Write();
            // The dump's bytes, line by line as WriteLog would format them.
            for (size_t at = 0; at < n; at += 19) {
                const std::string_view piece(data.data() + at, std::min<size_t>(19, n - at));
                std::string line(piece);
                line.append(20 - piece.size(), ' ');
                for (unsigned char ch : piece) {
                    line += hex[ch >> 4];
                    line += hex[ch & 15];
                    line += ' ';
                }
                expected += FormatLogEntry(at == 0 ? "RECV" : "", line, QTime(0, 0),
                                           QLatin1Char('.'));
            }
        }
        // While the writer is held nothing from the large batch on has reached the file.
        EXPECT_EQ(QFileInfo(path).size(), beforeLarge);
        HoldTraceWritesForTest(false);
        FlushTraceWrites(st);
        std::string content = ReadBytes(path);
        // The clock varies: every stamp is compared as 00:00:00.00.
        for (size_t at = 0; (at = content.find("\r\n", at)) != std::string::npos;) {
            at += 2;
            if (at + 11 <= content.size() && content[at + 2] == ':' && content[at + 5] == ':')
                content.replace(at, 11, "00:00:00.00");
        }
        EXPECT_EQ(content.size(), expected.size());
        EXPECT_TRUE(content == expected);
        EXPECT_TRUE(failures.empty());
    }
}

}  // namespace
}  // namespace quillon
