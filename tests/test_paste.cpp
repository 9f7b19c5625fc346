// Pasting records from the clipboard: the cutting rule, the header test, the trace's
// character-code lines, and the paste commands in the main window.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QElapsedTimer>
#include <QTest>

#include "TestSupport.h"
#include "app/TraceLog.h"
#include "editing/PasteRecords.h"
#include "platform/QtDialogs.h"

namespace quillon::test {
namespace {

using platform::MsgIcon;
using Records = std::vector<std::string>;

Records Cut(const std::string& text, char eob = '\r')
{
    Records records;
    const size_t n = CutPastedRecords(text, eob, [&](std::string_view r) { records.emplace_back(r); });
    EXPECT_EQ(n, records.size());
    return records;
}

TEST(PasteCut, RecordsEndAtEndOfBlockFollowedByLineFeed)
{
    const struct {
        const char* what;
        std::string text;
        Records records;
    } cases[] = {
        {"copy shape: segments ended by EOB, records by CR LF", "MSH|1\rPID|1\r\r\nMSH|2\rPV1|2\r\r\n",
         {"MSH|1\rPID|1\r", "MSH|2\rPV1|2\r"}},
        {"text-file lines: each line a record", "MSH|1\r\nPID|1\r\nMSH|2",
         {"MSH|1", "PID|1", "MSH|2"}},
        {"LF-only lines: one record", "MSH|1\nPID|1\nMSH|2\n", {"MSH|1\nPID|1\nMSH|2\n"}},
        {"empty line ends the paste", "MSH|1\r\n\r\nMSH|2\r\n", {"MSH|1"}},
        {"text ending in EOB keeps it", "MSH|1\rPID|1\r", {"MSH|1\rPID|1\r"}},
        {"lone CR and LF stay inside", "MSH|1\n\rPID\r", {"MSH|1\n\rPID\r"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Cut(c.text), c.records) << c.what;
    // Another end-of-block character cuts the same way.
    EXPECT_EQ(Cut("MSH|1\x1c\nMSH|2\x1c\n", '\x1c'), (Records{"MSH|1", "MSH|2"}));
    EXPECT_EQ(Cut("MSH|1\nPID\n\nMSH|2\n", '\n'), (Records{"MSH|1\nPID", "MSH|2"}));
    EXPECT_EQ(Cut("MSH|1\nPID", '\n'), (Records{"MSH|1\nPID"}));
}

TEST(PasteCut, HeaderTests)
{
    const struct {
        std::string text;
        bool pasted;   // the paste takes it
        bool offered;  // the Edit menu offers the paste
    } cases[] = {
        {"MSH|^~\\&|A", true, true},     {"msh|^~\\&|A", true, true},
        {"fhs|x", true, true},           {"BTS|1", true, true},
        {"FTS|1", true, true},           {"BHS|1", true, true},
        {"MSH", false, true},            {"MS", false, false},
        {" MSH|1", false, false},        {"PID|1||A", false, false},
        {"", false, false},              {"MSHX", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PasteAccepted(c.text), c.pasted) << c.text;
        EXPECT_EQ(ClipboardOffersRecords(c.text), c.offered) << c.text;
    }
}

TEST(PasteDump, PiecesCoverEveryCharacterOnce)
{
    const std::string digits = "0123456789012345678901234567890123456789";
    const struct {
        size_t length;
        std::vector<size_t> pieces;
    } cases[] = {{1, {1}}, {19, {19}}, {20, {20}}, {21, {19, 2}}, {39, {19, 20}}, {40, {19, 19, 2}}};
    for (const auto& c : cases) {
        const auto lines = PasteDumpLines(digits.substr(0, c.length));
        ASSERT_EQ(lines.size(), c.pieces.size()) << c.length;
        size_t at = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            const size_t n = c.pieces[i];
            EXPECT_EQ(lines[i].first, i == 0 ? "ASCII" : "") << c.length;
            EXPECT_EQ(lines[i].second.substr(0, n), digits.substr(at, n)) << c.length;
            EXPECT_EQ(lines[i].second.size(), 20 + 3 * n) << c.length;
            at += n;
        }
    }
    EXPECT_EQ(PasteDumpLines("MSH\r\xE9")[0].second, "MSH\r\xE9" + std::string(15, ' ') + " 4D 53 48 0D E9");
    EXPECT_TRUE(PasteDumpLines("").empty());
    // A record far beyond 32,767 characters.
    const std::string big(100000, 'x');
    const auto lines = PasteDumpLines(big);
    size_t total = 0;
    for (const auto& line : lines)
        total += (line.second.size() - 20) / 3;
    EXPECT_EQ(total, big.size());
}

class PasteWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override { st.undo.UndoEnabled = true; }
    static void Clip(const QString& text) { QGuiApplication::clipboard()->setText(text); }
    void Load(int n)
    {
        std::string bytes;
        for (int i = 1; i <= n; ++i)
            bytes += "MSH|^~\\&|OLD|" + std::to_string(i) + "\rPID|1||OLD" + std::to_string(i) + "\r";
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("old.hl7", bytes)));
    }
    Records Stored() const
    {
        Records r;
        for (int32_t i = 1; i <= st.records.RecordCount; ++i)
            r.emplace_back(st.records.Record(i));
        return r;
    }
};

TEST_F(PasteWindow, ReplaceAndAppendShowPageOneAndUndoBack)
{
    Load(3);
    const Records old = Stored();
    w.txtStartWithRecord->setText("1");
    w.txtEndWithRecord->setText("2");
    w.chkSendSelectedOnly->setChecked(false);
    w.mnuFieldListLockFieldLocation->setChecked(true);
    st.session.LockedFieldName = "PID-3";
    Clip(QStringLiteral("MSH|^~\\&|NEW|1\rPID|1||\u00e9\r\r\nMSH|^~\\&|NEW|2\r\r\n"));
    const Records pasted = {"MSH|^~\\&|NEW|1\rPID|1||\xE9\r", "MSH|^~\\&|NEW|2\r"};

    for (bool append : {true, false}) {
        SCOPED_TRACE(append);
        if (append)
            w.mnuClipboardPasteAppend_Click();
        else
            w.mnuClipboardPaste_Click();
        Records expected = append ? old : Records{};
        expected.insert(expected.end(), pasted.begin(), pasted.end());
        EXPECT_EQ(Stored(), expected);
        EXPECT_EQ(w.CurrentPage, 1);
        EXPECT_EQ(w.lstRecords->count(), static_cast<int>(expected.size()));
        EXPECT_EQ(w.lstRecords->currentRow(), 0);
        EXPECT_TRUE(w.lstRecords->item(0)->isSelected());
        EXPECT_EQ(w.lblFile->text(), QStringLiteral("Rec 1/%1").arg(expected.size()));
        EXPECT_EQ(w.windowTitle(), "Quillon - data pasted from clipboard");
        EXPECT_EQ(w.sFileName, "Data pasted from clipboard");
        EXPECT_TRUE(w.txtStartWithRecord->text().isEmpty());
        EXPECT_TRUE(w.txtEndWithRecord->text().isEmpty());
        EXPECT_TRUE(w.chkSendSelectedOnly->isChecked());
        EXPECT_FALSE(w.mnuFieldListLockFieldLocation->isChecked());
        EXPECT_TRUE(st.session.LockedFieldName.isEmpty());
        EXPECT_GT(w.lstSegments->count(), 0);
        EXPECT_EQ(w.tbarButtons[6]->toolTip(), "Undo Paste Record(s)");

        w.mnuEditUndo_Click();
        EXPECT_EQ(Stored(), old);
    }
    EXPECT_TRUE(f.responder.shown().empty());
}

// The blocks a command frees are kept for the texts it writes only while it runs: once it has
// ended, no more than the few always kept stay. Those of the records a load replaced are kept
// for the next load, and the window gives them back on its own once they have lain unused.
TEST_F(PasteWindow, FreedMemoryIsKeptOnlyThroughTheCommandOrForTheNextLoad)
{
    st.undo.UndoEnabled = false;  // the replaced records go with the paste
    std::string big;
    for (int i = 0; i < 400; ++i)
        big += "MSH|^~\\&|BIG|" + std::to_string(i) + "\rOBX|1|TX|||" + std::string(60000, 'x')
               + "\r\r\n";
    Clip(QString::fromLatin1(big.data(), static_cast<qsizetype>(big.size())));
    w.mnuClipboardPaste_Click();
    ASSERT_EQ(st.records.RecordCount, 400);
    ASSERT_GT(RecordBlocksInUse(), record_text::kKeptBlocks + 2);

    Clip(QStringLiteral("MSH|^~\\&|SMALL|1\r\r\n"));
    w.mnuClipboardPaste_Click();
    w.AwaitWrites();
    EXPECT_EQ(Stored(), Records{"MSH|^~\\&|SMALL|1\r"});
    EXPECT_LE(RecordBlocksKept(), record_text::kKeptBlocks);

    ASSERT_TRUE(w.LoadHL7File(f.WriteFile("big.hl7", big)));
    Load(2);
    w.AwaitWrites();
    EXPECT_EQ(st.records.RecordCount, 2);
    EXPECT_GT(RecordBlocksKept(), record_text::kKeptBlocks);
    EXPECT_TRUE(QTest::qWaitFor([] { return RecordBlocksKept() <= record_text::kKeptBlocks; },
                                static_cast<int>(record_text::kKeptFor.count()) + 3000));
}

TEST_F(PasteWindow, RefusalsChangeNothing)
{
    Load(2);
    const Records old = Stored();
    const struct {
        QString clip;
        QString text;
        QString title;
        MsgIcon icon;
    } cases[] = {
        {"", "There is no data on the clipboard to parse.", "No Data to Paste", MsgIcon::Information},
        {"PID|1", "The clipboard does not appear to contain an HL7 message.\r\rThe data on the "
                  "clipboard is:\r\rPID|1",
         "Quillon", MsgIcon::None},
        {"MSH", "The clipboard does not appear to contain an HL7 message.\r\rThe data on the "
                "clipboard is:\r\rMSH",
         "Quillon", MsgIcon::None},
    };
    for (const auto& c : cases) {
        f.responder.Clear();
        Clip(c.clip);
        w.mnuClipboardPaste_Click();
        ASSERT_EQ(f.responder.shown().size(), 1u) << c.text.toStdString();
        EXPECT_EQ(f.responder.shown()[0].text, c.text);
        EXPECT_EQ(f.responder.shown()[0].title, c.title);
        EXPECT_EQ(f.responder.shown()[0].icon, c.icon);
        EXPECT_EQ(Stored(), old);
        EXPECT_EQ(w.lstRecords->count(), 2);
        EXPECT_FALSE(w.mnuEditUndo->isEnabled());
    }
    // Without its undo point the paste drops nothing.
    f.responder.Clear();
    WriteBytes(st.folders.TempFolder + "plain", "x");
    st.folders.TempFolder += "plain/";
    Clip("MSH|NEW\r\n");
    w.mnuClipboardPaste_Click();
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown()[0].title, "Undo");
    EXPECT_EQ(Stored(), old);
}

// A clipboard that holds no HL7 text, however large: the box quotes its start, says how much it
// left out, and shows at once. The paste was offered for an earlier clipboard text, as when the
// user copies elsewhere after the Edit menu last opened.
TEST_F(PasteWindow, NotHL7BoxQuotesTheStartOfALargeClipboard)
{
    const QString intro = QStringLiteral(
        "The clipboard does not appear to contain an HL7 message.\r\r"
        "The data on the clipboard is:\r\r");
    platform::QtDialogs dialogs;
    MainWindowFixture real(&dialogs);
    const auto paste = [](frmMain& window, const QString& clip) {
        Clip(QStringLiteral("MSH|1"));
        window.mnuEdit_Click();
        Clip(clip);
        ASSERT_TRUE(window.mnuClipboardPaste->isEnabled());
        window.mnuClipboardPaste->trigger();
    };
    const struct {
        qsizetype size;
        qsizetype leftOut;
    } cases[] = {{300, 0}, {301, 1}, {50'000'000, 49'999'700}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const QString clip = QStringLiteral("PID|") + QString(c.size - 4, QLatin1Char('x'));
        f.responder.Clear();
        paste(w, clip);
        ASSERT_EQ(f.responder.shown().size(), 1u);
        const QString text = f.responder.shown()[0].text;
        ASSERT_TRUE(text.startsWith(intro + clip.left(300)));
        ASSERT_LT(text.size(), intro.size() + 400);
        EXPECT_EQ(text.contains(QString::number(c.leftOut)), c.leftOut > 0);

        // The real box, as the user waits for it.
        QElapsedTimer clock;
        qint64 shownAfter = -1;
        QString shownText;
        auto answer = AnswerModals([&](QWidget& box) {
            shownAfter = clock.elapsed();
            if (auto* message = qobject_cast<QMessageBox*>(&box))
                shownText = message->text();
            box.close();
        });
        clock.start();
        paste(*real.window, clip);
        EXPECT_LT(shownAfter, 1000);
        EXPECT_GE(shownAfter, 0);
        EXPECT_TRUE(shownText.endsWith(text.mid(intro.size())));
    }
}

TEST_F(PasteWindow, EditMenuOffersPasteForHeaderText)
{
    for (const auto& [clip, offered] : {std::pair{QStringLiteral("msh|1"), true},
                                        {QStringLiteral("PID|1"), false},
                                        {QStringLiteral(""), false},
                                        {QStringLiteral("FTS"), true}}) {
        Clip(clip);
        w.mnuEdit_Click();
        EXPECT_EQ(w.mnuClipboardPaste->isEnabled(), offered) << clip.toStdString();
        EXPECT_EQ(w.mnuClipboardPasteAppend->isEnabled(), offered) << clip.toStdString();
    }
}

TEST_F(PasteWindow, TraceLogsEachRecordAndItsCodes)
{
    st.trace.LogMessage = true;
    st.trace.LogMessageASCII = true;
    Clip(QStringLiteral("MSH|A\r\nMSH|B\r\n"));
    w.mnuClipboardPaste_Click();
    QFile log(CurrentLogFilePath(st));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    for (const char* expected :
         {"SERVER: The following record has been received via pasting: MSH|A",
          "SERVER: The following record has been received via pasting: MSH|B",
          "MSH|A                4D 53 48 7C 41", "MSH|B                4D 53 48 7C 42"})
        EXPECT_TRUE(text.contains(expected)) << expected;
}

}  // namespace
}  // namespace quillon::test
