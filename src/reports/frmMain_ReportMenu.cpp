// The Reports menu: saved report definitions run again, deleted, and saved from the report
// window.
#include <QDir>

#include "app/WindowUtility.h"
#include "app/frmMain.h"
#include "reports/ReportDefinitions.h"
#include "reports/frmReportsDelete.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

void frmMain::FillReportsMenu()
{
    const QStringList names = ListReportDefinitions(st.folders.ReportsFolder);
    const size_t n = std::min(names.size(), static_cast<qsizetype>(mnuReportsReport.size()));
    for (size_t i = 0; i < mnuReportsReport.size(); ++i) {
        if (i < n)
            SetItemName(mnuReportsReport[i], names[static_cast<qsizetype>(i)]);
        mnuReportsReport[i]->setVisible(i < n);
    }
    mnuReportsDash1->setVisible(n > 0);
    mnuReportsDash2->setVisible(n > 0);
    mnuReportsDelete->setVisible(n > 0);
    mnuReportsDelete->setEnabled(n > 0);
}

void frmMain::mnuReportsReport_Click(int index)
{
    const QString name = NameOfItem(mnuReportsReport[static_cast<size_t>(index)]);
    bool missing = false;
    QString error;
    const auto fields =
        ReadDefinitionFile(DefinitionPath(st.folders.ReportsFolder, name, kReportSuffix),
                           &missing, &error);
    if (!fields) {
        if (missing) {
            dlg.MsgBox(QStringLiteral("The view definition file for '%1' does not appear to "
                                      "exist anymore in:\r\n%2\r\n")
                           .arg(name, st.folders.ReportsFolder),
                       MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Can't Find Report"));
            FillReportsMenu();
        } else {
            dlg.MsgBox(QStringLiteral("Error: %1").arg(error), MsgButtons::OKOnly,
                       MsgIcon::None, QStringLiteral("Unanticipated Error"));
        }
        return;
    }
    ReportFields = *fields;
    stsPanels[5]->setText(QStringLiteral("Report: ") + name);
    ShowReport(ReportFields, name);
    RedisplayForView();
}

void frmMain::mnuReports_Click()
{
    mnuReportsDelete->setEnabled(mnuReportsReport[0]->isVisible());
    mnuReportsCreate->setEnabled(!lstFields->selectedItems().empty());
    const bool records = lstRecords->count() > 0;
    for (QAction* item : mnuReportsReport)
        item->setEnabled(records);
}

void frmMain::mnuReportsDelete_Click()
{
    frmReportsDelete dialog(st.folders.ReportsFolder, [this] { FillReportsMenu(); }, this);
    dialog.exec();
    FillReportsMenu();
}

bool frmMain::SaveReportAs(const std::vector<std::string>& designations)
{
    const QString name = AskDefinitionName(QStringLiteral("Enter report name:"),
                                           QStringLiteral("Report Name"), LastReportName);
    if (name.isEmpty())
        return false;
    QString error;
    if (!SaveReportDefinition(st.folders.ReportsFolder, name, designations, &error)) {
        dlg.MsgBox(QStringLiteral("The report definition '%1' could not be saved in:\r\n%2\r\n%3")
                       .arg(name, st.folders.ReportsFolder, error),
                   MsgButtons::OKOnly, MsgIcon::Critical,
                   QStringLiteral("Report Definition Not Saved"));
        return false;
    }
    FillReportsMenu();
    return true;
}

}  // namespace quillon
