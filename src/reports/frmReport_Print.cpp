// Printing the report.
#include <QHeaderView>
#include <QTreeWidget>

#include "app/Settings.h"
#include "editing/WindowText.h"
#include "platform/Dialogs.h"
#include "platform/Printer.h"
#include "platform/SettingsStore.h"
#include "reports/ReportPrint.h"
#include "reports/frmReport.h"

namespace quillon {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

}  // namespace

void frmReport::mnuFilePrint_Click()
{
    if (!dialogs)
        return;
    const QString every = settings ? settings->Get(kSettingsApp, QStringLiteral("ExportReports"),
                                                   QStringLiteral("PrintColumnHeaderEveryPage"),
                                                   QStringLiteral("1"))
                                   : QStringLiteral("1");
    const bool headerEveryPage = LeadingNumber(every) != 0;
    const int rowCount = lvReportList->topLevelItemCount();
    if (rowCount == 0) {
        dialogs->MsgBox(QStringLiteral("There is nothing in the report to print."),
                        MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }
    platform::PrintDialogRequest request;
    request.selectionAllowed = true;
    request.preselectSelection = false;
    const std::optional<platform::PrintChoice> choice = dialogs->PrintDialog(request);
    if (!choice)
        return;
    const std::optional<ReportPageLayout> layout =
        ReportLayout(choice->orientation, reportFontSize);
    if (!layout) {
        dialogs->MsgBox(QStringLiteral("Unexpected value of Orientation in PrintListRecords. "
                                       "Please contact Tech Support."),
                        MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }

    ReportPrintJob job;
    job.printAll = !choice->selection;
    size_t printedRows = static_cast<size_t>(rowCount);
    if (!job.printAll) {
        job.selected.resize(printedRows);
        printedRows = 0;
        for (int r = 0; r < rowCount; ++r) {
            const bool chosen = lvReportList->topLevelItem(r)->isSelected();
            job.selected[static_cast<size_t>(r)] = chosen;
            printedRows += chosen ? 1 : 0;
        }
    }
    const int estimate = ReportPageEstimate(printedRows, layout->linesPerPage);
    if (estimate > ReportWarnPages &&
        dialogs->MsgBoxDefault(QString::fromStdString(ReportPageWarning(estimate)),
                               MsgButtons::YesNo, MsgIcon::Question,
                               QStringLiteral("Print Warning"), MsgAnswer::No) != MsgAnswer::Yes)
        return;

    const WaitCursor wait;
    const QHeaderView* header = lvReportList->header();
    const int columns = lvReportList->columnCount();
    std::vector<int> order(static_cast<size_t>(columns));
    for (int p = 0; p < columns; ++p)
        order[static_cast<size_t>(p)] = header->logicalIndex(p);
    const QTreeWidgetItem* captions = lvReportList->headerItem();
    for (const int c : order)
        job.captions.push_back(Bytes(captions->text(c)));
    job.rows.reserve(printedRows);
    job.utf8.assign(static_cast<size_t>(rowCount), false);
    for (int r = 0; r < rowCount; ++r) {
        std::vector<std::string> cells;
        if (job.printAll || job.selected[static_cast<size_t>(r)]) {
            // A row of a UTF-8 record prints the text it shows, in UTF-8.
            const QTreeWidgetItem* item = lvReportList->topLevelItem(r);
            const bool utf8 = item->data(0, Utf8RowRole).toBool();
            job.utf8[static_cast<size_t>(r)] = utf8;
            cells.reserve(order.size());
            for (const int c : order)
                cells.push_back(utf8 ? EncodeText(item->text(c), TextEncoding::Utf8)
                                     : Bytes(item->text(c)));
        }
        job.rows.push_back(std::move(cells));
    }
    job.fontName = reportFontName.toStdString();  // the printer reads font names as UTF-8
    job.headerEveryPage = headerEveryPage;
    job.title = ReportPrintTitle(Bytes(mainCaption));
    job.date = FooterDate();
    job.time = FooterTime();
    platform::PrintOrSay(PaginateReport(job, *layout), *choice, *dialogs);
}

}  // namespace quillon
