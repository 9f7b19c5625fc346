// Saved views and report definitions: the name rule, their files, and the Views and Reports
// menus of the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QTreeWidget>
#include <unistd.h>

#include "BackgroundSupport.h"
#include "TestSupport.h"
#include "records/FieldLines.h"
#include "reports/ReportDefinitions.h"
#include "reports/frmReport.h"
#include "reports/frmViewsDelete.h"

namespace quillon::test {
namespace {

using Check = DefinitionNameCheck;

TEST(DefinitionName, RuleAndMessages)
{
    const struct {
        QString typed;
        Check check;
        QString name;  // as trimmed
    } cases[] = {
        {"  Daily ADT ", Check::Ok, "Daily ADT"},
        {"a.b", Check::Ok, "a.b"},
        {"   ", Check::Empty, ""},
        {"", Check::Empty, ""},
        {"a,b", Check::IllegalCharacter, "a,b"},
        {"a;b", Check::IllegalCharacter, "a;b"},
        {"50%", Check::IllegalCharacter, "50%"},
        {"say \"hi\"", Check::IllegalCharacter, "say \"hi\""},
        {"../up", Check::IllegalCharacter, "../up"},
        {"a\\b", Check::IllegalCharacter, "a\\b"},
        {"c:x", Check::IllegalCharacter, "c:x"},
        {"*?<>|", Check::IllegalCharacter, "*?<>|"},
        {"tab\there", Check::IllegalCharacter, "tab\there"},
        {"..", Check::NotAFileName, ".."},
        {".hidden", Check::NotAFileName, ".hidden"},
    };
    for (const auto& c : cases) {
        QString name = c.typed;
        EXPECT_EQ(CheckDefinitionName(name), c.check) << c.typed.toStdString();
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(DefinitionPath("/f", c.typed, ".view").isEmpty(), c.check != Check::Ok);
    }
    EXPECT_EQ(DefinitionNameMessage(Check::IllegalCharacter),
              "The filename contains an illegal character.  Please use a different name.");
    EXPECT_FALSE(DefinitionNameMessage(Check::NotAFileName).isEmpty());
    EXPECT_EQ(DefinitionNameTitle(), "Bad Filename");
}

TEST(DefinitionFiles, SaveReadListDeleteAndAFailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    ASSERT_TRUE(SaveReportDefinition(folder, " Daily ", {"PID-3", "PID-5-1", "PID-3"}));
    ASSERT_TRUE(SaveView(folder, "Mine", {"MSH-9"}));
    EXPECT_EQ(ReadBytes(folder + "/Daily.report"), "PID-3\r\nPID-5-1\r\nPID-3\r\n");
    EXPECT_EQ(ListReportDefinitions(folder), QStringList{"Daily"});
    EXPECT_EQ(ListViews(folder), QStringList{"Mine"});

    // Read the way delimited input reads unquoted items.
    WriteBytes(folder + "/Odd.view", "  PID-3\r\n\"OBX-5\"\r\nPV1-2, rest\r\n\r\nMSH-9");
    EXPECT_EQ(*ReadDefinitionFile(folder + "/Odd.view"),
              (std::vector<std::string>{"PID-3", "OBX-5", "PV1-2", "", "MSH-9"}));
    bool missing = false;
    EXPECT_FALSE(ReadDefinitionFile(folder + "/Gone.view", &missing));
    EXPECT_TRUE(missing);

    // Names the rule refuses are neither written nor listed.
    WriteBytes(folder + "/a,b.view", "PID-3\r\n");
    QString error;
    EXPECT_FALSE(SaveView(folder, "..", {"PID-3"}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(SaveView(folder, "", {"PID-3"}));
    EXPECT_EQ(ListViews(folder), (QStringList{"Mine", "Odd"}));

    // Saves that fail say so, and the old definition stands: in a folder that cannot be written
    // (root writes anyway), and under a name that leaves no room for the file written beside
    // it first.
    const QString longName(255 - 7, QLatin1Char('x'));
    ASSERT_TRUE(SaveReportDefinition(folder, longName, {"PID-3"}));
    const QFileDevice::Permissions rw =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    for (const QString& name : {QString("Daily"), longName}) {
        const std::string before = ReadBytes(folder + "/" + name + ".report");
        const bool readOnly = name == "Daily";
        if (readOnly && geteuid() == 0)
            continue;
        if (readOnly)
            QFile::setPermissions(folder, rw & ~QFileDevice::WriteOwner);
        error.clear();
        EXPECT_FALSE(SaveReportDefinition(folder, name, {"OBX-5"}, &error));
        QFile::setPermissions(folder, rw);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(ReadBytes(folder + "/" + name + ".report"), before);
    }
    EXPECT_TRUE(DeleteDefinitionFile(folder, longName, kReportSuffix));

    EXPECT_TRUE(DeleteDefinitionFile(folder, "Daily", kReportSuffix));
    EXPECT_FALSE(DeleteDefinitionFile(folder, "Daily", kReportSuffix));
    EXPECT_TRUE(ListReportDefinitions(folder).isEmpty());
}

class ViewsWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override
    {
        ASSERT_TRUE(w.LoadHL7File(
            f.WriteFile("two.hl7", "MSH|^~\\&|A|B|||20260101||ADT^A01|1|P|2.3\r"
                                   "PID|1||ID1~ID2||DOE^JOHN\r")));
        ASSERT_GT(w.lstFields->count(), 0);
    }
    int FieldRow(std::string_view designation) const
    {
        for (int i = 0; i < w.lstFields->count(); ++i)
            if (LineDesignation(w.lstFields->item(i)->text().toStdString()) == designation)
                return i;
        return -1;
    }
    QStringList Designations() const
    {
        QStringList out;
        for (int i = 0; i < w.lstFields->count(); ++i)
            out << QString::fromStdString(
                std::string(LineDesignation(w.lstFields->item(i)->text().toStdString())));
        return out;
    }
    // Answers the modal window that `command` opens with `step`, or closes it.
    static void WithModal(const std::function<void(QWidget*)>& step,
                          const std::function<void()>& command)
    {
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (QWidget* m = QApplication::activeModalWidget()) {
                step(m);
                if (m->isVisible())
                    m->close();
            }
        });
        timer.start();
        command();
    }
};

TEST_F(ViewsWindow, CreateApplyDisableAndDeleteAView)
{
    const QStringList all = Designations();
    w.lstFields->item(FieldRow("PID-3(2)"))->setSelected(true);
    w.lstFields->item(FieldRow("PID-5-1"))->setSelected(true);
    f.responder.QueueInput(QString("bad,name"));  // refused, asked again with it as default
    f.responder.QueueInput(QString(" Mine "));
    w.mnuFieldListCreateView->trigger();

    const auto& shown = f.responder.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].title, "View Name");
    EXPECT_EQ(shown[1].title, "Bad Filename");
    EXPECT_EQ(shown[1].icon, platform::MsgIcon::Critical);
    EXPECT_EQ(shown[2].defaultText, "bad,name");
    EXPECT_EQ(ReadBytes(st.folders.ViewsFolder + "Mine.view"), "PID-3\r\nPID-5-1\r\n");
    EXPECT_EQ(w.stsPanels[5]->text(), "View: Mine");
    EXPECT_TRUE(w.mnuViewsView[0]->isVisible());
    EXPECT_EQ(w.mnuViewsView[0]->text(), "Mine");
    EXPECT_FALSE(w.mnuViewsView[1]->isVisible());
    EXPECT_TRUE(w.mnuViewsDelete->isVisible());
    const QStringList narrowed = Designations();
    EXPECT_TRUE(narrowed.contains("PID-3(2)") && narrowed.contains("PID-5-1"));
    EXPECT_FALSE(narrowed.contains("PID-5") || narrowed.contains("MSH-9"));

    w.mnuViewsDisable->trigger();
    EXPECT_EQ(Designations(), all);
    EXPECT_TRUE(w.stsPanels[5]->text().isEmpty());

    w.mnuViewsView[0]->trigger();
    EXPECT_EQ(Designations(), narrowed);
    EXPECT_EQ(st.view.ViewFields, (std::vector<std::string>{"PID-3", "PID-5-1"}));
    EXPECT_TRUE(w.lstRecords->item(0)->isSelected());
    st.undo.UndoEnabled = true;
    w.mnuEditUndo_Click();  // with a view active, Undo only switches it off
    EXPECT_EQ(Designations(), all);
    w.mnuViewsView[0]->trigger();

    // Its file removed from outside: a message, no view left active, the menu emptied.
    QFile::rename(st.folders.ViewsFolder + "Mine.view", st.folders.ViewsFolder + "Kept.view");
    w.mnuViewsView[0]->trigger();
    EXPECT_EQ(f.responder.shown().back().title, "Can't Find View");
    EXPECT_TRUE(st.view.ViewFields.empty());
    EXPECT_EQ(Designations(), all);
    EXPECT_EQ(w.mnuViewsView[0]->text(), "Kept");

    WithModal(
        [](QWidget* m) {
            auto* d = qobject_cast<frmViewsDelete*>(m);
            ASSERT_TRUE(d);
            EXPECT_EQ(d->windowTitle(), "Delete View");
            ASSERT_EQ(d->lstViews->count(), 1);
            d->lstViews->item(0)->setSelected(true);
            d->cmdDelete->click();  // the last one: the dialog closes
            EXPECT_FALSE(d->isVisible());
        },
        [&] { w.mnuViewsDelete->trigger(); });
    EXPECT_TRUE(ListViews(st.folders.ViewsFolder).isEmpty());
    EXPECT_FALSE(w.mnuViewsView[0]->isVisible());
    EXPECT_FALSE(w.mnuViewsDelete->isVisible());
}

TEST_F(ViewsWindow, ReportsMenuRunsASavedDefinition)
{
    f.responder.QueueInput(QString("Daily"));
    ASSERT_TRUE(w.SaveReportAs({"PID-5", "MSH-9"}));
    EXPECT_EQ(ReadBytes(st.folders.ReportsFolder + "Daily.report"), "PID-5\r\nMSH-9\r\n");
    EXPECT_TRUE(w.mnuReportsReport[0]->isVisible());
    EXPECT_EQ(w.mnuReportsReport[0]->text(), "Daily");
    EXPECT_TRUE(w.mnuReportsDash1->isVisible() && w.mnuReportsDash2->isVisible());

    w.stsPanels[5]->setText("View: Mine");
    QStringList headers;
    std::vector<QStringList> rows;
    // Chooses the saved report from the menu; the report window that opens is read and closed
    // (the progress window that may show first is left to run).
    const auto runReport = [&] {
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* report = qobject_cast<frmReport*>(QApplication::activeModalWidget());
            if (!report)
                return;
            const QTreeWidget* list = report->lvReportList;
            for (int c = 0; c < list->columnCount(); ++c)
                headers << list->headerItem()->text(c);
            for (int r = 0; r < list->topLevelItemCount(); ++r) {
                QStringList row;
                for (int c = 0; c < list->columnCount(); ++c)
                    row << list->topLevelItem(r)->text(c);
                rows.push_back(row);
            }
            report->close();
        });
        timer.start();
        EXPECT_TRUE(ChooseMenuItem(w.mnuReportsReport[0]));
    };
    runReport();
    EXPECT_EQ(headers, (QStringList{"PID-5", "MSH-9"}));
    EXPECT_EQ(rows, (std::vector<QStringList>{{"DOE^JOHN", "ADT^A01"}}));
    EXPECT_EQ(w.ReportFields, (std::vector<std::string>{"PID-5", "MSH-9"}));
    EXPECT_EQ(w.stsPanels[5]->text(), "Report: Daily");
    EXPECT_TRUE(w.lstRecords->item(0)->isSelected());

    // Its file removed from outside: a message and no report, and the menu no longer offers it.
    ASSERT_TRUE(QFile::remove(st.folders.ReportsFolder + "Daily.report"));
    f.responder.Clear();
    headers.clear();
    runReport();
    EXPECT_TRUE(headers.isEmpty());
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown()[0].title, "Can't Find Report");
    EXPECT_EQ(f.responder.shown()[0].text, "The view definition file for 'Daily' does not appear to "
                                           "exist anymore in:\r\n" + st.folders.ReportsFolder + "\r\n");
    EXPECT_EQ(f.responder.shown()[0].icon, platform::MsgIcon::Critical);
    EXPECT_FALSE(w.mnuReportsReport[0]->isVisible());
    EXPECT_FALSE(w.mnuReportsDelete->isVisible());
}

// Any column of the report, the first among them, can be dragged to any place; the definition
// saved afterwards lists the columns as they are shown.
TEST_F(ViewsWindow, SavedReportDefinitionKeepsTheDraggedColumnOrder)
{
    const struct {
        int from, to;
        std::vector<std::string> shown;
    } drags[] = {
        {2, 0, {"PID-3", "PID-5", "MSH-9"}},  // in front of the first column
        {1, 2, {"PID-3", "MSH-9", "PID-5"}},  // the first column moved away
    };
    f.responder.QueueInput(QString("Dragged"));
    bool shown = false;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* r = qobject_cast<frmReport*>(QApplication::activeModalWidget());
        if (!r)
            return;  // the progress window before it
        timer.stop();
        shown = true;
        for (const auto& d : drags) {
            DragHeaderSection(r->lvReportList->header(), d.from, d.to);
            EXPECT_EQ(r->DisplayedDesignations(), d.shown);
        }
        r->mnuFileSaveDefinition->trigger();
        r->close();
    });
    timer.start();
    w.ShowReport({"PID-5", "MSH-9", "PID-3"}, QString());
    EXPECT_TRUE(shown);
    EXPECT_EQ(ReadBytes(st.folders.ReportsFolder + "Dragged.report"), "PID-3\r\nMSH-9\r\nPID-5\r\n");
}

}  // namespace
}  // namespace quillon::test
