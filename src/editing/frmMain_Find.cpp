// Find in the record list and in the field list, and Edit > Repeat Last Search: the main
// window's side of the find dialogs. The dialog fills the search request; the window runs the
// search and shows what it found, while the dialog stays open for the next "Find Next".
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QItemSelection>
#include <QScreen>

#include "app/Settings.h"
#include "app/WindowUtility.h"
#include "app/frmMain.h"
#include "editing/FindDialog.h"
#include "editing/FindRecords.h"
#include "records/Pages.h"
#include "editing/WindowText.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

// Places a dialog shown for the first time beside the main window: right of it when the screen
// has room there, else against the screen's right edge.
void PlaceBeside(QWidget* dialog, const QWidget* main)
{
    dialog->adjustSize();
    const QRect frame = main->frameGeometry();
    const QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 14, 1 << 14);
    QPoint at(frame.right() + 1, frame.top() + 60);
    if (at.x() + dialog->width() > room.right())
        at.setX(std::max(room.left(), room.right() - dialog->frameGeometry().width()));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - dialog->height())));
    dialog->move(at);
}

}  // namespace

int frmMain::SelectedRow(const ListBox* list)
{
    const ListItem current = list->currentItem();
    if (current && current->isSelected())
        return current.Row();
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

FindDialog* frmMain::ShowFindDialog(QPointer<FindDialog>& dialog, bool records)
{
    const bool first = !dialog;
    if (first)
        dialog = new FindDialog(records ? FindDialog::Kind::RecordList : FindDialog::Kind::FieldList,
                                st, dlg);
    dialog->setWindowTitle(records ? QStringLiteral("Find in Record List")
                                   : QStringLiteral("Find in Field List"));
    if (first)
        PlaceBeside(dialog, this);
    if (dialog->isVisible())
        dialog->raise();
    dialog->show();
    dialog->activateWindow();
    dialog->ShowHistoryBoxFor(st.search.FindTarget);
    return dialog;
}

bool frmMain::WaitForSearchDialog(QDialog* dialog)
{
    // Every search, replace and assign dialog has a Done signal.
    QPointer<QDialog> watched(dialog);
    if (!st.search.SearchDialogDone && watched && !exiting_) {
        QEventLoop loop;
        connect(dialog, SIGNAL(Done()), &loop, SLOT(quit()));
        connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return watched && !exiting_ && st.search.SearchDialogDone;
}

void frmMain::mnuRecordListFind_Click()
{
    st.search.FindFieldName.clear();
    st.search.ReplaceFieldName.clear();
    if (IsFormLoaded(frmFilterRecords) > 0)
        return;
    if (st.records.RecordCount == 0) {
        dlg.MsgBox(Text(NothingLoadedToSearchMessage), MsgButtons::OKOnly, MsgIcon::None,
                   kSettingsApp);
        return;
    }
    if (waitingForRecordFind_) {
        // The command is already waiting for this dialog: bring it forward.
        ShowFindDialog(frmFindInRecordList, true);
        return;
    }
    st.search.SearchDialogDone = false;
    st.search.FindTarget = std::string(FindTargetRecords);
    FindDialog* dialog = ShowFindDialog(frmFindInRecordList, true);
    dialog->cboSegmentFind->setFocus();
    waitingForRecordFind_ = true;
    std::string remembered;  // the text of the last search of this command that found a record
    while (WaitForSearchDialog(frmFindInRecordList)) {
        if (st.search.FindText.empty()) {
            frmFindInRecordList->hide();
            activateWindow();
            break;
        }
        mnuEditRepeatLastSearch->setEnabled(true);
        {
            const WaitCursor wait;
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            bool found = false;
            if (st.search.FindText != remembered) {
                int32_t start = -1;
                RecordListFind(start, found);
                remembered = found ? st.search.FindText : std::string();
            } else {
                int32_t start = SelectedRow(lstRecords);
                RecordListFind(start, found);
            }
        }
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        st.search.SearchDialogDone = false;
        if (frmFindInRecordList)
            frmFindInRecordList->cboFindRecords->setFocus();
    }
    waitingForRecordFind_ = false;
}

void frmMain::RecordListFind(int32_t& start, bool& found)
{
    found = FindInRecordList(st.search, start, false);
}

bool frmMain::FindInRecordList(const SearchRequest& request, int32_t start, bool repeat)
{
    LastSearchListName = QStringLiteral("lstRecords");
    LastRecordSearch = request;
    LastRecordSearch.SearchDialogDone = false;
    const std::optional<RecordRange> range =
        RecordListFindRange(request, start, SelectedRow(lstRecords), CurrentPage,
                            st.records.RecordCount);
    if (!range) {
        dlg.MsgBox(Text(UnexpectedDirectionMessage), MsgButtons::OKOnly, MsgIcon::None,
                   kSettingsApp);
        return false;
    }
    // Window events go on during a long search; what the user does meanwhile waits for its end.
    const RecordMatch match =
        FindRecord(st.records, request, st.delimiters, st.envelope.EndOfBlockChar, *range,
                   [] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    if (!match.found) {
        if (repeat) {
            dlg.MsgBox(TypedMessage(NoMoreRecordOccurrencesMessage(request.FindText)),
                       MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        } else {
            st.session.MsgBoxCaption = Text(RecordListFindCaption);
            st.session.MsgBoxText = TypedMessage(NoFurtherOccurrencesMessage(request.FindText));
            dlg.MsgBoxWindow(st.session.MsgBoxText, st.session.MsgBoxCaption);
        }
        return false;
    }
    const int32_t i = match.record;
    LastFoundRecord = i;
    const int32_t page = PageOfRecord(i);
    if (page != CurrentPage) {
        CurrentPage = page;
        DisplayPage(CurrentPage);
    }
    lblFile->setText(Text(FoundRecordLabel(i, st.records.RecordCount)));
    {
        const QSignalBlocker block(lstRecords);
        lstRecords->setCurrentRow(RowOfRecord(i), QItemSelectionModel::ClearAndSelect);
    }
    // Making the row current shows its record in the segment and field lists.
    lstRecords_Click();
    lstRecords->scrollToItem(lstRecords->item(RowOfRecord(i)));
    lstRecords->setFocus();
    SelectFoundFieldLines(request);
    return true;
}

void frmMain::SelectFoundFieldLines(const SearchRequest& request)
{
    const FieldLineMatcher matcher(request, mnuOptionsDisplayFieldDescriptions->isChecked(),
                                   ShownRecordEncoding());
    const ListModel& lines = lstFields->Model();
    QItemSelection selection;
    int first = -1;
    const int n = lines.Count();
    for (int j = 0; j < n; ++j) {
        if (!matcher.Found(RowBytes(lstFields, j)))
            continue;
        if (first < 0)
            first = j;
        const QModelIndex at = lines.index(j);
        selection.merge(QItemSelection(at, at), QItemSelectionModel::Select);
    }
    if (first < 0)
        return;
    {
        const QSignalBlocker block(lstFields);
        lstFields->selectionModel()->select(selection, QItemSelectionModel::Select);
    }
    lstFields->scrollTo(lines.index(first), QAbstractItemView::PositionAtTop);
}

void frmMain::mnuFieldListFind_Click()
{
    st.search.FindFieldName.clear();
    st.search.ReplaceFieldName.clear();
    if (lstFields->count() == 0) {
        dlg.MsgBox(Text(NothingLoadedToSearchMessage), MsgButtons::OKOnly, MsgIcon::None,
                   kSettingsApp);
        return;
    }
    if (waitingForFieldFind_) {
        ShowFindDialog(frmFindInFieldList, false);
        return;
    }
    st.search.SearchDialogDone = false;
    st.search.FindTarget = std::string(FindTargetFields);
    FindDialog* dialog = ShowFindDialog(frmFindInFieldList, false);
    dialog->cboFindFields->setFocus();
    waitingForFieldFind_ = true;
    while (WaitForSearchDialog(frmFindInFieldList)) {
        if (st.search.FindText.empty()) {
            frmFindInFieldList->hide();
            activateWindow();
            break;
        }
        mnuEditRepeatLastSearch->setEnabled(true);
        int start = SelectedRow(lstFields);
        bool found = false;
        RecordDetailFind(start, found);
        st.search.SearchDialogDone = false;
        if (frmFindInFieldList)
            frmFindInFieldList->cboFindFields->setFocus();
    }
    waitingForFieldFind_ = false;
}

void frmMain::RecordDetailFind(int& start, bool& found)
{
    found = FindInFieldList(st.search, start, false);
}

bool frmMain::FindInFieldList(const SearchRequest& request, int start, bool repeat)
{
    LastSearchListName = QStringLiteral("lstFields");
    LastFieldSearch = request;
    LastFieldSearch.SearchDialogDone = false;
    std::string line;
    const int64_t j = FindFieldListLine(
        lstFields->count(),
        [&](int64_t row) {
            line = RowBytes(lstFields, static_cast<int>(row));
            return std::string_view(line);
        },
        start, request, mnuOptionsDisplayFieldDescriptions->isChecked(), ShownRecordEncoding());
    if (j < 0) {
        if (repeat) {
            dlg.MsgBox(TypedMessage(NoMoreOccurrencesMessage(request.FindText)),
                       MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        } else {
            st.session.MsgBoxCaption = Text(FieldListFindCaption);
            st.session.MsgBoxText = TypedMessage(NoMoreOccurrencesMessage(request.FindText));
            dlg.MsgBoxWindow(st.session.MsgBoxText, st.session.MsgBoxCaption);
        }
        return false;
    }
    {
        const QSignalBlocker block(lstFields);
        lstFields->setCurrentRow(static_cast<int>(j), QItemSelectionModel::ClearAndSelect);
    }
    lstFields->scrollToItem(lstFields->item(static_cast<int>(j)));
    lstFields_Click();
    return true;
}

void frmMain::mnuEditRepeatLastSearch_Click()
{
    // The last find runs again with its own text, field and options, on from the selection.
    if (LastSearchListName == QLatin1String("lstRecords") && !LastRecordSearch.FindText.empty()) {
        if (st.records.RecordCount == 0) {
            dlg.MsgBox(Text(NothingLoadedToSearchMessage), MsgButtons::OKOnly, MsgIcon::None,
                       kSettingsApp);
            return;
        }
        const WaitCursor wait;
        const SearchRequest request = LastRecordSearch;
        FindInRecordList(request, SelectedRow(lstRecords), true);
    } else if (LastSearchListName == QLatin1String("lstFields")
               && !LastFieldSearch.FindText.empty()) {
        if (lstFields->count() == 0) {
            dlg.MsgBox(Text(NoRecordShownToSearchMessage), MsgButtons::OKOnly, MsgIcon::None,
                       kSettingsApp);
            return;
        }
        const SearchRequest request = LastFieldSearch;
        if (FindInFieldList(request, SelectedRow(lstFields), true))
            lstFields->setFocus();
    }
}

}  // namespace quillon
