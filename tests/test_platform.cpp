// The platform layer: running programs, the scripted message boxes, reading whole files and
// the application-data folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>
#include <QTest>
#include <QTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextShown.h"
#include "platform/Background.h"
#include "platform/FileIO.h"
#include "platform/Heap.h"
#include "platform/QtDialogs.h"
#include "platform/SpecialFolders.h"

namespace quillon::test
{
namespace
{

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::ReadError;

// ---------------------------------------------------------------------------------------------
// ExecCmd

struct ExecCase {
    const char* name;
    QString program;
    QStringList arguments;
    int timeoutMs;
    int expected;
    qint64 withinMs; // the call must answer within this
};

class ExecCmdTest : public ::testing::TestWithParam<ExecCase>
{
};

TEST_P(ExecCmdTest, AnswersTheExitCode)
{
    const ExecCase& c = GetParam();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(platform::ExecCmd(c.program, c.arguments, c.timeoutMs), c.expected);
    EXPECT_LT(clock.elapsed(), c.withinMs);
}

INSTANTIATE_TEST_SUITE_P(Programs, ExecCmdTest,
    ::testing::Values(ExecCase { "Missing", QStringLiteral("/nonexistent/quillon-no-such-program"),
                          {}, 5000, -1, 5000 },
        ExecCase { "ExitOne", QStringLiteral("sh"),
            { QStringLiteral("-c"), QStringLiteral("exit 1") }, 10000, 1, 10000 },
        ExecCase { "ExitSeven", QStringLiteral("sh"),
            { QStringLiteral("-c"), QStringLiteral("exit 7") }, 10000, 7, 10000 },
        ExecCase { "True", QStringLiteral("true"), {}, 10000, 0, 10000 },
        // Standard input is closed: cat sees its end at once instead of waiting for input.
        ExecCase { "CatGetsNoInput", QStringLiteral("cat"), {}, 10000, 0, 10000 },
        ExecCase { "ReadFailsOnClosedInput", QStringLiteral("sh"),
            { QStringLiteral("-c"), QStringLiteral("read line && exit 3 || exit 4") }, 10000, 4,
            10000 },
        // Arguments pass untouched: no shell sees them.
        ExecCase { "ArgumentsAreNotSplit", QStringLiteral("sh"),
            { QStringLiteral("-c"), QStringLiteral("[ \"$1\" = 'a b; exit 9' ] && exit 5"),
                QStringLiteral("sh"), QStringLiteral("a b; exit 9") },
            10000, 5, 10000 },
        ExecCase {
            "KilledOnTimeout", QStringLiteral("sleep"), { QStringLiteral("10") }, 200, -1, 4000 },
        ExecCase { "Crashes", QStringLiteral("sh"),
            { QStringLiteral("-c"), QStringLiteral("kill -SEGV $$") }, 10000, -1, 10000 }),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// ScriptedResponder

TEST(ScriptedResponder, QueuedAnswersAreUsedInOrderThenTheFirstButton)
{
    platform::ScriptedResponder r;
    r.QueueAnswer(MsgAnswer::No);
    r.QueueAnswer(MsgAnswer::Cancel);
    EXPECT_FALSE(r.allAnswersUsed());

    EXPECT_EQ(r.MsgBox("one", MsgButtons::YesNo, MsgIcon::Question, "T1"), MsgAnswer::No);
    EXPECT_EQ(
        r.MsgBox("two", MsgButtons::YesNoCancel, MsgIcon::Exclamation, "T2"), MsgAnswer::Cancel);
    EXPECT_TRUE(r.allAnswersUsed());
    EXPECT_EQ(r.unanswered(), 0);

    const struct {
        MsgButtons buttons;
        MsgAnswer first;
    } firsts[] = {
        { MsgButtons::OKOnly, MsgAnswer::OK },
        { MsgButtons::OKCancel, MsgAnswer::OK },
        { MsgButtons::AbortRetryIgnore, MsgAnswer::Abort },
        { MsgButtons::YesNoCancel, MsgAnswer::Yes },
        { MsgButtons::YesNo, MsgAnswer::Yes },
        { MsgButtons::RetryCancel, MsgAnswer::Retry },
    };
    for (const auto& c : firsts)
        EXPECT_EQ(r.MsgBox("unanswered", c.buttons, MsgIcon::None, "T"), c.first);
    EXPECT_EQ(r.unanswered(), 6);

    ASSERT_EQ(r.shown().size(), 8u);
    const auto& first = r.shown()[0];
    EXPECT_EQ(first.kind, platform::ScriptedResponder::Shown::Kind::Message);
    EXPECT_EQ(first.text, QStringLiteral("one"));
    EXPECT_EQ(first.title, QStringLiteral("T1"));
    EXPECT_EQ(first.buttons, MsgButtons::YesNo);
    EXPECT_EQ(first.icon, MsgIcon::Question);
    EXPECT_EQ(r.shown()[1].icon, MsgIcon::Exclamation);
    EXPECT_EQ(r.shown()[7].buttons, MsgButtons::RetryCancel);

    r.Clear();
    EXPECT_TRUE(r.shown().empty());
    EXPECT_EQ(r.unanswered(), 0);
}

TEST(ScriptedResponder, InputBoxesGiveQueuedTextOrCancel)
{
    platform::ScriptedResponder r;
    r.QueueInput(QStringLiteral("typed"));
    r.QueueInput(std::nullopt);
    r.QueueInput(QString());
    // Message answers and input answers are separate queues.
    r.QueueAnswer(MsgAnswer::No);

    EXPECT_EQ(r.InputBox("Name?", "Ask", "dflt"), std::optional<QString>(QStringLiteral("typed")));
    EXPECT_EQ(r.MsgBox("sure?", MsgButtons::YesNo, MsgIcon::Question, "Q"), MsgAnswer::No);
    EXPECT_EQ(r.InputBox("Again?", "Ask", ""), std::nullopt);
    const auto empty = r.InputBox("Empty?", "Ask", "x");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_EQ(r.unanswered(), 0);
    EXPECT_TRUE(r.allAnswersUsed());

    EXPECT_EQ(r.InputBox("Nobody?", "Ask", "d"), std::nullopt);
    EXPECT_EQ(r.unanswered(), 1);

    ASSERT_EQ(r.shown().size(), 5u);
    const auto& in = r.shown()[0];
    EXPECT_EQ(in.kind, platform::ScriptedResponder::Shown::Kind::Input);
    EXPECT_EQ(in.text, QStringLiteral("Name?"));
    EXPECT_EQ(in.title, QStringLiteral("Ask"));
    EXPECT_EQ(in.defaultText, QStringLiteral("dflt"));
    EXPECT_EQ(r.shown()[1].kind, platform::ScriptedResponder::Shown::Kind::Message);
    EXPECT_EQ(r.shown()[4].text, QStringLiteral("Nobody?"));
}

// ---------------------------------------------------------------------------------------------
// ReadWholeFile

// A question about a long job opens with No chosen: Enter answers No.
TEST(QtDialogs, EnterGivesTheDefaultAnswer)
{
    platform::QtDialogs dialogs;
    for (const auto answer : {platform::MsgAnswer::No, platform::MsgAnswer::Yes}) {
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            // Enter goes where a user's key goes: to the box's focus.
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
            if (box->isVisible()) {
                ADD_FAILURE() << "Enter left the box open";
                box->done(QMessageBox::Cancel);
            }
        });
        EXPECT_EQ(dialogs.MsgBoxDefault("Print?", platform::MsgButtons::YesNo,
                                        platform::MsgIcon::Question, "Print Warning", answer),
                  answer);
    }
}

// Selects characters [from, to) of `shown` with the mouse, as a user drags over them, and copies
// them with Ctrl+C; the clipboard's text.
QString CopyWithTheMouse(TextAsGiven& shown, int from, int to)
{
    auto at = [&](int position) {
        QTextCursor cursor(shown.document());
        cursor.setPosition(position);
        return shown.cursorRect(cursor).center();
    };
    shown.window()->activateWindow();
    QApplication::processEvents();
    QWidget* view = shown.viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, at(from));
    QMouseEvent drag(QEvent::MouseMove, at(to), view->mapToGlobal(at(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drag);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at(to));
    QApplication::clipboard()->clear();
    if (QWidget* focus = QApplication::focusWidget())
        QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
    return QApplication::clipboard()->text();
}

// Every kind of box shows the text it is given as typed ("&" and "<b>" are no shortcut mark or
// markup), whole and without a scroll bar, and fits its screen, and a 1024 by 768 one, however
// long the text or its words; a word longer than a line wraps where the line ends, and the text
// is not changed for that: select-all and Ctrl+C give the text back, CR and CR LF as written,
// and the quoted part selected with the mouse is what was quoted, a character outside the basic
// plane where a line ends and a no-break space included. Run offscreen and under Xvfb.
TEST(QtDialogs, BoxesShowTextAsTypedAndFitTheScreen)
{
    const QString quoted =
        QStringLiteral("<b>PID|1||X&Y</b>")
        + (QString(29, QLatin1Char('Z')) + QString::fromUcs4(U"\U0001F600")).repeated(12)
        + QChar(0xA0) + QStringLiteral("end");
    const QString longQuote = QStringLiteral("No further occurances of '") + quoted
                              + QStringLiteral("' were found.")
                              + QStringLiteral(" And a long sentence").repeated(30);
    const struct {
        const char* what;
        QString text;
        qsizetype quotedAt = -1;  // where `quoted` stands in the text, if it does
    } texts[] = {
        {"one line", QStringLiteral("No further occurances of 'ADT' were found.")},
        {"several lines",
         QStringLiteral("These data folders could not be created:\r\n\r\n/home/u/Marrowby/quillon/Logs"
                        "\r\n/home/u/Marrowby/quillon/Views\r\n/home/u/Marrowby/quillon/Temp")},
        {"a question after figures",
         QStringLiteral("Average Record Length: 2180\r\nLongest Record: 4096 (Record 77)\r\n"
                        "Shortest Record: 12 (Record 3)\r\n\r\nWould you like to see the longest "
                        "record?")},
        {"a count, then a sentence",
         QStringLiteral("4100000 delimiters were replaced. One will be created for you, and it "
                        "will be opened in the editor chosen under Options so that you can add "
                        "your own definitions to it.")},
        {"a long run without spaces", QString(700, QLatin1Char('X'))},
        {"a path",
         QStringLiteral("The file could not be written: ") + QStringLiteral("/very/deep/folder").repeated(25)
             + QStringLiteral("/out.hl7 (No space left on device)")},
        {"a quoted record",
         QStringLiteral("ACK received:\r\n\x0bMSH|^~\\&|A|B|C|D|20260101||ACK^A01|1|P|2.5\rMSA|AA|1\r\x1c\r")},
        {"a long quote", longQuote, longQuote.indexOf(quoted)},
    };
    platform::QtDialogs dialogs;
    const struct {
        const char* what;
        std::function<void(const QString&)> show;
    } boxes[] = {
        {"message box, OK",
         [&](const QString& t) { dialogs.MsgBox(t, MsgButtons::OKOnly, MsgIcon::Information, "Box"); }},
        {"message box, OK Cancel",
         [&](const QString& t) { dialogs.MsgBox(t, MsgButtons::OKCancel, MsgIcon::Question, "Box"); }},
        {"message box, Abort Retry Ignore",
         [&](const QString& t) {
             dialogs.MsgBox(t, MsgButtons::AbortRetryIgnore, MsgIcon::Critical, "Box");
         }},
        {"message box, Yes No Cancel",
         [&](const QString& t) {
             dialogs.MsgBox(t, MsgButtons::YesNoCancel, MsgIcon::Exclamation, "Box");
         }},
        {"message box, Yes No",
         [&](const QString& t) { dialogs.MsgBox(t, MsgButtons::YesNo, MsgIcon::Question, "Box"); }},
        {"message box, Retry Cancel",
         [&](const QString& t) {
             dialogs.MsgBoxDefault(t, MsgButtons::RetryCancel, MsgIcon::None, "Box",
                                   MsgAnswer::Cancel);
         }},
        {"message window", [&](const QString& t) { dialogs.MsgBoxWindow(t, "Window"); }},
        {"input box", [&](const QString& t) { dialogs.InputBox(t, "Input", "x&y"); }},
    };
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    for (const auto& t : texts)
        for (const auto& b : boxes) {
            SCOPED_TRACE(std::string(t.what) + " in a " + b.what);
            bool found = false;
            auto answer = AnswerModals([&](QWidget& box) {
                EXPECT_LE(box.frameGeometry().width(), std::min(1024, screen.width()));
                EXPECT_LE(box.frameGeometry().height(), std::min(768, screen.height()));
                if (auto* shown = box.findChild<TextAsGiven*>()) {
                    found = true;
                    EXPECT_EQ(shown->text(), t.text);
                    EXPECT_TRUE(ShowsWholeText(*shown));
                    EXPECT_EQ(shown->verticalScrollBar()->maximum(), 0);
                    if (t.quotedAt >= 0) {
                        EXPECT_EQ(shown->document()->toRawText(), t.text);  // no markup
                        const int from = static_cast<int>(t.quotedAt);
                        EXPECT_EQ(CopyWithTheMouse(*shown, from, from + static_cast<int>(quoted.size())),
                                  quoted);
                    }
                    shown->selectAll();
                    QApplication::clipboard()->clear();
                    shown->copy();
                    EXPECT_EQ(QApplication::clipboard()->text(), t.text);
                }
                box.close();
            });
            b.show(t.text);
            EXPECT_TRUE(found);
        }
}

TEST(ReadWholeFile, ReadsEveryByte)
{
    QTemporaryDir dir;
    std::string bytes;
    for (int round = 0; round < 300; ++round) // past one 64 KiB read
        for (int c = 0; c < 256; ++c)
            bytes.push_back(static_cast<char>(c));
    bytes += std::string("\0\xFF\r\n\x1A", 5);

    const struct {
        const char* name;
        std::string content;
    } cases[] = { { "all.bin", bytes }, { "empty.bin", {} }, { "nul.bin", std::string(1, '\0') } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        WriteBytes(path, c.content);
        std::string read = "left over";
        const platform::ReadResult r = platform::ReadWholeFile(path, read);
        EXPECT_EQ(r.error, ReadError::None);
        EXPECT_EQ(read, c.content);
    }
}

struct ReadErrorCase {
    const char* name;
    QString relative; // under a scratch folder holding "file.txt" and "folder/"
    ReadError expected;
};

class ReadWholeFileErrorTest : public ::testing::TestWithParam<ReadErrorCase>
{
};

TEST_P(ReadWholeFileErrorTest, NamesTheKindOfFailure)
{
    const ReadErrorCase& c = GetParam();
    QTemporaryDir dir;
    WriteBytes(dir.filePath(QStringLiteral("file.txt")), "MSH|");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    std::string content = "left over";
    const platform::ReadResult r = platform::ReadWholeFile(
        c.relative.isNull() ? QString() : dir.filePath(c.relative), content);
    EXPECT_EQ(r.error, c.expected);
    EXPECT_TRUE(content.empty());
    if (c.expected == ReadError::NotReadable) {
        EXPECT_FALSE(r.detail.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReadWholeFileErrorTest,
    ::testing::Values(
        ReadErrorCase { "MissingFile", QStringLiteral("absent.txt"), ReadError::FileNotFound },
        ReadErrorCase {
            "MissingFileInFolder", QStringLiteral("folder/absent.txt"), ReadError::FileNotFound },
        ReadErrorCase {
            "MissingFolder", QStringLiteral("nowhere/absent.txt"), ReadError::DirectoryNotFound },
        ReadErrorCase {
            "FileAsFolder", QStringLiteral("file.txt/absent.txt"), ReadError::DirectoryNotFound },
        ReadErrorCase { "Folder", QStringLiteral("folder"), ReadError::NotReadable },
        ReadErrorCase { "EmptyPath", QString(), ReadError::DirectoryNotFound }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadWholeFile, ReadsFilesOfUnknownSize)
{
    const QString path = QStringLiteral("/proc/self/status");
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << "no /proc on this system";
    ASSERT_EQ(QFileInfo(path).size(), 0);
    std::string content;
    EXPECT_EQ(platform::ReadWholeFile(path, content).error, ReadError::None);
    EXPECT_NE(content.find("Name:"), std::string::npos);
    EXPECT_EQ(content.back(), '\n');
}

// ---------------------------------------------------------------------------------------------
// WholeFile and FileAppender

// What a write leaves: the bytes under the name, its permissions, a link still a link, and no
// other file in the folder.
TEST(WholeFile, ReplacesWholeOrNotAtAllAndKeepsWhatTheOldFileWas)
{
    using Options = platform::WholeFile::Options;
    const struct {
        const char* name;
        const char* old;  // nullptr: no file there
        QFileDevice::Permissions permissions;
        Options options;
        bool link;     // written through a link to the file
        bool cancel;   // cancelled after the write
        const char* error;  // nullptr: written
    } cases[] = {
        {"NewFile", nullptr, {}, Options{}, false, false, nullptr},
        {"OverAnOldFile", "old", QFile::ReadOwner | QFile::WriteOwner, Options{}, false, false,
         nullptr},
        {"NotSyncedOverAnOldFile", "old", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther,
         Options::NotSynced(), false, false, nullptr},
        {"NamedSide", "old", QFile::ReadOwner | QFile::WriteOwner,
         Options::NotSynced("side.tmp"), false, false, nullptr},
        {"ThroughALink", "old", QFile::ReadOwner | QFile::WriteOwner, Options{}, true, false,
         nullptr},
        {"Cancelled", "old", QFile::ReadOwner | QFile::WriteOwner, Options{}, false, true,
         "stopped"},
        {"NeverReplacing", "old", QFile::ReadOwner | QFile::WriteOwner, Options::NeverReplacing(),
         false, false, "File exists"},
        {"NeverReplacingANewFile", nullptr, {}, Options::NeverReplacing(), false, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString file = dir.filePath("file.txt");
        QStringList expected{"file.txt"};
        if (c.old) {
            WriteBytes(file, c.old);
            QFile::setPermissions(file, c.permissions);
        }
        if (c.link) {
            ASSERT_TRUE(QFile::link(file, dir.filePath("link.txt")));
            expected << "link.txt";
        }
        Options options = c.options;
        if (!options.side.isEmpty())
            options.side = dir.filePath(options.side);
        platform::WholeFile w(c.link ? dir.filePath("link.txt") : file, options);
        bool written = w.Open() && w.Write("new");
        if (c.cancel) {
            w.Cancel();
            written = false;
        } else {
            written = written && w.Commit();
        }
        EXPECT_EQ(written, c.error == nullptr);
        EXPECT_EQ(w.ErrorString().toStdString(), c.error ? c.error : "");
        EXPECT_EQ(ReadBytes(file), c.error ? (c.old ? c.old : "") : "new");
        const auto user = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
        if (c.old) {
            EXPECT_EQ(QFileInfo(file).permissions() & ~user, c.permissions);
        }
        if (c.link) {
            EXPECT_TRUE(QFileInfo(dir.filePath("link.txt")).isSymLink());
        }
        if (!c.old && c.error)
            expected.removeAll("file.txt");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
                  expected);
    }
}

TEST(FileAppender, StartsANewFileOnceAndTakesBackWhatItAdded)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("log.txt");
    platform::FileAppender a;
    ASSERT_TRUE(a.Open(log, "head\n"));
    EXPECT_TRUE(a.Append("1\n"));
    EXPECT_TRUE(a.Append("2\n"));
    EXPECT_TRUE(a.Close());
    EXPECT_EQ(ReadBytes(log), "head\n1\n2\n");
    // An existing file gets no head; what one opening appended can be taken back.
    ASSERT_TRUE(a.Open(log, "head\n"));
    EXPECT_TRUE(a.Append("3\n"));
    a.TakeBack();
    EXPECT_TRUE(a.Close());
    EXPECT_EQ(ReadBytes(log), "head\n1\n2\n");
    // A file the opening made goes with what was taken back; one opened but never written
    // goes too, so that the next opening starts it with its head.
    const QString fresh = dir.filePath("fresh.txt");
    for (const bool append : {true, false}) {
        ASSERT_TRUE(a.Open(fresh, "head\n"));
        if (append) {
            EXPECT_TRUE(a.Append("x\n"));
            a.TakeBack();
        }
        a.Close();
        EXPECT_FALSE(QFileInfo::exists(fresh)) << append;
    }
    EXPECT_FALSE(a.Open(dir.path()));  // a folder
    EXPECT_FALSE(a.ErrorString().isEmpty());

    // An append the disk takes only part of is cut off again.
    FullFolder full;
    if (!full.Ok())
        GTEST_SKIP() << full.Error().toStdString();
    const QString old = full.FilePath("old.txt");
    WriteBytes(old, "head\n1\n");
    full.Fill();
    ASSERT_TRUE(a.Open(old, "head\n"));
    EXPECT_FALSE(a.Append(std::string(10000, 'x')));  // the file's page has room for its start
    a.Close();
    EXPECT_EQ(QFileInfo(old).size(), 7);
}

// ---------------------------------------------------------------------------------------------
// LocalAppDataFolder

class QuillonHomeGuard
{
public:
    QuillonHomeGuard()
        : had_(qEnvironmentVariableIsSet("QUILLON_HOME"))
        , old_(qgetenv("QUILLON_HOME"))
    {
    }
    ~QuillonHomeGuard()
    {
        if (had_)
            qputenv("QUILLON_HOME", old_);
        else
            qunsetenv("QUILLON_HOME");
    }

private:
    bool had_;
    QByteArray old_;
};

TEST(LocalAppDataFolder, UsesQuillonHomeAndCreatesIt)
{
    QuillonHomeGuard guard;
    QTemporaryDir dir;
    const struct {
        QString set;
        QString expected;
    } cases[] = {
        { dir.filePath(QStringLiteral("home")), dir.filePath(QStringLiteral("home")) },
        { dir.filePath(QStringLiteral("with slash/")), dir.filePath(QStringLiteral("with slash")) },
        { dir.filePath(QStringLiteral("deep/er//")), dir.filePath(QStringLiteral("deep/er")) },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set.toStdString());
        qputenv("QUILLON_HOME", c.set.toLocal8Bit());
        const QString folder = platform::LocalAppDataFolder();
        EXPECT_EQ(folder, c.expected);
        EXPECT_TRUE(QFileInfo(folder).isDir());
    }
}

size_t ResidentBytes()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<size_t>(resident) * 4096;
}

// Bringing a block's pages in changes none of its bytes, even where they were written already;
// giving back the pages of the heap's free top keeps what is still allocated.
TEST(HeapPages, BroughtInAndGivenBackWithoutChangingWhatIsHeld)
{
    constexpr size_t kSize = size_t{8} << 20;
    constexpr size_t kPage = 4096;
    {
        SCOPED_TRACE("pages brought in");
        auto* block = static_cast<char*>(platform::MapAlignedBlock(kSize, true));
        ASSERT_NE(block, nullptr);
        // Written in its first huge page only; the rest is not resident yet.
        constexpr size_t kWritten = size_t{2} << 20;
        for (size_t at = 0; at < kWritten; at += 3 * kPage)
            block[at] = static_cast<char>(at / kPage % 251 + 1);
        const size_t before = ResidentBytes();
        if (!platform::Populate(block, kSize)) {
            platform::UnmapBlock(block, kSize);
            GTEST_SKIP() << "this kernel cannot bring pages in without writing them";
        }
        EXPECT_GE(ResidentBytes(), before + kSize / 2);
        for (size_t at = 0; at < kSize; at += kPage) {
            const bool written = at < kWritten && at % (3 * kPage) == 0;
            ASSERT_EQ(block[at], written ? static_cast<char>(at / kPage % 251 + 1) : 0) << at;
        }
        platform::UnmapBlock(block, kSize);
    }
    {
        SCOPED_TRACE("the heap's free top given back");
        if (platform::PrepareHeapForLargeLoads(size_t{32} << 20) == 0)
            GTEST_SKIP() << "this allocator keeps its own heap (a sanitizer build)";
        std::string kept(size_t{1} << 20, 'k');
        // Below the mapping threshold, freed last: it joins the heap's top, its pages resident.
        constexpr size_t kFreed = size_t{24} << 20;
        auto* freed = static_cast<char*>(std::malloc(kFreed));
        ASSERT_NE(freed, nullptr);
        for (size_t at = 0; at < kFreed; at += kPage)
            freed[at] = 1;
        std::free(freed);
        const size_t before = ResidentBytes();
        platform::ReturnHeapTopPages();
        EXPECT_LE(ResidentBytes() + (size_t{16} << 20), before);
        EXPECT_EQ(kept, std::string(size_t{1} << 20, 'k'));
    }
}

// Every index of a split is run once, whatever the count.
TEST(SplitAcrossCores, RunsEachIndexOnce)
{
    for (const size_t count : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096 * 8 + 3},
                               size_t{1000003}}) {
        SCOPED_TRACE(count);
        std::vector<std::atomic<int>> runs(count);
        platform::SplitAcrossCores(count, [&](size_t begin, size_t end) {
            for (size_t i = begin; i < end; ++i)
                runs[i].fetch_add(1, std::memory_order_relaxed);
        });
        for (size_t i = 0; i < count; ++i)
            ASSERT_EQ(runs[i].load(), 1) << i;
    }
}

// The heap range readied for large loads is backed by huge pages, and later blocks use it.
TEST(PrepareHeapForLargeLoads, AdvisesTheHeapForHugePages)
{
    const size_t advised = platform::PrepareHeapForLargeLoads(size_t{32} << 20);
    if (advised == 0)
        GTEST_SKIP() << "this allocator or kernel keeps its own heap (a sanitizer build)";
    EXPECT_GE(advised, size_t{28} << 20);
    std::vector<std::string> records(20000, std::string(570, 'x'));
    QFile maps(QStringLiteral("/proc/self/smaps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    bool inHeap = false;
    bool heapAdvised = false;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        if (line.contains("-") && line.split(' ').size() > 4 && !line.startsWith("VmFlags"))
            inHeap = line.endsWith("[heap]");
        if (inHeap && line.startsWith("VmFlags:") && line.split(' ').contains("hg"))
            heapAdvised = true;
    }
    EXPECT_TRUE(heapAdvised);
    EXPECT_EQ(records.back().size(), 570u);
}

} // namespace
} // namespace quillon::test
