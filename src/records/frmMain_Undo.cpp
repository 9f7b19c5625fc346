// Edit > Undo and the undo points the editing commands make.
#include <algorithm>

#include <QApplication>
#include <QFileInfo>

#include "app/frmMain.h"
#include "editing/WindowText.h"
#include "platform/Background.h"
#include "platform/Heap.h"

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

// Lets window events other than the user's run while the window waits for its own work.
void KeepWindowAlive() { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

// Undo is offered exactly while this instance has a saved copy left.
void ShowUndoAvailability(frmMain& w)
{
    const bool any = w.UndoAvailable();
    w.tbarButtons[6]->setEnabled(any);
    w.mnuEditUndo->setEnabled(any);
}

}  // namespace

bool frmMain::UndoAvailable() const
{
    for (int slot = 0; slot < UndoRing::Slots; ++slot)
        if (backgroundWrites_.Pending(slot))
            return true;
    return AnyUndoFile(st.folders.TempFolder, InstanceIdOf(st));
}

void frmMain::AwaitWrites()
{
    if (backgroundWrites_.Pending() > 0) {
        const WaitCursor wait;
        backgroundWrites_.WaitUntilAtMost(0, KeepWindowAlive);
    }
    ReportEndedWrites();
}

void frmMain::AwaitWrites(int tag)
{
    if (backgroundWrites_.Pending(tag)) {
        const WaitCursor wait;
        backgroundWrites_.WaitFor(tag, KeepWindowAlive);
    }
    ReportEndedWrites();
}

void frmMain::CollectEndedWrites()
{
    for (BackgroundWrites::Outcome& ended : backgroundWrites_.TakeEnded()) {
        if (ended.tag < UndoRing::Slots)
            pendingUndoImages_[static_cast<size_t>(ended.tag)].reset();
        if (!ended.ok && !ended.stopped)
            endedWrites_.push_back(std::move(ended));
    }
}

int frmMain::ImagesInFlight()
{
    CollectEndedWrites();
    imagesInFlight_.erase(std::remove_if(imagesInFlight_.begin(), imagesInFlight_.end(),
                                         [](const auto& image) { return image.expired(); }),
                          imagesInFlight_.end());
    return static_cast<int>(imagesInFlight_.size());
}

void frmMain::ReportEndedWrites()
{
    CollectEndedWrites();
    if (reportingWrites_)
        return;
    reportingWrites_ = true;
    while (!endedWrites_.empty()) {
        const BackgroundWrites::Outcome failed = endedWrites_.front();
        endedWrites_.erase(endedWrites_.begin());
        if (failed.tag < UndoRing::Slots) {
            st.undo.Forget(failed.tag, st.folders.TempFolder, InstanceIdOf(st));
            tbarButtons[6]->setToolTip(
                QStringLiteral("Undo ")
                + st.undo.UndoDescriptions[static_cast<size_t>(st.undo.UndoLevel)]);
            ShowUndoAvailability(*this);
            dlg.MsgBox(QStringLiteral("The undo point could not be saved: ") + failed.error,
                       MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Undo"));
        } else if (failed.tag == SortedFileWrite) {
            dlg.MsgBox(QStringLiteral("The sorted records could not be written to '%1': %2")
                           .arg(failed.path, failed.error),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Can't Save to Disk"));
        }
    }
    reportingWrites_ = false;
}

void frmMain::ReadyUndoCopy()
{
    if (!st.undo.UndoEnabled)
        return;
    size_t bytes = 16 + 8 * st.records.Records.size();
    for (const std::string& record : st.records.Records)
        bytes += record.size();
    if (bytes < WriteBesideFrom)
        return;
    backgroundWrites_.Add(ReadyUndoMemory, [bytes](const std::atomic<bool>&) {
        platform::ReadyLargeBlock(bytes);
        return BackgroundWrites::Outcome{};
    });
}

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

    ReportEndedWrites();
    // A second point over records that did not change since the last one shares its copy.
    std::shared_ptr<const UndoImage> copy = lastUndoImage_.lock();
    if (!copy || !ImageHolds(*copy, st.records.Records)) {
        copy.reset();
        // At most one other copy still on its way: memory stays bounded.
        if (ImagesInFlight() > 1) {
            const WaitCursor wait;
            backgroundWrites_.WaitUntil([this] { return ImagesInFlight() <= 1; }, KeepWindowAlive);
        }
        copy = MakeUndoImage(st.records.Records);
    }
    QString error;
    if (!st.undo.SaveBeside(st.records, delimiters, operationName, st.folders.TempFolder,
                            InstanceIdOf(st), copy, backgroundWrites_, WriteBesideFrom, &error)) {
        dlg.MsgBox(QStringLiteral("The undo point could not be saved: ") + error,
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Undo"));
        return;
    }
    if (backgroundWrites_.Pending(st.undo.UndoLevel)) {
        pendingUndoImages_[static_cast<size_t>(st.undo.UndoLevel)] = copy;
        if (lastUndoImage_.lock() != copy)
            imagesInFlight_.push_back(copy);
        lastUndoImage_ = copy;
    } else {
        lastUndoImage_.reset();
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
    const int slot = st.undo.UndoLevel;
    std::shared_ptr<const UndoImage> held = pendingUndoImages_[static_cast<size_t>(slot)];
    if (held) {
        // The copy is here: its write is not waited for, only stopped (it ends at its next
        // block).
        backgroundWrites_.Stop([slot](int tag) { return tag == slot; });
        AwaitWrites(slot);
        // A write that failed meanwhile has been reported and the ring stepped back.
        if (st.undo.UndoLevel != slot)
            return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    // A large copy is read beside the window.
    std::vector<std::string> replaced;
    UndoRestoreHelp help;
    help.held = held.get();
    help.run = [](const std::function<void()>& work) { platform::RunBeside(work, KeepWindowAlive); };
    help.replaced = &replaced;
    help.discard = [this](const QString& file) {
        backgroundWrites_.Add(DiscardAfterUndo, [file](const std::atomic<bool>&) {
            QFile::remove(file);
            return BackgroundWrites::Outcome{};
        });
    };
    const UndoRing::RestoreResult result = st.undo.Restore(
        st.records, st.delimiters, st.folders.TempFolder, InstanceIdOf(st), &error, help);
    if (replaced.size() > 100000) {
        // Freeing a million records takes a while: it is done beside, after the command.
        auto old = std::make_shared<std::vector<std::string>>(std::move(replaced));
        backgroundWrites_.Add(DiscardAfterUndo, [old](const std::atomic<bool>&) {
            std::vector<std::string>().swap(*old);
            return BackgroundWrites::Outcome{};
        });
    }
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
    const ArrivalsHold arrivals(*this);
    if (!st.undo.UndoEnabled)
        return;
    if (st.view.ViewFieldCount() > 0) {
        // With a view active the press only switches the view off.
        mnuViewsDisable_Click();
    } else {
        stsPanels[5]->clear();
        const QString slotFile =
            UndoFileName(st.folders.TempFolder, InstanceIdOf(st), st.undo.UndoLevel);
        if (pendingUndoImages_[static_cast<size_t>(st.undo.UndoLevel)]
            || QFileInfo::exists(slotFile)) {
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
