// The character-code view: its text, the caret arithmetic, the marked pair in the window, and the
// commands' refusal when no row is current.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTest>
#include <QTextEdit>

#include "TestSupport.h"
#include "analysis/CharacterCodes.h"
#include "analysis/frmShowRecordAsASCII.h"

namespace quillon::test {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
        lines.push_back(text.substr(from, at - from));
    EXPECT_EQ(from, text.size());  // every line ends with its break
    return lines;
}

TEST(CharacterCodes, ViewText)
{
    const std::string full(20, 'A');
    const std::string pairs20 = [] {
        std::string s;
        for (int i = 0; i < 20; ++i)
            s += "41 ";
        return s;
    }();
    struct Case {
        std::string source;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {std::string(45, 'A'),
         {full + "  " + pairs20, full + "  " + pairs20, "AAAAA" + std::string(17, ' ') + "41 41 41 41 41 "}},
        {full + "B", {full + "  " + pairs20, "B" + std::string(21, ' ') + "42 "}},
        {"A\rB", {"A\x1F" "B" + std::string(19, ' ') + "41 0D 42 "}},
        {"\x1F\t\xE9", {"\x1F\x1F\xE9" + std::string(19, ' ') + "1F 09 E9 "}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(AsciiViewText(c.source)), c.lines) << c.source;
    EXPECT_EQ(Lines(AsciiViewText(std::string(20001, 'x'))).size(), 1001u);
    EXPECT_EQ(Lines(AsciiViewText(std::string(20001, 'x'))).back(), "x" + std::string(21, ' ') + "78 ");
}

TEST(CharacterCodes, CaretArithmetic)
{
    using Cell = std::optional<AsciiCell>;
    struct Case {
        int position;
        int sourceLength;
        Cell marked;
    };
    const std::vector<Case> cases = {
        {5, 45, AsciiCell{0, 5}},                   // on a character
        {83 + 22 + 3 * 4, 45, AsciiCell{1, 4}},     // on a code pair's first digit
        {83 + 22 + 3 * 4 + 2, 45, AsciiCell{1, 4}},  // the blank after it
        {20, 45, std::nullopt},                     // between characters and codes
        {21, 45, std::nullopt},
        {2 * 83 + 22 + 3 * 5, 45, std::nullopt},    // past the short last line's codes
        {2 * 83 + 4, 45, AsciiCell{2, 4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AsciiMarkedCell(c.position, c.sourceLength), c.marked) << c.position;
    EXPECT_EQ(AsciiPairPosition({1, 4}), 83 + 34);
    struct Move {
        AsciiKey key;
        AsciiCell caret, result;
    };
    const std::vector<Move> moves = {
        {AsciiKey::Left, {0, -1}, {0, 19}},  // Left on the first character of the first line
        {AsciiKey::Left, {2, -1}, {1, 19}},
        {AsciiKey::Left, {1, 5}, {1, 4}},
        {AsciiKey::Right, {1, 19}, {1, 19}},
        {AsciiKey::Right, {1, 20}, {2, 0}},  // past the 20th character: the next line
        {AsciiKey::Up, {0, 6}, {0, 5}},
        {AsciiKey::Down, {3, 0}, {3, 0}},
    };
    for (const Move& m : moves)
        EXPECT_EQ(AsciiKeyMove(m.key, m.caret), m.result) << static_cast<int>(m.key);
}

TEST(CharacterCodesWindow, ClickMarksThePairAndArrowsMoveIt)
{
    frmShowRecordAsASCII view(std::string(45, 'A') , "SEGMENT");
    view.show();
    EXPECT_EQ(view.windowTitle(), QStringLiteral("View Segment as ASCII"));
    EXPECT_EQ(view.Marked(), (AsciiCell{0, 0}));
    auto pairFormat = [&](AsciiCell c) {
        QTextCursor at(view.rtbASCII->document());
        at.setPosition(AsciiPairPosition(c) + 1);
        return at.charFormat();
    };
    // A click on a code pair of the second line.
    QTextCursor click(view.rtbASCII->document());
    click.setPosition(83 + 22 + 3 * 7 + 1);
    view.rtbASCII->setTextCursor(click);
    view.HighlightChar();
    EXPECT_EQ(view.Marked(), (AsciiCell{1, 7}));
    EXPECT_EQ(pairFormat({1, 7}).foreground().color(), QColor(Qt::red));
    EXPECT_TRUE(pairFormat({1, 7}).fontUnderline());
    EXPECT_FALSE(pairFormat({0, 0}).fontUnderline());
    EXPECT_EQ(view.rtbASCII->textCursor().selectionStart(), 83 + 7);
    EXPECT_EQ(view.rtbASCII->textCursor().selectedText(), QStringLiteral("A"));
    // Left from the first character of the first line: the 20th character.
    click.setPosition(0);
    view.rtbASCII->setTextCursor(click);
    view.HighlightChar();
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(view.rtbASCII, &left);
    EXPECT_EQ(view.Marked(), (AsciiCell{0, 19}));
    EXPECT_FALSE(pairFormat({1, 7}).fontUnderline());
    // Typing changes nothing.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(view.rtbASCII, &typed);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(view.rtbASCII, &del);
    EXPECT_EQ(view.rtbASCII->toPlainText().toLatin1().toStdString(),
              AsciiViewText(std::string(45, 'A')));
}

// On a dark palette a code pair that was marked and is back to normal draws in the palette's
// text colour, as the codes never marked do.
TEST(CharacterCodesWindow, CodesDrawInThePaletteTextColour)
{
    struct PaletteGuard {
        QPalette saved = QApplication::palette();
        ~PaletteGuard() { QApplication::setPalette(saved); }
    } guard;
    QPalette dark = guard.saved;
    const QColor base(0x20, 0x28, 0x30), text(0xf0, 0xf0, 0xa0);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::Text, text);
    QApplication::setPalette(dark);

    MainWindowFixture f;
    ASSERT_TRUE(f.window->LoadHL7File(
        f.WriteFile(QStringLiteral("r.hl7"), "MSH|^~\\&|" + std::string(40, 'B') + "\r")));
    f.window->lstRecords->setCurrentRow(0);
    // Ink lighter than the base, some of it the text colour itself; none darker than the base.
    int lighter = 0, darker = 0, textColoured = 0;
    bool shown = false;
    auto answer = AnswerModals([&](QWidget& modal) {
        auto* view = qobject_cast<frmShowRecordAsASCII*>(&modal);
        if (!view)
            return;
        shown = true;
        QTextEdit* box = view->rtbASCII;
        auto rectAt = [box](int position) {
            QTextCursor at(box->document());
            at.setPosition(position);
            return box->cursorRect(at);
        };
        const int pair = AsciiPairPosition({1, 7});
        const QRect from = rectAt(pair), to = rectAt(pair + 2);
        const QRect pairRect(from.left(), from.top(), to.left() - from.left(), from.height());
        // Mark the pair with a click on it, then mark the first character's.
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, pairRect.center());
        EXPECT_EQ(view->Marked(), (AsciiCell{1, 7}));
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, rectAt(0).center() + QPoint(2, 0));
        EXPECT_EQ(view->Marked(), (AsciiCell{0, 0}));
        const QImage drawn = box->viewport()->grab().toImage();
        auto distance = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green())
                   + std::abs(a.blue() - b.blue());
        };
        for (int y = pairRect.top(); y <= pairRect.bottom(); ++y)
            for (int x = pairRect.left(); x <= pairRect.right(); ++x) {
                const QColor pixel = drawn.pixelColor(x, y);
                const int shade = distance(pixel, Qt::black) - distance(base, Qt::black);
                lighter += shade > 60;
                darker += shade < -30;
                textColoured += distance(pixel, text) < 40;
            }
        view->reject();
    });
    f.window->mnuViewRecordAsASCII_Click();
    ASSERT_TRUE(shown);
    EXPECT_GT(lighter, 10);
    EXPECT_GT(textColoured, 0);
    EXPECT_EQ(darker, 0);
}

TEST(CharacterCodesWindow, NoCurrentRowGivesTheMessage)
{
    MainWindowFixture f;
    f.window->mnuViewRecordAsASCII_Click();
    f.window->mnuSegmentListViewSegmentAsASCII_Click();
    const auto& shown = f.responder.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, QStringLiteral("There is no record selected to display its ASCII codes."));
    EXPECT_EQ(shown[0].title, QStringLiteral("No Record Selected"));
    EXPECT_EQ(shown[1].text, QStringLiteral("There is no segment selected to display its ASCII codes."));
    EXPECT_EQ(shown[1].title, QStringLiteral("No segment Selected"));
    EXPECT_EQ(shown[1].icon, platform::MsgIcon::Information);
    EXPECT_EQ(f.state.analysis.ASCIIViewMode, "SEGMENT");
}

}  // namespace
}  // namespace quillon::test
