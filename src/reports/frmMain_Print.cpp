// Printing of the record, segment and field lists.
#include <QApplication>
#include <algorithm>

#include "app/Settings.h"
#include "app/frmMain.h"
#include "editing/WindowText.h"
#include "platform/Printer.h"
#include "records/FieldLines.h"
#include "records/Pages.h"
#include "reports/ListPrint.h"

namespace quillon {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

// The selected rows of a list, in list order.
std::vector<int> SelectedRows(const ListBox* list)
{
    std::vector<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<int> AllRows(const ListBox* list)
{
    std::vector<int> rows(static_cast<size_t>(list->count()));
    for (size_t r = 0; r < rows.size(); ++r)
        rows[r] = static_cast<int>(r);
    return rows;
}

}  // namespace

void frmMain::mnuRecordListPrint_Click() { PrintListRecords(); }
void frmMain::mnuSegmentListPrint_Click() { PrintLstSegments(); }
void frmMain::mnuFieldListPrint_Click() { PrintLstFields(); }

std::optional<platform::PrintChoice> frmMain::AskListPrint(ListBox* list, bool preselect,
                                                         const QString& none,
                                                         const QString& noneTitle)
{
    platform::PrintDialogRequest request;
    request.preselectSelection = preselect;
    std::optional<platform::PrintChoice> choice = dlg.PrintDialog(request);
    if (!choice)
        return std::nullopt;
    QApplication::processEvents();
    if (choice->selection && list->selectionModel()->selectedRows().isEmpty()) {
        dlg.MsgBox(none, MsgButtons::OKOnly, MsgIcon::None, noneTitle);
        return std::nullopt;
    }
    return choice;
}

void frmMain::PrintListRecords()
{
    if (lstRecords->count() == 0) {
        dlg.MsgBox(QStringLiteral("There are no records to print."), MsgButtons::OKOnly,
                   MsgIcon::None, kSettingsApp);
        return;
    }
    const std::optional<platform::PrintChoice> choice =
        AskListPrint(lstRecords, true, QStringLiteral("No records were selected for printing."),
                     QStringLiteral("No Records to Print"));
    if (!choice)
        return;
    const std::optional<MainListLayout> layout =
        MainListPageLayout(MainList::Records, choice->orientation);
    if (!layout) {
        dlg.MsgBox(QStringLiteral("Unexpected value of Orientation in PrintListRecords. "
                                  "Please contact Tech Support."),
                   MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }
    const bool printAll = !choice->selection;
    const std::vector<int> rows = printAll ? std::vector<int>() : SelectedRows(lstRecords);
    const int64_t count = printAll ? st.records.RecordCount : static_cast<int64_t>(rows.size());
    if (count > 10) {
        const QString text = QStringLiteral("You are about to print %1 records.").arg(count)
                             + QChar(13) + QStringLiteral("Is it OK to print that many?");
        if (dlg.MsgBoxDefault(text, MsgButtons::YesNo, MsgIcon::Question,
                              QStringLiteral("Print Warning"), MsgAnswer::No)
            != MsgAnswer::Yes)
            return;
    }

    const int32_t page = CurrentPage;
    const int current = lstRecords->currentRow();
    const char endOfBlock = st.envelope.EndOfBlockChar;
    const char endOfData = st.envelope.EndOfDataChar;
    PrintedPages pages;
    {
        MainListPrinter printer(MainList::Records, *layout, windowTitle().toLatin1().toStdString(),
                                FooterDate(), FooterTime());
        if (printAll) {
            for (int32_t k = 1; k <= st.records.RecordCount; ++k) {
                const std::string_view record = st.records.Record(k);
                printer.AddRecord(k, record, endOfBlock, endOfData,
                                  RecordEncoding(record, endOfBlock));
            }
        } else {
            for (int row : rows) {
                const std::string record = RecordRowBytes(row);
                printer.AddRecord(RecordAt(page, row), record, endOfBlock, endOfData,
                                  RecordEncoding(record, endOfBlock));
            }
        }
        pages = printer.Finish();
    }
    platform::PrintOrSay(pages, *choice, dlg);

    if (printAll) {
        int32_t shown = page;
        DisplayPage(shown);
        if (current >= 0 && current < lstRecords->count()) {
            {
                const QSignalBlocker block(lstRecords);
                lstRecords->setCurrentRow(current, QItemSelectionModel::ClearAndSelect);
            }
            lstRecords_Click();
        }
    } else {
        const QSignalBlocker block(lstRecords);
        for (int row : rows)
            if (row < lstRecords->count())
                lstRecords->item(row)->setSelected(true);
    }
}

void frmMain::PrintLstSegments()
{
    if (lstSegments->count() == 0) {
        dlg.MsgBox(QStringLiteral("There is no segment to print."), MsgButtons::OKOnly,
                   MsgIcon::None, kSettingsApp);
        return;
    }
    const std::optional<platform::PrintChoice> choice = AskListPrint(
        lstSegments, lstSegments->selectionModel()->selectedRows().size() >= 2,
        QStringLiteral("No segments were selected for printing."),
        QStringLiteral("No Segment to Print"));
    if (!choice)
        return;
    const WaitCursor wait;
    const std::optional<MainListLayout> layout =
        MainListPageLayout(MainList::Segments, choice->orientation);
    if (!layout) {
        dlg.MsgBox(QStringLiteral("Unexpected value of Orientation in PrintlstSegments. "
                                  "Please contact Tech Support."),
                   MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }
    const int current = lstSegments->currentRow();
    const std::vector<int> rows =
        choice->selection ? SelectedRows(lstSegments) : AllRows(lstSegments);

    // The bytes of every row as the list keeps them, in the shown record's encoding.
    const TextEncoding encoding = ShownRecordEncoding();
    MainListPrinter printer(MainList::Segments, *layout, windowTitle().toLatin1().toStdString(),
                            FooterDate(), FooterTime());
    for (int row : rows)
        printer.AddSegment(RowBytes(lstSegments, row), encoding);
    platform::PrintOrSay(printer.Finish(), *choice, dlg);
    if (current >= 0 && current < lstSegments->count())
        lstSegments->setCurrentRow(current, QItemSelectionModel::NoUpdate);
}

void frmMain::PrintLstFields()
{
    if (lstFields->count() == 0) {
        dlg.MsgBox(QStringLiteral("There is no record to print."), MsgButtons::OKOnly,
                   MsgIcon::None, kSettingsApp);
        return;
    }
    const std::optional<platform::PrintChoice> choice = AskListPrint(
        lstFields, lstFields->selectionModel()->selectedRows().size() >= 2,
        QStringLiteral("No fields were selected for printing."),
        QStringLiteral("No Fields to Print"));
    if (!choice)
        return;
    const WaitCursor wait;
    const std::optional<MainListLayout> layout =
        MainListPageLayout(MainList::Fields, choice->orientation);
    if (!layout) {
        dlg.MsgBox(QStringLiteral("Unexpected value of Orientation in PrintLstFields. "
                                  "Please contact Tech Support."),
                   MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }
    const int current = lstFields->currentRow();
    const std::vector<int> rows = choice->selection ? SelectedRows(lstFields) : AllRows(lstFields);
    const bool descriptions = mnuOptionsDisplayFieldDescriptions->isChecked();
    MainListPrinter printer(MainList::Fields, *layout, windowTitle().toLatin1().toStdString(), FooterDate(),
                            FooterTime());
    // A line as the list shows it: its head is the program's own text, its value the record's.
    const TextEncoding encoding = ShownRecordEncoding();
    for (int row : rows)
        printer.AddField(EncodeText(lstFields->item(row)->text(), encoding), descriptions, encoding);
    platform::PrintOrSay(printer.Finish(), *choice, dlg);
    if (current >= 0 && current < lstFields->count())
        lstFields->setCurrentRow(current, QItemSelectionModel::NoUpdate);
}

}  // namespace quillon
