// Edit > Undo and the undo points the editing commands make.
#include <algorithm>

#include <QApplication>
#include <QFileInfo>

#include "app/frmMain.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

const QLatin1String kChangeDelimiters("Change Delimiters");

// Start-up stores the id; until then the process's own serves, never an empty one that
// every instance would share.
QString InstanceIdOf(const AppState& st)
{
    return st.session.InstanceId.isEmpty() ? UndoInstanceId() : st.session.InstanceId;
}

// Undo is offered exactly while this instance has a saved copy left.
void ShowUndoAvailability(frmMain& w)
{
    const bool any = AnyUndoFile(w.st.folders.TempFolder, InstanceIdOf(w.st));
    w.tbarButtons[6]->setEnabled(any);
    w.mnuEditUndo->setEnabled(any);
}

}  // namespace

void frmMain::UndoSave(const QString& operationName)
{
    if (!st.undo.UndoEnabled)
        return;
    Delimiters delimiters = st.delimiters;
    // The change-delimiters command leaves the delimiters it replaces here.
    const auto& held = st.editing.UndoDelimiters;
    if (operationName == kChangeDelimiters
        && std::all_of(held.begin() + 1, held.end(),
                       [](const std::string& d) { return !d.empty(); }))
        delimiters = DelimitersFrom({held[1], held[2], held[3], held[4], held[5]});

    QString error;
    if (!st.undo.Save(st.records, delimiters, operationName, st.folders.TempFolder,
                      InstanceIdOf(st), &error)) {
        dlg.MsgBox(QStringLiteral("The undo point could not be saved: ") + error,
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Undo"));
        return;
    }
    tbarButtons[6]->setEnabled(true);
    tbarButtons[6]->setToolTip(QStringLiteral("Undo ") + operationName);
    mnuEditUndo->setEnabled(true);
}

bool frmMain::RestoreUndoLevel()
{
    if (!st.undo.UndoEnabled)
        return false;
    lblTCPIPcount->setText(QStringLiteral("Count:"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const UndoRing::RestoreResult result =
        st.undo.Restore(st.records, st.delimiters, st.folders.TempFolder, InstanceIdOf(st), &error);
    QApplication::restoreOverrideCursor();
    if (result == UndoRing::RestoreResult::Failed)
        dlg.MsgBox(QStringLiteral("The undo point could not be read: ") + error, MsgButtons::OKOnly,
                   MsgIcon::Exclamation, QStringLiteral("Undo"));
    if (result != UndoRing::RestoreResult::Restored)
        return false;

    CurrentPage = 1;
    DisplayPage(CurrentPage);
    if (lstRecords->count() > 0) {
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        }
        lstRecords_Click();
    }
    tbarButtons[6]->setToolTip(QStringLiteral("Undo ")
                               + st.undo.UndoDescriptions[static_cast<size_t>(st.undo.UndoLevel)]);
    ShowUndoAvailability(*this);
    return true;
}

void frmMain::mnuEditUndo_Click()
{
    if (!st.undo.UndoEnabled)
        return;
    if (st.view.ViewFieldCount() > 0) {
        // With a view active the press only switches the view off.
        mnuViewsDisable_Click();
    } else {
        stsPanels[5]->clear();
        const QString slotFile =
            UndoFileName(st.folders.TempFolder, InstanceIdOf(st), st.undo.UndoLevel);
        if (QFileInfo::exists(slotFile)) {
            RestoreUndoLevel();  // a copy that cannot be read is reported there
        } else {
            dlg.MsgBox(QStringLiteral("You have undone as far back as possible."),
                       MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("Unable to Undo"));
            tbarButtons[6]->setToolTip(QStringLiteral("Undo last change"));
            mnuEditUndo->setText(QStringLiteral("Undo"));
        }
    }
    ShowUndoAvailability(*this);
}

}  // namespace quillon
