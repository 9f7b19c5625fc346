// The server configuration editor: loading, display bases, the key filters, Save, Save As,
// Open, the file choices and the unsaved-change question.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "tcpip/ServerConfig.h"
#include "tcpip/frmServerConfig.h"

namespace quillon {
namespace {

using W = frmServerConfig;
using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
constexpr int16_t Dec = W::Decimal, Oct = W::Octal, Hex = W::Hexadecimal;

class ServerConfigEditor : public ::testing::Test {
protected:
    QTemporaryDir dir;
    AppState st;
    platform::ScriptedResponder dlg;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString root = dir.path() + QStringLiteral("/");
        st.folders.DataRoot = root;
        st.folders.ServersFolder = root + QStringLiteral("Servers/");
        st.folders.DataFolder = root + QStringLiteral("Data/");
        for (const QString& folder : {st.folders.ServersFolder, st.folders.DataFolder})
            ASSERT_TRUE(QDir().mkpath(folder));
    }

    QString Server(const QString& name) const { return st.folders.ServersFolder + name; }
    QString WriteConfig(const QString& name, const std::string& line) const
    {
        test::WriteBytes(Server(name), line + "\r\n");
        return Server(name);
    }
    std::unique_ptr<W> Open(const QString& path)
    {
        auto w = std::make_unique<W>(st, dlg, path, nullptr);
        w->show();
        return w;
    }
    static QStringList Codes(const W& w)
    {
        return {w.txtStartOfBlockChar->text(), w.txtEndOfBlockChar->text(),
                w.txtEndOfDataChar->text()};
    }
    static void Leave(QLineEdit* box)
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }
    static void Type(QLineEdit* box, const QString& text)
    {
        box->setText(text);
        Leave(box);
    }
    // The questions asked so far with the unsaved-change title.
    int UnsavedQuestions() const
    {
        int n = 0;
        for (const auto& shown : dlg.shown()) {
            if (shown.title == QStringLiteral("Server Configuration Not Saved")) {
                EXPECT_EQ(shown.text, QStringLiteral("This server configuration was changed but "
                                                     "not saved.  Do you want to save it before "
                                                     "exiting?"));
                EXPECT_EQ(shown.buttons, MsgButtons::YesNo);
                EXPECT_EQ(shown.icon, MsgIcon::Exclamation);
                ++n;
            }
        }
        return n;
    }
};

TEST_F(ServerConfigEditor, LoadingFillsEveryField)
{
    struct Case {
        std::string line;
        QString port;
        int16_t base;
        QStringList codes;
        bool sendAck;
        int16_t ackType;
        QString ackText, ackBytes, logFile, ackFile;
    };
    const QString data = st.folders.DataFolder, root = st.folders.DataRoot;
    const Case cases[] = {
        // As the editor writes it.
        {"4100, 2, 2, 10, 29,0,MSA~AE,06 0d,2,\"/logs/in one.dat\",\"/acks/a,b.txt\"", "4100", Hex,
         {"02", "0A", "1D"}, false, 2, "MSA~AE", "06 0d", "/logs/in one.dat", "/acks/a,b.txt"},
        {"2575, 1, 11, 13, 100,1,MSA|AA,0b 06 1c 0d,1,\"\",\"\"", "2575", Oct,
         {"13", "15", "144"}, true, 1, "MSA|AA", "0b 06 1c 0d", "", ""},
        // As start-up writes a missing default.server.
        {DefaultServerConfigLine(data, root), "3000", Dec, {"11", "13", "28"}, true, 0, "MSA|AA",
         "0b 06 1c 0d", data + "LoggedMessages.dat", root + "AlternateAck.txt"},
        // Bases other than 1 and 2 show in decimal; the user ACK file may be missing.
        {"3001,x,11,13,28,1,A,B,0,/l.dat", "3001", Dec, {"11", "13", "28"}, true, 0, "A", "B",
         "/l.dat", ""},
        {"3002,7,11,13,28,1,A,B,0,/l.dat,/u.txt", "3002", Dec, {"11", "13", "28"}, true, 0, "A",
         "B", "/l.dat", "/u.txt"},
        // Values the boxes would not let in by keys still show.
        {"70000,0,300,-1,28,1,A,B,0,,", "70000", Dec, {"300", "-1", "28"}, true, 0, "A", "B", "",
         ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        st.ack.UserAckFile = QStringLiteral("before");
        auto w = Open(WriteConfig(QStringLiteral("site.server"), c.line));
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Configure TCP/IP Server - site.server"));
        EXPECT_EQ(w->txtImServer_ServerPort->text(), c.port);
        EXPECT_EQ(w->Port(), c.port.toInt());
        EXPECT_EQ(w->DisplayBase(), c.base);
        for (int b = Dec; b <= Hex; ++b)
            EXPECT_EQ(w->optBase[b]->isChecked(), b == c.base) << "base button " << b;
        EXPECT_EQ(Codes(*w), c.codes);
        EXPECT_EQ(w->chkSendACK->isChecked(), c.sendAck);
        for (int t = 0; t < 3; ++t)
            EXPECT_EQ(w->optACKtype[t]->isChecked(), t == c.ackType) << "ACK type " << t;
        EXPECT_EQ(w->cmdGetFilename->isEnabled(), c.ackType == 2);
        EXPECT_EQ(w->txtACK->text(), c.ackText);
        EXPECT_EQ(w->txtSimpleACK->text(), c.ackBytes);
        EXPECT_EQ(w->lblLogFileName->text(), c.logFile);
        EXPECT_EQ(w->lblACKfilename->text(), c.ackFile);
        EXPECT_FALSE(w->lblMyIPaddr->text().isEmpty());
        EXPECT_FALSE(w->ServerConfigChanged);
        // Cancelling keeps the file's paths in force, and asks nothing when nothing changed.
        w->cmdCancel->click();
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(st.server.ServerLogFile, c.logFile);
        EXPECT_EQ(st.ack.UserAckFile, c.ackFile);
    }
    EXPECT_TRUE(dlg.shown().empty());
    EXPECT_EQ(st.server.ServerConfigName, QStringLiteral("default.server"));
}

TEST_F(ServerConfigEditor, UnreadableFileIsReportedAndShowsTheDefaults)
{
    auto w = Open(Server(QStringLiteral("gone.server")));
    ASSERT_EQ(dlg.shown().size(), 1u);
    EXPECT_EQ(dlg.shown()[0].text, QStringLiteral("Unanticipated error 53 - File not found in "
                                                  "frmConfigureServer:LoadServerConfiguration. "
                                                  "Please contact Tech Support."));
    EXPECT_EQ(dlg.shown()[0].title, QStringLiteral("Error"));
    EXPECT_EQ(w->txtImServer_ServerPort->text(), QStringLiteral("3000"));
    EXPECT_EQ(Codes(*w), QStringList({"11", "13", "28"}));
    EXPECT_TRUE(w->optBase[Dec]->isChecked());
}

TEST_F(ServerConfigEditor, BaseButtonsRewriteTheCodes)
{
    const std::pair<int16_t, QStringList> steps[] = {
        {Oct, {"13", "15", "144"}}, {Dec, {"11", "13", "100"}}, {Hex, {"0B", "0D", "64"}},
        {Oct, {"13", "15", "144"}}, {Hex, {"0B", "0D", "64"}}, {Dec, {"11", "13", "100"}}};
    auto w = Open(WriteConfig(QStringLiteral("a.server"), "3000,0,11,13,100,1,A,B,0,,"));
    for (const auto& [base, texts] : steps) {
        w->ServerConfigChanged = false;
        w->optBase[base]->click();
        EXPECT_EQ(Codes(*w), texts) << "base " << base;
        EXPECT_EQ(w->DisplayBase(), base);
        EXPECT_TRUE(w->ServerConfigChanged);
        EXPECT_EQ(w->Code(W::EndOfData), 100);
    }
}

TEST_F(ServerConfigEditor, LeavingABoxTakesItsValue)
{
    struct Case {
        int16_t base;
        W::CodeBox box;
        QString text;
        int16_t code;
    };
    const Case cases[] = {
        {Hex, W::EndOfData, "1C", 28}, {Hex, W::EndOfData, "1F", 31},
        {Oct, W::StartOfBlock, "34", 28}, {Oct, W::EndOfBlock, "377", 255},
        {Dec, W::EndOfBlock, "29", 29}, {Hex, W::StartOfBlock, "", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        auto w = Open(WriteConfig(QStringLiteral("a.server"), "3000,0,12,14,30,1,A,B,0,,"));
        w->optBase[c.base]->click();
        QLineEdit* box = std::array{w->txtStartOfBlockChar, w->txtEndOfBlockChar,
                                    w->txtEndOfDataChar}[c.box];
        Type(box, c.text);
        EXPECT_EQ(w->Code(c.box), c.code);
        EXPECT_EQ(box->text(), c.text);  // not rewritten
    }
}

TEST_F(ServerConfigEditor, BoxesLetInOnlyWhatMakesAPortOrACode)
{
    struct Case {
        int16_t base;
        bool port;  // else the end-of-data box
        QString keys, text;
    };
    const Case cases[] = {
        {Dec, true, "30a0", "300"}, {Dec, true, "-5.5", "55"}, {Dec, true, " 12", "12"},
        {Dec, true, "65535", "65535"}, {Dec, true, "65536", "6553"}, {Dec, true, "70000", "7000"},
        {Dec, false, "1a2", "12"}, {Dec, false, "300", "30"}, {Oct, false, "0819", "01"},
        {Hex, false, "1c", "1C"}, {Hex, false, "1g0", "10"}, {Hex, false, "100", "10"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.toStdString());
        auto w = Open(WriteConfig(QStringLiteral("a.server"), "3000,0,11,13,28,1,A,B,0,,"));
        w->optBase[c.base]->click();
        QLineEdit* box = c.port ? w->txtImServer_ServerPort : w->txtEndOfDataChar;
        box->clear();
        QTest::keyClicks(box, c.keys);
        EXPECT_EQ(box->text(), c.text);
    }
}

TEST_F(ServerConfigEditor, EmptiedPortBoxGetsTheDefaultPortBack)
{
    auto w = Open(WriteConfig(QStringLiteral("a.server"), "4000,0,11,13,28,1,A,B,0,,"));
    EXPECT_EQ(w->Port(), 4000);
    Type(w->txtImServer_ServerPort, QStringLiteral("  "));
    EXPECT_EQ(w->txtImServer_ServerPort->text(), QStringLiteral("3000"));
    EXPECT_EQ(w->Port(), 3000);
    EXPECT_TRUE(w->ServerConfigChanged);
}

TEST_F(ServerConfigEditor, SaveWritesTheEditorLine)
{
    const std::string log = (st.folders.DataFolder + "in.dat").toStdString();
    const std::string acks = (st.folders.DataRoot + "ack.txt").toStdString();
    const std::string paths = ",\"" + log + "\",\"" + acks + "\"";
    struct Case {
        std::function<void(W&)> edit;
        std::string line;
    };
    const Case cases[] = {
        {[](W&) {}, "3000, 0, 11, 13, 28,1,MSA|AA,0b 06 1c 0d,0" + paths},
        {[](W& w) {
             Type(w.txtImServer_ServerPort, QStringLiteral("4100"));
             w.optBase[Hex]->click();
             Type(w.txtEndOfDataChar, QStringLiteral("1D"));
             w.chkSendACK->setChecked(false);
             w.optACKtype[1]->click();
             w.txtACK->setText(QStringLiteral("MSA|AE"));
             w.txtSimpleACK->setText(QStringLiteral("06 0d"));
         },
         "4100, 2, 11, 13, 29,0,MSA|AE,06 0d,1" + paths},
        {[](W& w) {
             w.optBase[Oct]->click();
             w.optACKtype[2]->click();
             w.txtACK->clear();
             w.cmdReset[0]->click();
         },
         "3000, 1, 11, 13, 28,1,MSA|AA,0b 06 1c 0d,2" + paths},
        // Save takes what the box still being edited holds.
        {[](W& w) {
             w.txtEndOfBlockChar->setFocus();
             ASSERT_EQ(w.focusWidget(), w.txtEndOfBlockChar);
             w.txtEndOfBlockChar->setText(QStringLiteral("10"));
         },
         "3000, 0, 11, 10, 28,1,MSA|AA,0b 06 1c 0d,0" + paths}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        dlg.Clear();
        const QString path = WriteConfig(
            QStringLiteral("default.server"),
            "3000,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0," + log + "," + acks);
        auto w = Open(path);
        c.edit(*w);
        dlg.QueueFiles({path});
        w->cmdSave->click();
        EXPECT_EQ(test::ReadBytes(path), c.line + "\r\n");
        EXPECT_EQ(w->SavedPath(), path);
        EXPECT_EQ(w->result(), QDialog::Accepted);
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(UnsavedQuestions(), 0);
        EXPECT_TRUE(dlg.allAnswersUsed());
        EXPECT_EQ(st.server.ServerConfigName, QStringLiteral("default.server"));
        EXPECT_EQ(st.server.ServerLogFile.toStdString(), log);
        EXPECT_EQ(st.ack.UserAckFile.toStdString(), acks);
    }
}

TEST_F(ServerConfigEditor, SaveAsWritesANewFileIntoTheServersFolder)
{
    const QString elsewhere = dir.path() + QStringLiteral("/Elsewhere/");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    test::WriteBytes(elsewhere + "old.server", "old\r\n");
    struct Case {
        QString chosen, written, name;
    };
    const Case cases[] = {
        {Server("lab.server"), Server("lab.server"), "lab.server"},
        {elsewhere + "ward", Server("ward.server"), "ward.server"},
        {elsewhere + "ward.cfg", Server("ward.cfg"), "ward.cfg"},
        // A file that exists is replaced where it is.
        {elsewhere + "old.server", elsewhere + "old.server", "old.server"}};
    const std::string line = "3005, 0, 11, 13, 28,1,MSA|AA,0b 06 1c 0d,0,\"\",\"\"";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        dlg.Clear();
        st.server.ServerConfigName = QStringLiteral("default.server");
        auto w = Open(WriteConfig(QStringLiteral("default.server"),
                                  "3000,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0,\"\",\"\""));
        Type(w->txtImServer_ServerPort, QStringLiteral("3005"));
        dlg.QueueFiles({c.chosen});
        w->mnuFileSaveAs->trigger();
        ASSERT_EQ(dlg.fileDialogs().size(), 1u);
        const platform::FileDialogRequest& request = dlg.fileDialogs()[0];
        EXPECT_TRUE(request.save);
        EXPECT_EQ(request.title, QStringLiteral("Save Server Configuration"));
        EXPECT_EQ(request.folder, Server("default.server"));
        EXPECT_EQ(request.patterns, QStringList({"Server Files (*.server)"}));

        EXPECT_EQ(test::ReadBytes(c.written), line + "\r\n");
        EXPECT_EQ(w->SavedPath(), c.written);
        EXPECT_EQ(st.server.ServerConfigName, c.name);
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Configure TCP/IP Server - ") + c.name);
        EXPECT_FALSE(w->ServerConfigChanged);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(test::ReadBytes(Server("default.server")),
                  "3000,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0,\"\",\"\"\r\n");
    }
    EXPECT_FALSE(QFileInfo::exists(elsewhere + "ward.server"));
}

TEST_F(ServerConfigEditor, ClosingAfterAChangeAsksWhetherToSave)
{
    const std::pair<const char*, std::function<void(W&)>> ways[] = {
        {"Cancel", [](W& w) { w.cmdCancel->click(); }},
        {"File > Exit", [](W& w) { w.mnuFileExit->trigger(); }},
        {"close box", [](W& w) { w.close(); }},
        {"Escape", [](W& w) { QTest::keyClick(&w, Qt::Key_Escape); }}};
    const std::string original = "3000,0,11,13,28,1,A,B,0,\"\",\"\"";
    for (const auto& [way, leave] : ways) {
        for (const bool yes : {true, false}) {
            SCOPED_TRACE(std::string(way) + (yes ? ", Yes" : ", No"));
            dlg.Clear();
            const QString path = WriteConfig(QStringLiteral("a.server"), original);
            auto w = Open(path);
            Type(w->txtImServer_ServerPort, QStringLiteral("3007"));
            dlg.QueueAnswer(yes ? MsgAnswer::Yes : MsgAnswer::No);
            if (yes)
                dlg.QueueFiles({path});
            leave(*w);
            EXPECT_EQ(UnsavedQuestions(), 1);
            EXPECT_TRUE(dlg.allAnswersUsed());
            EXPECT_FALSE(w->isVisible());
            EXPECT_EQ(test::ReadBytes(path),
                      (yes ? "3007, 0, 11, 13, 28,1,A,B,0,\"\",\"\"" : original) + "\r\n");
            EXPECT_EQ(w->SavedPath(), yes ? path : QString());
            EXPECT_EQ(w->result(), yes ? QDialog::Accepted : QDialog::Rejected);
        }
    }
}

TEST_F(ServerConfigEditor, CancelledSaveDialogLeavesTheChangeToAskAbout)
{
    const QString path = WriteConfig(QStringLiteral("a.server"), "3000,0,11,13,28,1,A,B,0,,");
    auto w = Open(path);
    w->optBase[Hex]->click();
    dlg.QueueFiles({});                  // Save's dialog: Cancel
    dlg.QueueAnswer(MsgAnswer::Yes);     // save before exiting?
    dlg.QueueFiles({});                  // Cancel again: the window closes unsaved
    w->cmdSave->click();
    EXPECT_EQ(UnsavedQuestions(), 1);
    EXPECT_EQ(dlg.fileDialogs().size(), 2u);
    EXPECT_TRUE(dlg.allAnswersUsed());
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->SavedPath().isEmpty());
    EXPECT_EQ(test::ReadBytes(path), "3000,0,11,13,28,1,A,B,0,,\r\n");
}

TEST_F(ServerConfigEditor, OpensOnTheLogFileTabWhenAskedOnce)
{
    const QString path = WriteConfig(QStringLiteral("a.server"), "3000,0,11,13,28,1,A,B,0,,");
    st.server.SelectLogFileRequest = true;
    auto w = Open(path);
    EXPECT_EQ(w->SSTab1->currentIndex(), W::LogFileTab);
    EXPECT_EQ(w->SSTab1->currentWidget(), w->lblLogFileName->parentWidget());
    EXPECT_FALSE(st.server.SelectLogFileRequest);
    auto again = Open(path);
    EXPECT_EQ(again->SSTab1->currentIndex(), W::PortTab);
}

TEST_F(ServerConfigEditor, FileChoicesSetThePathsWithoutCountingAsAChange)
{
    st.options.DefaultExtensions[0] = QStringLiteral("*.hl7");
    st.options.DefaultExtensions[2] = QStringLiteral("*.dat");
    st.options.DefaultExtension = QStringLiteral("*.dat");
    st.options.DiskUseEnvelope = true;
    auto w = Open(WriteConfig(QStringLiteral("a.server"), "3000,0,11,13,28,1,A,B,2,/in/old.dat,"));

    dlg.QueueFiles({QStringLiteral("/logs/new.dat")});
    w->cmdSelectLogFilename->click();
    dlg.QueueFiles({QStringLiteral("/acks/ack.txt")});
    w->cmdGetFilename->click();
    dlg.QueueFiles({});
    w->cmdGetFilename->click();  // Cancel keeps the file

    ASSERT_EQ(dlg.fileDialogs().size(), 3u);
    const auto& log = dlg.fileDialogs()[0];
    EXPECT_TRUE(log.save);
    EXPECT_EQ(log.title, QStringLiteral("Log Records to Disk (with envelope characters)"));
    EXPECT_EQ(log.folder, QStringLiteral("/in/"));
    EXPECT_EQ(log.patterns, QStringList({"*.hl7", "*.dat"}));
    EXPECT_EQ(log.selectedPattern, 1);
    const auto& ack = dlg.fileDialogs()[1];
    EXPECT_FALSE(ack.save);
    EXPECT_EQ(ack.title, QStringLiteral("Select Filename for ACK"));
    EXPECT_EQ(ack.folder, QStringLiteral("/logs/"));

    EXPECT_EQ(st.server.ServerLogFile, QStringLiteral("/logs/new.dat"));
    EXPECT_EQ(w->lblLogFileName->text(), QStringLiteral("/logs/new.dat"));
    EXPECT_EQ(st.ack.UserAckFile, QStringLiteral("/acks/ack.txt"));
    EXPECT_EQ(w->lblACKfilename->text(), QStringLiteral("/acks/ack.txt"));
    EXPECT_FALSE(w->ServerConfigChanged);
}

TEST_F(ServerConfigEditor, FileOpenLoadsAnotherFileUnderTheSameName)
{
    auto w = Open(WriteConfig(QStringLiteral("a.server"), "3000,0,11,13,28,1,A,B,0,,"));
    WriteConfig(QStringLiteral("b.server"), "3100, 2, 11, 13, 28,1,A,B,1,\"/b.dat\",\"\"");
    w->optBase[Oct]->click();
    dlg.QueueFiles({Server("b.server")});
    w->mnuFileOpen->trigger();
    ASSERT_EQ(dlg.fileDialogs().size(), 1u);
    EXPECT_EQ(dlg.fileDialogs()[0].title, QStringLiteral("Open Server File"));
    EXPECT_EQ(dlg.fileDialogs()[0].folder, st.folders.ServersFolder);
    EXPECT_EQ(w->txtImServer_ServerPort->text(), QStringLiteral("3100"));
    EXPECT_EQ(Codes(*w), QStringList({"0B", "0D", "1C"}));
    EXPECT_TRUE(w->optBase[Hex]->isChecked());
    EXPECT_FALSE(w->optBase[Oct]->isChecked());
    EXPECT_TRUE(w->optACKtype[1]->isChecked());
    EXPECT_EQ(st.server.ServerLogFile, QStringLiteral("/b.dat"));
    EXPECT_FALSE(w->ServerConfigChanged);
    EXPECT_EQ(st.server.ServerConfigName, QStringLiteral("default.server"));
}

}  // namespace
}  // namespace quillon
