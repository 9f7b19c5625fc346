// The Help menu: the manual (opened, and installed at start-up), Technical Support and About.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

#include "BackgroundSupport.h"
#include "TestSupport.h"
#include "app/DataFolders.h"
#include "files/Manual.h"
#include "files/frmAbout.h"
#include "files/frmAdministration.h"
#include "files/frmTechSupport.h"

namespace quillon::test {
namespace {

using platform::MsgButtons;
using platform::MsgIcon;

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(f.state.settings.Open(f.home.filePath(QStringLiteral("Quillon.settings"))));
    }
    QString ManualPath() const { return f.state.folders.DocumentationFolder + "Manual.pdf"; }
    frmAbout MakeAbout() { return frmAbout(f.state, f.responder, f.desktop, {}, nullptr); }
    MainWindowFixture f;
    frmMain& w = *f.window;
};

TEST_F(HelpTest, ManualOpensThroughTheDesktopAndSaysSoWhenNoViewerCanOpenIt)
{
    for (bool opens : {true, false}) {
        SCOPED_TRACE(opens);
        f.desktop.opened.clear();
        f.desktop.openSucceeds = opens;
        f.responder.Clear();
        w.mnuHelpContents->trigger();
        ASSERT_EQ(f.desktop.opened.size(), 1u);
        EXPECT_EQ(f.desktop.opened[0], (QStringList{"Open", ManualPath()}));
        if (opens) {
            EXPECT_TRUE(f.responder.shown().empty());
            continue;
        }
        ASSERT_EQ(f.responder.shown().size(), 1u);
        const auto& box = f.responder.shown()[0];
        EXPECT_EQ(box.text, "Could not find a PDF viewer.\r\n\r\nPlease verify that Adobe Acrobat "
                            "Reader is installed and that the .pdf extension is associated with "
                            "the Reader.");
        EXPECT_EQ(box.title, "Can't Find PDF Viewer");
        EXPECT_EQ(box.icon, MsgIcon::Critical);
        EXPECT_EQ(box.buttons, MsgButtons::OKOnly);
    }
}

// Help > Manual on a scratch desktop whose only program records what it is given: with no
// program for PDF files the box says so; with one, that program gets the manual and no box
// shows, and an address goes to its scheme's program.
TEST(HelpOnTheSystemDesktop, ManualOpensWithTheDesktopsProgramOrSaysThereIsNone)
{
    ScratchDesktop scratch;
    QTemporaryDir home;
    AppState state;
    InitDataFolders(state.folders, home.path(), QStringLiteral("quillon"));
    ASSERT_TRUE(InstallManual(state.folders.DocumentationFolder));
    platform::ScriptedResponder responder;
    platform::SystemDesktop desktop;
    frmMain window(state, responder, desktop);

    ASSERT_TRUE(ChooseMenuItem(window.mnuHelpContents));
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].title, "Can't Find PDF Viewer");

    scratch.AddDefault(QStringLiteral("viewer.desktop"), false,
                       {QStringLiteral("application/pdf"), QStringLiteral("x-scheme-handler/mailto")});
    responder.Clear();
    ASSERT_TRUE(ChooseMenuItem(window.mnuHelpContents));
    EXPECT_TRUE(responder.shown().empty());
    EXPECT_EQ(scratch.Recorded(), (state.folders.DocumentationFolder + "Manual.pdf").toStdString());
    frmTechSupport support(desktop);
    QTest::mouseClick(support.lblEmail, Qt::LeftButton);
    EXPECT_EQ(scratch.Recorded(), std::string("mailto:") + kSupportAddress);
}

TEST_F(HelpTest, StartUpInstallsTheShippedManualWhenMissingOrDifferent)
{
    const std::string shipped = ReadBytes(QStringLiteral(":/doc/Manual.pdf"));
    ASSERT_GT(shipped.size(), 1000u);
    const std::vector<std::pair<const char*, std::optional<std::string>>> cases = {
        {"missing", std::nullopt},
        {"an earlier manual", "%PDF-1.4 the manual of an earlier version"},
        {"same size, other bytes", std::string(shipped.size(), 'x')},
        {"empty", ""},
        {"the same manual", shipped},
    };
    for (const auto& [name, installed] : cases) {
        SCOPED_TRACE(name);
        QFile::remove(ManualPath());
        if (installed)
            WriteBytes(ManualPath(), *installed);
        const QDateTime before = QFileInfo(ManualPath()).lastModified();
        w.Form_Load();
        EXPECT_TRUE(ReadBytes(ManualPath()) == shipped) << "not the shipped manual";
        EXPECT_TRUE(QFileInfo(ManualPath()).isWritable());
        if (installed == shipped) {
            EXPECT_EQ(QFileInfo(ManualPath()).lastModified(), before);  // left as it was
        }
    }
    // A folder that cannot be written is reported, not fatal.
    EXPECT_FALSE(InstallManual(f.home.filePath("no/such/folder/")));
}

TEST_F(HelpTest, TheBuiltManualIsAPdfWhoseTextIsTheManual)
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    ASSERT_TRUE(InstallManual(f.state.folders.DocumentationFolder));
    EXPECT_EQ(ReadBytes(ManualPath()).substr(0, 5), "%PDF-");
    QProcess p;
    p.start(pdftotext, {ManualPath(), "-"});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0);
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* wanted : {"Quillon User Manual", "Opening files", "Sending and receiving over TCP/IP",
                               "Options", "Administration"})
        EXPECT_TRUE(text.contains(QLatin1String(wanted))) << wanted;
}

TEST_F(HelpTest, VersionCaptionTakesMajorMinorAndRevision)
{
    const struct {
        const char *version, *caption;
    } cases[] = {
        {"1.9.0.3", "for HL7 v1.9.3"}, {"0.1.0", "for HL7 v0.1.0"}, {"2.5", "for HL7 v2.5.0"},
        {"3", "for HL7 v3.0.0"},       {"1.02.7", "for HL7 v1.2.7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionCaption(QLatin1String(c.version)), QLatin1String(c.caption)) << c.version;
}

TEST_F(HelpTest, AboutShowsNameAndTheBuiltVersion)
{
    frmAbout about = MakeAbout();
    EXPECT_EQ(about.windowTitle(), "About Quillon");
    EXPECT_EQ(about.lblTitle->text(), "Quillon");
    EXPECT_EQ(ProgramVersion(), QUILLON_VERSION);
    EXPECT_EQ(about.lblVersion->text(), "for HL7 v" QUILLON_VERSION);
    EXPECT_EQ(about.cmdSysInfo->text(), "&System Info...");
    EXPECT_TRUE(about.txtNotice->isReadOnly());
    EXPECT_FALSE(about.txtNotice->toPlainText().isEmpty());
}

TEST_F(HelpTest, SystemInfoIsUnavailable)
{
    frmAbout about = MakeAbout();
    QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown()[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(f.responder.shown()[0].title, "");
    EXPECT_EQ(f.responder.shown()[0].buttons, MsgButtons::OKOnly);
    EXPECT_TRUE(f.desktop.started.empty());
}

TEST_F(HelpTest, ContactLabelsOpenMailAndTheWebSiteThroughTheDesktop)
{
    frmAbout about = MakeAbout();
    frmTechSupport support(f.desktop);
    EXPECT_EQ(support.windowTitle(), "Technical Support");
    EXPECT_EQ(support.lblTechSupport->text(), "Technical support is available via e-mail at: ");
    const struct {
        QLabel* label;
        QString opens;
    } cases[] = {
        {about.lblSales, QStringLiteral("mailto:") + kSalesAddress},
        {about.lblSupport, QStringLiteral("mailto:") + kSupportAddress},
        {about.lblWeb, QLatin1String(kWebAddress)},
        {support.lblEmail, QStringLiteral("mailto:") + kSupportAddress},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opens.toStdString());
        f.desktop.opened.clear();
        EXPECT_EQ(c.label->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(c.label, Qt::LeftButton);
        ASSERT_EQ(f.desktop.opened.size(), 1u);
        EXPECT_EQ(f.desktop.opened[0], (QStringList{"Open", c.opens}));
    }
}

TEST_F(HelpTest, NoticePassesTheFocusOnToAButton)
{
    frmAbout about = MakeAbout();
    about.show();
    about.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    about.txtNotice->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), about.cmdOK);
}

TEST_F(HelpTest, MenuCommandsShowTheirWindowsModally)
{
    const struct {
        QAction* action;
        const char* caption;
    } cases[] = {{w.mnuHelpAbout, "About Quillon"}, {w.mnuHelpTechSupport, "Technical Support"}};
    for (const auto& c : cases) {
        QString seen;
        OnNextModal<QDialog>([&seen](QDialog* d) {
            seen = d->windowTitle();
            d->accept();
        });
        c.action->trigger();
        EXPECT_EQ(seen, c.caption);
    }
}

TEST_F(HelpTest, DoubleClickOnThePictureOpensAdministrationWhoseSwitchesTakeEffect)
{
    ASSERT_TRUE(w.mnuFilePrint->isEnabled());
    bool adminSeen = false;
    OnNextModal<frmAbout>([&](frmAbout* about) {
        OnNextModal<frmAdministration>([&](frmAdministration* admin) {
            adminSeen = true;
            admin->txtPassword->setText(frmAdministration::kPassword);
            admin->chkDisable[AdminPrint]->setChecked(true);
            admin->cmdCommand[0]->click();
        });
        QTest::mouseDClick(about->Image1, Qt::LeftButton);
        about->accept();
    });
    w.mnuHelpAbout->trigger();
    EXPECT_TRUE(adminSeen);
    EXPECT_TRUE(f.state.session.AdminSwitches[AdminPrint]);
    EXPECT_FALSE(w.mnuFilePrint->isEnabled());

    // Cancel leaves the switches as they were.
    frmAbout about = MakeAbout();
    OnNextModal<frmAdministration>([](frmAdministration* admin) {
        admin->chkDisable[AdminPrint]->setChecked(false);
        admin->reject();
    });
    QTest::mouseDClick(about.Image1, Qt::LeftButton);
    EXPECT_TRUE(f.state.session.AdminSwitches[AdminPrint]);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace quillon::test
