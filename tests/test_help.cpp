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

// Sets environment variables while it lives, then puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            it->had ? qputenv(it->name, it->value) : qunsetenv(it->name);
    }
    void Set(const char* name, const QString& value)
    {
        Save(name);
        qputenv(name, value.toLocal8Bit());
    }
    void Unset(const char* name)
    {
        Save(name);
        qunsetenv(name);
    }

private:
    struct Saved {
        const char* name;
        bool had;
        QByteArray value;
    };
    void Save(const char* name)
    {
        saved_.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
    }
    std::vector<Saved> saved_;
};

// Help > Manual on this machine's desktop (xdg-utils), pointed at a scratch desktop whose only
// program records what it is given: with no program for PDF files the box says so; with one,
// that program gets the manual and no box shows, and an address goes to its scheme's program.
TEST(HelpOnTheSystemDesktop, ManualOpensWithTheDesktopsProgramOrSaysThereIsNone)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        GTEST_SKIP() << "xdg-utils is not installed";
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString record = scratch.filePath(QStringLiteral("opened.txt"));
    const QString program = scratch.filePath(QStringLiteral("viewer.sh"));
    WriteBytes(program, "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.toStdString() + "'\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(QDir().mkpath(scratch.filePath(QStringLiteral("data/applications"))));
    ASSERT_TRUE(QDir().mkpath(scratch.filePath(QStringLiteral("config"))));
    WriteBytes(scratch.filePath(QStringLiteral("data/applications/viewer.desktop")),
               "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + program.toStdString()
                   + " %u\n");

    ScopedEnvironment env;
    env.Set("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")));
    env.Set("XDG_CONFIG_DIRS", scratch.filePath(QStringLiteral("config-dirs")));
    env.Set("XDG_DATA_HOME", scratch.filePath(QStringLiteral("data")));
    env.Set("XDG_DATA_DIRS", scratch.filePath(QStringLiteral("data-dirs")));
    env.Set("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=/nonexistent/quillon-test-bus"));
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "BROWSER"})
        env.Unset(name);
    // xdg-open asks the desktop's associations only where there is a display.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        env.Set("DISPLAY", QStringLiteral(":0"));

    QTemporaryDir home;
    AppState state;
    InitDataFolders(state.folders, home.path(), QStringLiteral("quillon"));
    ASSERT_TRUE(InstallManual(state.folders.DocumentationFolder));
    platform::ScriptedResponder responder;
    platform::SystemDesktop desktop;
    frmMain window(state, responder, desktop);
    auto recorded = [&record] {
        const QDeadlineTimer limit(10000);
        while (!QFile::exists(record) && !limit.hasExpired())
            QTest::qWait(20);
        std::string got = QFile::exists(record) ? ReadBytes(record) : std::string("(nothing)");
        QFile::remove(record);
        return got;
    };

    ASSERT_TRUE(ChooseMenuItem(window.mnuHelpContents));
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].title, "Can't Find PDF Viewer");

    WriteBytes(scratch.filePath(QStringLiteral("config/mimeapps.list")),
               "[Default Applications]\napplication/pdf=viewer.desktop\n"
               "x-scheme-handler/mailto=viewer.desktop\n");
    responder.Clear();
    ASSERT_TRUE(ChooseMenuItem(window.mnuHelpContents));
    EXPECT_TRUE(responder.shown().empty());
    EXPECT_EQ(recorded(), (state.folders.DocumentationFolder + "Manual.pdf").toStdString());
    frmTechSupport support(desktop);
    QTest::mouseClick(support.lblEmail, Qt::LeftButton);
    EXPECT_EQ(recorded(), std::string("mailto:") + kSupportAddress);
}

TEST_F(HelpTest, StartUpInstallsTheBuiltManualWhenMissingAndKeepsTheUsersOwn)
{
    ASSERT_FALSE(QFile::exists(ManualPath()));
    w.Form_Load();
    const std::string built = ReadBytes(QStringLiteral(":/doc/Manual.pdf"));
    ASSERT_GT(built.size(), 1000u);
    EXPECT_EQ(ReadBytes(ManualPath()), built);
    EXPECT_TRUE(QFileInfo(ManualPath()).isWritable());

    WriteBytes(ManualPath(), "%PDF-1.4 the user's own manual");
    w.Form_Load();
    EXPECT_EQ(ReadBytes(ManualPath()), "%PDF-1.4 the user's own manual");
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
