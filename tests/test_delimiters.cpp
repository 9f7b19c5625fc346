// Changing the five delimiters: the one-pass swap, and Tools > Change Delimiters with its input,
// refusals, count message and undo.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "TestSupport.h"
#include "TextShown.h"
#include "editing/ChangeDelimiters.h"
#include "platform/QtDialogs.h"

namespace quillon::test {
namespace {

using platform::MsgIcon;
using Records = std::vector<std::string>;

Delimiters Five(const char* five)
{
    return DelimitersFrom({std::string(1, five[0]), std::string(1, five[1]),
                           std::string(1, five[2]), std::string(1, five[3]),
                           std::string(1, five[4])});
}

TEST(DelimiterSwap, EachCharacterReplacedOnceAndCounted)
{
    const struct {
        const char* what;
        const char* old;
        const char* answer;
        std::string record, expected;
        int64_t count;
    } cases[] = {
        {"field separator only", "|^~\\&", "#^~\\&", "MSH|^~\\&|A\rPID|1\r", "MSH#^~\\&#A\rPID#1\r",
         7},
        {"swap is not swapped back", "|^~\\&", "^|~\\&", "MSH|^~\\&|A^B\r", "MSH^|~\\&^A|B\r", 7},
        {"letters in both cases", "|X~\\&", "|^~\\&", "PID|x1X|xX\r", "PID|^1^|^^\r", 6},
        {"Latin-1 letters in both cases; the signs and sharp s have no other",
         "|\xc9~\xd7\xdf", "|^~#%", "PID|\xe9\xc9|\xf7\xd7\xff\xdf\r", "PID|^^|\xf7#\xff%\r", 6},
        {"first of a repeated delimiter decides", "||~\\&", "#@~\\&", "A|B~C", "A#B~C", 2},
        {"segment terminator kept", "|^~\\&", "\r^~\\&", "A|B\rC\r", "A\rB\rC\r", 1},
        {"no delimiters", "|^~\\&", "#@*/%", "plain text", "plain text", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string record = c.record;
        EXPECT_EQ(DelimiterSwap(Five(c.old), c.answer).Apply(record), c.count);
        EXPECT_EQ(record, c.expected);
    }

    // Long records go through in blocks; every length and offset gives the byte-wise result.
    std::string text;
    for (int i = 0; i < 4200; ++i)
        text += "|^~\\&abcXYZ\r"[(i * 7 + i / 13) % 12];
    const std::string from = "|^~\\&", to = "^|&#~";
    for (size_t length : {0u, 1u, 15u, 16u, 17u, 255u, 300u, 4081u, 4200u}) {
        std::string record = text.substr(0, length), expected = record;
        int64_t count = 0;
        for (char& ch : expected)
            if (const size_t k = from.find(ch); k != std::string::npos) {
                ch = to[k];
                ++count;
            }
        EXPECT_EQ(DelimiterSwap(Five("|^~\\&"), to).Apply(record), count) << length;
        EXPECT_EQ(record, expected) << length;
    }
    // A hit in every byte of a long record: more hits than a byte-wide counter holds.
    std::string separators(4200, '|');
    EXPECT_EQ(DelimiterSwap(Five("|^~\\&"), to).Apply(separators), 4200);
    EXPECT_EQ(separators, std::string(4200, '^'));
}

class DelimiterWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override
    {
        st.undo.UndoEnabled = true;
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile(
            "d.hl7", "MSH|^~\\&|A|1\rPID|1||X^Y\r\r\nMSH|^~\\&|B|2\rPID|2||Z~W\r\r\n")));
    }
    Records Stored() const
    {
        Records r;
        for (int32_t i = 1; i <= st.records.RecordCount; ++i)
            r.emplace_back(st.records.Record(i));
        return r;
    }
    std::string Current() const
    {
        const Delimiters& d = st.delimiters;
        return d.FieldSeparator + d.ComponentSeparator + d.RepetitionSeparator + d.EscapeCharacter
               + d.SubcomponentSeparator;
    }
};

TEST_F(DelimiterWindow, ChangeAsksUntilFiveAndUndoRestoresRecordsAndDelimiters)
{
    const Records old = Stored();
    w.lstRecords->setCurrentRow(1);
    f.responder.QueueInput(QStringLiteral("#^~"));
    f.responder.QueueInput(QStringLiteral("#^~\\&!"));
    f.responder.QueueInput(QStringLiteral("  #@~\\&  "));
    w.mnuToolsChangeDelimiters_Click();

    const auto& shown = f.responder.shown();
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[0].title, "Change Message Delimiters");
    EXPECT_TRUE(shown[0].text.contains("|  Field Separator\r\n^  Component Separator    \r\n"));
    for (size_t i : {1u, 3u}) {
        EXPECT_EQ(shown[i].text, "You must enter exactly five characters.");
        EXPECT_EQ(shown[i].title, "Invalid Number of Delimiters");
        EXPECT_EQ(shown[i].icon, MsgIcon::Exclamation);
    }
    EXPECT_EQ(shown[5].text, "22 delimiters were replaced.");
    EXPECT_EQ(shown[5].title, "Delimiters Replaced");
    EXPECT_EQ(shown[5].icon, MsgIcon::Information);
    EXPECT_EQ(Stored(), (Records{"MSH#@~\\&#A#1\rPID#1##X@Y\r", "MSH#@~\\&#B#2\rPID#2##Z~W\r"}));
    EXPECT_EQ(Current(), "#@~\\&");
    EXPECT_NE(st.delimiters.AllDelimiters.find('#'), std::string::npos);
    EXPECT_EQ(w.lstRecords->currentRow(), 1);
    EXPECT_EQ(w.tbarButtons[6]->toolTip(), "Undo Change Delimiters");

    w.mnuEditUndo_Click();
    EXPECT_EQ(Stored(), old);
    EXPECT_EQ(Current(), "|^~\\&");
    EXPECT_EQ(st.delimiters.AllDelimiters.find('#'), std::string::npos);
}

TEST_F(DelimiterWindow, RefusalsAndFailedUndoPointChangeNothing)
{
    const Records old = Stored();
    const struct {
        const char* what;
        std::optional<QString> answer;
        bool breakUndo;  // the undo folder cannot be written
        QString title;   // the one box shown after the input box, if any
    } cases[] = {
        {"cancel", std::nullopt, false, ""},
        {"blanks only", QStringLiteral("   "), false, ""},
        {"undo point not written", QStringLiteral("#@*/%"), true, "Undo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        f.responder.Clear();
        if (c.breakUndo) {
            WriteBytes(st.folders.TempFolder + "plain", "x");
            st.folders.TempFolder += "plain/";
        }
        f.responder.QueueInput(c.answer);
        w.mnuToolsChangeDelimiters_Click();
        ASSERT_EQ(f.responder.shown().size(), c.title.isEmpty() ? 1u : 2u);
        if (!c.title.isEmpty()) {
            EXPECT_EQ(f.responder.shown()[1].title, c.title);
        }
        EXPECT_EQ(Stored(), old);
        EXPECT_EQ(Current(), "|^~\\&");
        EXPECT_TRUE(st.editing.UndoDelimiters[1].empty());
        EXPECT_FALSE(w.mnuEditUndo->isEnabled());
    }

    // Without records there is nothing to ask.
    f.responder.Clear();
    st.records.RecordCount = 0;
    w.DisplayPage(w.CurrentPage);
    w.mnuToolsChangeDelimiters_Click();
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown()[0].title, "No Records Loaded");
    EXPECT_EQ(f.responder.shown()[0].text,
              "There are no records loaded.  Please load the file "
              "whose delimiters you with to change.");
}

// Only the level the delimiter change made brings delimiters back; an operation whose name
// merely contains the words restores the records alone. The record has no header, so showing it
// teaches the window no delimiters.
TEST_F(DelimiterWindow, UndoRestoresDelimitersOnlyForTheChangeItself)
{
    RecordStore store;
    store.Append("PID|1^2\r");
    st.records = store;
    w.DisplayPage(w.CurrentPage);
    f.responder.QueueInput(QStringLiteral("#@~\\&"));
    w.mnuToolsChangeDelimiters_Click();
    EXPECT_EQ(st.records.Record(1), "PID#1@2\r");
    w.UndoSave(QStringLiteral("Replace All 'Change Delimiters' with 'x'"));
    st.records.Records[1] = RecordText("PID#edited\r");
    st.delimiters = Five("!:=?$");

    w.mnuEditUndo_Click();
    EXPECT_EQ(st.records.Record(1), "PID#1@2\r");
    EXPECT_EQ(Current(), "!:=?$");
    w.mnuEditUndo_Click();
    EXPECT_EQ(st.records.Record(1), "PID|1^2\r");
    EXPECT_EQ(Current(), "|^~\\&");
}

// A change over many records lets the window's events run while it works, as Replace All does:
// a timer fires part way through, the first records changed and the last not yet.
TEST_F(DelimiterWindow, EventsRunWhileTheRecordsChange)
{
    std::string file;
    for (int i = 1; i <= 3000; ++i)
        file += "MSH|^~\\&|A|" + std::to_string(i) + "\rPID|1||X^Y\r\r\n";
    ASSERT_TRUE(w.LoadHL7File(f.WriteFile("many.hl7", file)));
    bool partWay = false;
    QTimer look;
    look.setInterval(0);
    QObject::connect(&look, &QTimer::timeout, [&] {
        const auto starts = [&](int32_t i) { return st.records.Record(i).substr(0, 4); };
        partWay = partWay || (starts(1) == "MSH#" && starts(st.records.RecordCount) == "MSH|");
    });
    look.start();
    f.responder.QueueInput(QStringLiteral("#@~\\&"));
    w.mnuToolsChangeDelimiters->trigger();
    look.stop();
    EXPECT_TRUE(partWay);
    EXPECT_EQ(st.records.Record(3000), "MSH#@~\\&#A#3000\rPID#1##X@Y\r");
}

// The real prompt, reached through the Tools menu: every delimiter shows as typed (the "&" is no
// shortcut mark), the warning wraps so that the box fits a 1024 by 768 screen with the whole text
// in view, and five characters typed and Return change the delimiters.
TEST(DelimiterPrompt, ShowsTheDelimitersAsTypedAndFitsTheScreen)
{
    platform::QtDialogs dialogs;
    MainWindowFixture f(&dialogs);
    frmMain& w = *f.window;
    ASSERT_TRUE(w.LoadHL7File(f.WriteFile("d.hl7", "MSH|^~\\&|A|1\rPID|1||X&Y\r\r\n")));
    QStringList titles;
    auto answer = AnswerModals([&](QWidget& box) {
        titles << box.windowTitle();
        if (auto* message = qobject_cast<QMessageBox*>(&box)) {
            message->close();
            return;
        }
        EXPECT_LE(box.frameGeometry().width(), 1024);
        EXPECT_LE(box.frameGeometry().height(), 768);
        auto* prompt = box.findChild<TextAsGiven*>();
        auto* edit = box.findChild<QLineEdit*>();
        if (!prompt || !edit) {
            ADD_FAILURE() << "no prompt or no text box";
            box.close();
            return;
        }
        // Plain text, "&" no shortcut mark, and every line of it in view.
        EXPECT_TRUE(prompt->toPlainText().contains("\n&  Subcomponent Separator"));
        EXPECT_TRUE(ShowsWholeText(*prompt));
        QTest::keyClicks(edit, QStringLiteral("#^~\\%"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    w.mnuTools_Click();
    ASSERT_TRUE(w.mnuToolsChangeDelimiters->isEnabled());
    w.mnuToolsChangeDelimiters->trigger();
    EXPECT_EQ(titles, (QStringList{"Change Message Delimiters", "Delimiters Replaced"}));
    EXPECT_EQ(f.state.records.Record(1), "MSH#^~\\%#A#1\rPID#1##X%Y\r");
}

}  // namespace
}  // namespace quillon::test
