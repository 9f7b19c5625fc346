// Number-base conversions, the ACK byte lists, and the envelope characters window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <limits>

#include "TestSupport.h"
#include "app/Settings.h"
#include "files/SaveRecords.h"
#include "tcpip/NumberBase.h"
#include "tcpip/frmHL7Envelope.h"

namespace quillon {
namespace {

using E = frmHL7Envelope;
constexpr int16_t Dec = E::Decimal, Oct = E::Octal, Hex = E::Hexadecimal;
constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();

TEST(NumberBase, TextToNumber)
{
    struct Case {
        std::string text;
        int32_t hex, octal;  // -1: refused
    };
    const Case cases[] = {
        {"1C", 28, -1}, {"0B", 11, -1}, {"", 0, 0}, {"FF", 255, -1}, {"100", 256, 64},
        {"1c", 28, -1}, {"34", 52, 28}, {"19", 25, 17}, {"377", 887, 255},
        {"7FFFFFFF", kMax32, -1}, {"17777777777", -1, kMax32},
        // No wrap past the 32-bit range; no letters beyond F, blanks or signs.
        {"80000000", -1, 16777216}, {"20000000000", -1, -1}, {"G", -1, -1}, {"@", -1, -1},
        {" 1C", -1, -1}, {"-1", -1, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(HexStringToNumber(c.text), c.hex);
        EXPECT_EQ(OctalStringToNumber(c.text), c.octal);
    }
}

TEST(NumberBase, AckByteListGivesTheBytesAndIsCleanedInPlace)
{
    struct Case {
        std::string list, bytes, cleaned;
    };
    const Case cases[] = {
        {"0b 06 1c 0d", "\x0b\x06\x1c\x0d", "0b 06 1c 0d"},
        {"0x0b 0x06 0x1c 0x0d", "\x0b\x06\x1c\x0d", "00b 006 01c 00d"},
        {"\\x0b \\x06", "\x0b\x06", "0b 06"},
        {"'0b' /06/", "\x0b\x06", "0b 06"},
        {"0B 1C", "\x0b\x1c", "0B 1C"},
        {"06", "\x06", "06"},
        {"00 ff 80", std::string("\0\xff\x80", 3), "00 ff 80"},
        {"", "", ""},
        // Items that name no byte are left out.
        {"\\x0b\\x06", "", "0b06"},           // codes run together: one code above 255
        {"0X0b 06", "\x06", "0X0b 06"},       // only the lower-case x goes
        {"0b  06", "\x0b\x06", "0b  06"},     // blanks in a row
        {" 0b 06 ", "\x0b\x06", " 0b 06 "},   // blanks at the ends
        {"0b zz 06", "\x0b\x06", "0b zz 06"},
        {"0b 100 06", "\x0b\x06", "0b 100 06"},  // no wrap to 00
        {"0b\t06", "", "0b\t06"}};               // only blanks separate
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        std::string list = c.list;
        EXPECT_EQ(HexListToString(list), c.bytes);
        EXPECT_EQ(list, c.cleaned);
    }
}

TEST(NumberBase, FileNameFromPath)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\logs\\server.log", "server.log"}, {"server.log", "server.log"}, {"", ""},
        {"C:\\logs\\", ""}, {"/home/ann/acks.txt", "acks.txt"}, {"C:\\in/out\\a b.txt", "a b.txt"}};
    for (const auto& [path, name] : cases)
        EXPECT_EQ(GetFileNameFromPath(path), name) << path;
}

TEST(EnvelopeCodeText, PadsOctalAndHexToTwoDigits)
{
    const std::tuple<int16_t, int16_t, QString> cases[] = {
        {9, Dec, "9"}, {7, Oct, "07"}, {100, Oct, "144"}, {100, Hex, "64"}, {255, Hex, "FF"}};
    for (const auto& [code, base, text] : cases)
        EXPECT_EQ(E::CodeText(code, base), text) << code << " in base " << base;
}

const QString App = QStringLiteral("Quillon");
const QString Absent = QStringLiteral("<absent>");

class EnvelopeWindow : public ::testing::Test {
protected:
    QTemporaryDir dir;
    AppState st;
    int16_t base = Dec;

    void SetUp() override { ASSERT_TRUE(st.settings.Open(SettingsPath())); }
    QString SettingsPath() const { return dir.filePath(QStringLiteral("Quillon.settings")); }
    QString Stored(const QString& section) const
    {
        return st.settings.Get(App, section, QStringLiteral("0"), Absent);
    }
    void Store(const QString& section, const QString& value)
    {
        st.settings.Save(App, section, QStringLiteral("0"), value);
    }
    static QStringList Texts(const E& w)
    {
        return {w.txtStartOfBlockChar->text(), w.txtEndOfBlockChar->text(),
                w.txtEndOfDataChar->text()};
    }
    static void Leave(QLineEdit* box)
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }
};

TEST_F(EnvelopeWindow, FirstOpeningShowsTheDefaultsInDecimal)
{
    E w(st, base);
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("HL7 Record Envelope"));
    EXPECT_EQ(Texts(w), QStringList({"11", "13", "28"}));
    EXPECT_TRUE(w.optBase[Dec]->isChecked());
    EXPECT_FALSE(w.optBase[Oct]->isChecked() || w.optBase[Hex]->isChecked());
    EXPECT_TRUE(w.cmdSave->isDefault());

    // Entering a box selects its whole text.
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(w.txtEndOfBlockChar, &in);
    QApplication::processEvents();
    EXPECT_EQ(w.txtEndOfBlockChar->selectedText(), QStringLiteral("13"));
}

TEST_F(EnvelopeWindow, ShowsTheStoredCodesInTheBaseLastChosen)
{
    Store(QStringLiteral("StartOfBlockChar"), QStringLiteral("2"));
    Store(QStringLiteral("EndOfDataChar"), QStringLiteral("100"));
    {
        E w(st, base);
        w.optBase[Hex]->click();
        w.close();
    }
    EXPECT_EQ(base, Hex);
    E again(st, base);
    EXPECT_TRUE(again.optBase[Hex]->isChecked());
    EXPECT_FALSE(again.optBase[Dec]->isChecked());
    EXPECT_EQ(Texts(again), QStringList({"02", "0D", "64"}));
}

TEST_F(EnvelopeWindow, BaseButtonsRewriteTheBoxes)
{
    const std::pair<int16_t, QStringList> steps[] = {
        {Oct, {"13", "15", "34"}}, {Hex, {"0B", "0D", "1C"}}, {Dec, {"11", "13", "28"}},
        {Hex, {"0B", "0D", "1C"}}, {Oct, {"13", "15", "34"}}};
    E w(st, base);
    w.show();
    for (const auto& [stepBase, texts] : steps) {
        w.optBase[stepBase]->click();
        EXPECT_EQ(Texts(w), texts) << "base " << stepBase;
        EXPECT_EQ(base, stepBase);
    }
}

TEST_F(EnvelopeWindow, LeavingABoxReadsItsText)
{
    struct Case {
        int16_t base;
        QString text;
        int16_t code;   // of the end-of-data box (28 before)
        QString shown;  // the box's text afterwards
    };
    const Case cases[] = {
        {Hex, "1C", 28, "1C"}, {Hex, "1d", 29, "1D"}, {Oct, "34", 28, "34"},
        {Oct, "19", 17, "19"}, {Dec, "29", 29, "29"}, {Dec, "abc", 0, "abc"},
        {Dec, "  30abc", 30, "  30abc"}, {Dec, "12.5", 12, "12.5"}, {Dec, "", 0, ""},
        {Hex, "", 0, ""},
        // Refused: the code stays and shows again.
        {Dec, "256", 28, "28"}, {Dec, "70000", 28, "28"}, {Dec, "-3", 28, "28"},
        {Hex, "100", 28, "1C"}, {Hex, "zz", 28, "1C"}, {Oct, "400", 28, "34"},
        {Oct, "3a", 28, "34"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("'%1' in base %2").arg(c.text).arg(c.base).toStdString());
        base = c.base;
        E w(st, base);
        // Past the key filter, as anything set from outside would be.
        w.txtEndOfDataChar->setText(c.text);
        Leave(w.txtEndOfDataChar);
        EXPECT_EQ(w.Code(E::EndOfData), c.code);
        EXPECT_EQ(w.txtEndOfDataChar->text(), c.shown);
        EXPECT_EQ(w.Code(E::StartOfBlock), 11);
        EXPECT_EQ(w.Code(E::EndOfBlock), 13);
    }
}

TEST_F(EnvelopeWindow, OnlyDigitsOfTheBaseMakingACodeGoIn)
{
    const std::tuple<int16_t, QString, QString> cases[] = {
        {Dec, "1a2", "12"}, {Dec, "- 7", "7"}, {Dec, "300", "30"}, {Oct, "0819", "01"},
        {Oct, "377", "377"}, {Oct, "400", "40"}, {Hex, "1c", "1C"}, {Hex, "1g0", "10"},
        {Hex, "100", "10"}};
    for (const auto& [keysBase, keys, text] : cases) {
        base = keysBase;
        E w(st, base);
        w.txtStartOfBlockChar->clear();
        QTest::keyClicks(w.txtStartOfBlockChar, keys);
        EXPECT_EQ(w.txtStartOfBlockChar->text(), text) << keys.toStdString() << " in " << base;
    }
}

TEST_F(EnvelopeWindow, SaveStoresTheCodesAndSetsTheCharacters)
{
    E w(st, base);
    w.txtStartOfBlockChar->setText(QStringLiteral("200"));
    w.txtStartOfBlockChar_LostFocus();
    w.optBase[Hex]->click();
    w.txtEndOfBlockChar->setText(QStringLiteral("0A"));
    w.txtEndOfBlockChar_LostFocus();
    w.optBase[Oct]->click();
    w.txtEndOfDataChar->setText(QStringLiteral("35"));
    w.txtEndOfDataChar_LostFocus();
    w.cmdSave->click();

    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(Stored(QStringLiteral("StartOfBlockChar")), QStringLiteral("200"));
    EXPECT_EQ(Stored(QStringLiteral("EndOfBlockChar")), QStringLiteral("10"));
    EXPECT_EQ(Stored(QStringLiteral("EndOfDataChar")), QStringLiteral("29"));
    platform::SettingsStore reopened;
    ASSERT_TRUE(reopened.Open(SettingsPath()));
    EXPECT_EQ(reopened.Get(App, QStringLiteral("EndOfDataChar"), QStringLiteral("0")),
              QStringLiteral("29"));
    // The next file saved with envelope characters uses them.
    std::string written;
    AppendDiskRecord(written, "MSH|^~\\&", st.envelope, true);
    EXPECT_EQ(written, "\xc8MSH|^~\\&\x0a\x1d\x0a");
}

TEST_F(EnvelopeWindow, BoxStillBeingEditedIsReadByEnterAndByABaseChange)
{
    base = Hex;
    E w(st, base);
    w.show();
    w.txtEndOfDataChar->setFocus();
    ASSERT_EQ(w.focusWidget(), w.txtEndOfDataChar);
    w.txtEndOfDataChar->setText(QStringLiteral("1D"));
    w.optBase_Click(Dec);
    EXPECT_EQ(w.txtEndOfDataChar->text(), QStringLiteral("29"));

    w.txtEndOfDataChar->setText(QStringLiteral("30"));
    QTest::keyClick(w.txtEndOfDataChar, Qt::Key_Return);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(Stored(QStringLiteral("EndOfDataChar")), QStringLiteral("30"));
    EXPECT_EQ(st.envelope.EndOfDataChar, '\x1e');
}

TEST_F(EnvelopeWindow, DefaultsShowInTheCurrentBaseAndCancelStoresNothing)
{
    Store(QStringLiteral("EndOfDataChar"), QStringLiteral("29"));
    const std::function<void(E&)> ways[] = {[](E& w) { w.cmdCancel->click(); },
                                            [](E& w) { QTest::keyClick(&w, Qt::Key_Escape); },
                                            [](E& w) { w.close(); }};
    for (const auto& leave : ways) {
        base = Dec;
        E w(st, base);
        w.show();
        w.txtStartOfBlockChar->setText(QStringLiteral("5"));
        w.txtStartOfBlockChar_LostFocus();
        w.optBase[Oct]->click();
        EXPECT_EQ(Texts(w), QStringList({"05", "15", "35"}));
        w.cmdDefaults->click();
        EXPECT_EQ(Texts(w), QStringList({"13", "15", "34"}));
        EXPECT_EQ(w.Code(E::EndOfData), 28);
        leave(w);
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.result(), QDialog::Rejected);
        EXPECT_EQ(Stored(QStringLiteral("EndOfDataChar")), QStringLiteral("29"));
        EXPECT_EQ(Stored(QStringLiteral("StartOfBlockChar")), Absent);
        EXPECT_EQ(st.envelope.StartOfBlockChar, 11);
        EXPECT_EQ(st.envelope.EndOfDataChar, 28);
    }
}

// Opens the window from the Tools menu and lets `answer` work it while it runs modally.
void RunEnvelopeWindow(frmMain& main, const std::function<void(E&)>& answer)
{
    bool answered = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* w = qobject_cast<E*>(QApplication::activeModalWidget());
        if (!w)
            return;
        poll.stop();
        answered = true;
        answer(*w);
        if (w->isVisible()) {
            ADD_FAILURE() << "the envelope window stayed open";
            w->reject();
        }
    });
    poll.start();
    QTimer::singleShot(5000, &poll, [&] {
        poll.stop();
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            modal->reject();
    });
    main.mnuToolsHL7EnvelopeConfiguration->trigger();
    EXPECT_TRUE(answered) << "the envelope window did not open modally";
}

TEST(EnvelopeMenu, OpensModallyKeepsTheBaseAndSaves)
{
    test::MainWindowFixture f;
    RunEnvelopeWindow(*f.window, [](E& w) {
        EXPECT_TRUE(w.optBase[Dec]->isChecked());
        w.optBase[Hex]->click();
        w.cmdCancel->click();
    });
    EXPECT_EQ(f.state.envelope.EndOfDataChar, 28);

    RunEnvelopeWindow(*f.window, [](E& w) {
        EXPECT_TRUE(w.optBase[Hex]->isChecked());
        w.txtEndOfDataChar->setText(QStringLiteral("1E"));
        w.txtEndOfDataChar_LostFocus();
        w.cmdSave->click();
    });
    EXPECT_EQ(f.state.envelope.EndOfDataChar, '\x1e');
    EXPECT_EQ(Settings(f.state.settings).EndOfDataChar(), '\x1e');

    RunEnvelopeWindow(*f.window, [](E& w) {
        EXPECT_EQ(w.txtEndOfDataChar->text(), QStringLiteral("1E"));
        w.close();
    });
}

}  // namespace
}  // namespace quillon
