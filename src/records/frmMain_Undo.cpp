// Edit > Undo and the undo points the editing commands make.
#include <algorithm>
#include <optional>

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
    // Files an undo renamed out of the ring's way are gone too.
    backgroundFrees_.WaitUntilAtMost(0, KeepWindowAlive);
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

void frmMain::DiscardBeside(std::vector<RecordText>&& records, bool forNextLoad)
{
    const auto discard = [forNextLoad](std::vector<RecordText>& texts) {
        std::optional<RecordArena::KeepForNextLoad> keep;
        if (forNextLoad)
            keep.emplace();
        std::vector<RecordText>().swap(texts);
    };
    if (records.size() <= 100000) {
        discard(records);
        return;
    }
    // Freeing a million records takes a while: it is done beside, after the command.
    auto old = std::make_shared<std::vector<RecordText>>(std::move(records));
    backgroundFrees_.Add(0, [old, discard](const std::atomic<bool>&) {
        discard(*old);
        return BackgroundWrites::Outcome{};
    });
}

void frmMain::TrimUndoSnapshots()
{
    // The current level's copy stays, so that its undo is at once; older ones are read back
    // from their files once those are written.
    for (int slot = 0; slot < UndoRing::Slots; ++slot)
        if (slot != st.undo.UndoLevel && !backgroundWrites_.Pending(slot))
            undoSnapshots_[static_cast<size_t>(slot)].reset();
}

namespace {

// Every slot holds the very same text (not merely equal bytes).
bool SameTexts(const std::vector<RecordText>& a, const std::vector<RecordText>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!a[i].SharesBytesWith(b[i]))
            return false;
    return true;
}

// Which texts stand in slots 1 to `count`, in their order: equal exactly when the slots hold the
// very same texts (a text's identity is not reused while it lives).
uint64_t DigestOfTexts(const std::vector<RecordText>& texts, int32_t count)
{
    uint64_t digest = 14695981039346656037ULL;
    for (int32_t i = 1; i <= count; ++i)
        digest = (digest ^ texts[static_cast<size_t>(i)].Identity()) * 1099511628211ULL;
    return digest;
}

bool Holds(const std::vector<int>& tags, int tag)
{
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

// A write of the pending change: one of its undo points or its sorted file.
bool OfChange(const frmMain::PendingChange& change, int tag)
{
    return Holds(change.points, tag)
           || (tag == frmMain::SortedFileWrite && !change.sortedFile.isEmpty());
}

}  // namespace

void frmMain::CollectEndedWrites()
{
    backgroundFrees_.TakeEnded();
    for (BackgroundWrites::Outcome& ended : backgroundWrites_.TakeEnded())
        if (!ended.ok && !ended.stopped)
            endedWrites_.push_back(std::move(ended));
    TrimUndoSnapshots();
    // A change whose files are all written cannot be taken back any more.
    if (pendingChange_) {
        bool open = false;
        for (int tag = 0; tag <= SortedFileWrite && !open; ++tag)
            open = OfChange(*pendingChange_, tag) && backgroundWrites_.Pending(tag);
        for (const auto& failed : endedWrites_)
            open = open || OfChange(*pendingChange_, failed.tag);
        if (!open)
            pendingChange_.reset();
    }
}

bool frmMain::PendingChangeCouldRevert() const
{
    if (!pendingChange_ || pendingChange_->undone)
        return false;
    const PendingChange& change = *pendingChange_;
    // Records the command left as they were, or that changed otherwise since: taking it back
    // would change nothing, or is not done.
    if (!change.ended)  // a command that held no RecordsChange: it has ended by now
        return true;
    const RecordStore& store = st.records;
    const uint64_t arrived = store.Appended - change.appendedAfter;
    if (arrived > static_cast<uint64_t>(store.RecordCount))
        return false;
    const auto count = static_cast<int32_t>(store.RecordCount - static_cast<int32_t>(arrived));
    if (count != change.countBefore)
        return true;
    for (int32_t i = 1; i <= count; ++i)
        if (!store.Records[static_cast<size_t>(i)].SharesBytesWith(
                (*change.before)[static_cast<size_t>(i)]))
            return true;
    return false;
}

bool frmMain::SettleWrites()
{
    const int reverts = reverts_;
    if (PendingChangeCouldRevert()) {
        const WaitCursor wait;
        backgroundWrites_.WaitUntil(
            [this] {
                if (!pendingChange_)
                    return true;
                for (int tag = 0; tag <= SortedFileWrite; ++tag)
                    if (OfChange(*pendingChange_, tag) && backgroundWrites_.Pending(tag))
                        return false;
                return true;
            },
            KeepWindowAlive);
    }
    ReportEndedWrites();
    return reverts_ == reverts;
}

frmMain::RecordsChange::RecordsChange(frmMain& window, bool wait) : window_(window)
{
    if (wait && window_.changesRunning_ == 0)
        proceed_ = window_.SettleWrites();
    if (window_.changesRunning_++ == 0 && !window_.keepFreed_)
        window_.keepFreed_ = std::make_shared<RecordArena::KeepFreedBlocks>();
}

frmMain::RecordsChange::~RecordsChange()
{
    if (--window_.changesRunning_ > 0)
        return;
    // The command has ended: what it left is what a failed write takes back from.
    if (window_.pendingChange_ && !window_.pendingChange_->ended)
        window_.EndPendingChange();
    // What the command took for a while on this thread goes back at once; what it freed of the
    // records and did not take again goes back beside the window, after the records it left to
    // be freed there.
    platform::ReturnHeapTopPages();
    window_.backgroundFrees_.Add(
        0, [keep = std::move(window_.keepFreed_)](const std::atomic<bool>&) mutable {
            keep.reset();
            platform::ReturnFreeHeapPages();
            return BackgroundWrites::Outcome{};
        });
    window_.ReportEndedWrites();
}

void frmMain::EndPendingChange()
{
    PendingChange& change = *pendingChange_;
    const RecordStore& store = st.records;
    change.countAfter = store.RecordCount;
    change.digestAfter = DigestOfTexts(store.Records, store.RecordCount);
    change.appendedAfter = store.Appended;
    change.ended = true;
}

bool frmMain::RevertPendingChange()
{
    // The records must be as the command left them, but for records that came in since, which
    // are the last ones. When something else changed them, nothing is taken back.
    RecordStore& store = st.records;
    if (!pendingChange_->ended)  // a command that held no RecordsChange: it has ended by now
        EndPendingChange();
    const PendingChange& change = *pendingChange_;
    const bool unchanged =
        store.Appended >= change.appendedAfter
        && store.RecordCount
               == change.countAfter + static_cast<int64_t>(store.Appended - change.appendedAfter)
        && DigestOfTexts(store.Records, change.countAfter) == change.digestAfter;
    if (!unchanged)
        return false;
    const PendingChange taken = std::move(*pendingChange_);
    pendingChange_.reset();

    // Its other writes are not wanted any more: stopped, they leave no file.
    const auto ofChange = [&taken](int tag) { return OfChange(taken, tag); };
    backgroundWrites_.Stop(ofChange);
    backgroundWrites_.WaitUntil(
        [&] {
            for (int tag = 0; tag <= SortedFileWrite; ++tag)
                if (ofChange(tag) && backgroundWrites_.Pending(tag))
                    return false;
            return true;
        },
        KeepWindowAlive);
    for (const int slot : taken.points) {
        QFile::remove(UndoFileName(st.folders.TempFolder, InstanceIdOf(st), slot));
        undoSnapshots_[static_cast<size_t>(slot)].reset();
    }
    st.undo.UndoLevel = taken.levelBefore;

    const auto arrived = static_cast<int32_t>(std::min<uint64_t>(
        store.Appended - taken.appendedAfter, static_cast<uint64_t>(store.RecordCount)));
    std::vector<RecordText> records(*taken.before);
    const size_t needed = static_cast<size_t>(taken.countBefore + arrived) + 2;
    if (records.size() < needed)
        records.resize(needed + 100);
    for (int32_t k = 1; k <= arrived; ++k)
        records[static_cast<size_t>(taken.countBefore + k)] =
            std::move(store.Records[static_cast<size_t>(store.RecordCount - arrived + k)]);
    for (size_t i = static_cast<size_t>(taken.countBefore + arrived) + 1; i < records.size(); ++i)
        records[i].clear();
    store.Records.swap(records);
    store.RecordCount = taken.countBefore + arrived;
    DiscardBeside(std::move(records));
    st.delimiters = taken.delimitersBefore;
    setWindowTitle(taken.caption);
    st.session.CurrentFileName = taken.currentFile;
    sFileName = taken.fileName;
    ++reverts_;

    CurrentPage = 1;
    SelectFirstRowAfterPageChange(false);
    SetButtonEnabledStatus();
    return true;
}

void frmMain::ReportEndedWrites()
{
    CollectEndedWrites();
    // Inside a command that changes records, failures wait for its end.
    if (reportingWrites_ || changesRunning_ > 0)
        return;
    reportingWrites_ = true;
    // A failed write of the last change takes the whole change back, once.
    bool reverted = false;
    if (pendingChange_) {
        bool failed = false;
        for (const auto& ended : endedWrites_)
            failed = failed || OfChange(*pendingChange_, ended.tag);
        if (failed && !pendingChange_->undone && RevertPendingChange()) {
            reverted = true;
        } else if (failed) {
            // Undo took the records back already; the window no longer names the sorted file.
            const PendingChange change = std::move(*pendingChange_);
            pendingChange_.reset();
            if (!change.sortedFile.isEmpty() && st.session.CurrentFileName == change.sortedFile) {
                st.session.CurrentFileName = change.currentFile;
                setWindowTitle(change.caption);
                sFileName = change.fileName;
            }
        }
    }
    const bool changed = reverted || !endedWrites_.empty();
    while (!endedWrites_.empty()) {
        const BackgroundWrites::Outcome failed = endedWrites_.front();
        endedWrites_.erase(endedWrites_.begin());
        if (failed.tag < UndoRing::Slots) {
            if (!reverted)
                st.undo.Forget(failed.tag, st.folders.TempFolder, InstanceIdOf(st));
            dlg.MsgBox(QStringLiteral("The undo point could not be saved: ") + failed.error,
                       MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Undo"));
        } else if (failed.tag == SortedFileWrite) {
            dlg.MsgBox(QStringLiteral("The sorted records could not be written to '%1': %2")
                           .arg(failed.path, failed.error),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Can't Save to Disk"));
        }
    }
    TrimUndoSnapshots();
    if (changed) {
        tbarButtons[6]->setToolTip(
            QStringLiteral("Undo ")
            + st.undo.UndoDescriptions[static_cast<size_t>(st.undo.UndoLevel)]);
        ShowUndoAvailability(*this);
    }
    reportingWrites_ = false;
}

bool frmMain::UndoSave(const QString& operationName)
{
    if (!st.undo.UndoEnabled)
        return false;
    Delimiters delimiters = st.delimiters;
    // The change-delimiters command leaves the delimiters it replaces here.
    const auto& held = st.editing.UndoDelimiters;
    if (operationName == kChangeDelimiters
        && std::all_of(held.begin() + 1, held.end(),
                       [](const std::string& d) { return !d.empty(); }))
        delimiters = DelimitersFrom({held[1], held[2], held[3], held[4], held[5]});

    // A caller that holds no RecordsChange waits here for the last change's files.
    if (changesRunning_ == 0 && !SettleWrites())
        return false;
    ReportEndedWrites();
    // The point shares every record's bytes with the store: no record is copied. A second point
    // over records that did not change shares the first one's snapshot.
    std::shared_ptr<const RecordsSnapshot> copy =
        undoSnapshots_[static_cast<size_t>(st.undo.UndoLevel)];
    if (!copy || !SameTexts(*copy, st.records.Records))
        copy = TakeSnapshot(st.records);
    const int16_t levelBefore = st.undo.UndoLevel;
    QString error;
    bool beside = false;
    if (!st.undo.SaveBeside(st.records, delimiters, operationName, st.folders.TempFolder,
                            InstanceIdOf(st), copy, backgroundWrites_, WriteBesideFrom, &error,
                            &beside)) {
        dlg.MsgBox(QStringLiteral("The undo point could not be saved: ") + error,
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Undo"));
        return false;
    }
    undoSnapshots_[static_cast<size_t>(st.undo.UndoLevel)] = copy;
    if (beside) {
        // Its file reaches the disk after the command: a failure then takes the command back.
        if (!pendingChange_ || pendingChange_->ended) {
            pendingChange_.emplace();
            pendingChange_->before = copy;
            pendingChange_->countBefore = st.records.RecordCount;
            pendingChange_->levelBefore = levelBefore;
            pendingChange_->delimitersBefore = delimiters;
            pendingChange_->caption = windowTitle();
            pendingChange_->currentFile = st.session.CurrentFileName;
            pendingChange_->fileName = sFileName;
        }
        pendingChange_->points.push_back(st.undo.UndoLevel);
    }
    TrimUndoSnapshots();
    tbarButtons[6]->setEnabled(true);
    tbarButtons[6]->setToolTip(QStringLiteral("Undo ") + operationName);
    mnuEditUndo->setEnabled(true);
    return true;
}

bool frmMain::RestoreUndoLevel()
{
    if (!st.undo.UndoEnabled)
        return false;
    lblTCPIPcount->setText(QStringLiteral("Count:"));
    const int slot = st.undo.UndoLevel;
    const std::shared_ptr<const RecordsSnapshot> held = undoSnapshots_[static_cast<size_t>(slot)];
    if (held && backgroundWrites_.Pending(slot)) {
        // The copy is here: its write is not waited for, only stopped (it ends at its next
        // block).
        backgroundWrites_.Stop([slot](int tag) { return tag == slot; });
        AwaitWrites(slot);
        // A write that failed meanwhile has been dealt with and the ring stepped back.
        if (st.undo.UndoLevel != slot)
            return false;
    }
    // The change whose point this is has been taken back: its writes no longer matter to it.
    if (pendingChange_ && Holds(pendingChange_->points, slot)) {
        pendingChange_->undone = true;
        pendingChange_->before.reset();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // What an earlier undo let go is gone before a copy is read back into memory.
    if (!held)
        backgroundFrees_.WaitUntilAtMost(0, KeepWindowAlive);
    QString error;
    // A large copy is read beside the window.
    std::vector<RecordText> replaced;
    UndoRestoreHelp help;
    help.held = held.get();
    help.run = [](const std::function<void()>& work) { platform::RunBeside(work, KeepWindowAlive); };
    help.replaced = &replaced;
    help.discard = [this](const QString& file) {
        backgroundFrees_.Add(0, [file](const std::atomic<bool>&) {
            QFile::remove(file);
            return BackgroundWrites::Outcome{};
        });
    };
    const UndoRing::RestoreResult result = st.undo.Restore(
        st.records, st.delimiters, st.folders.TempFolder, InstanceIdOf(st), &error, help);
    if (result == UndoRing::RestoreResult::Restored)
        undoSnapshots_[static_cast<size_t>(slot)].reset();
    TrimUndoSnapshots();
    DiscardBeside(std::move(replaced));
    QApplication::restoreOverrideCursor();
    if (result == UndoRing::RestoreResult::Failed)
        dlg.MsgBox(QStringLiteral("The undo point could not be read: ") + error, MsgButtons::OKOnly,
                   MsgIcon::Exclamation, QStringLiteral("Undo"));
    if (result != UndoRing::RestoreResult::Restored)
        return false;

    CurrentPage = 1;
    SelectFirstRowAfterPageChange(false);
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
    // Undo takes back the last change itself: it does not wait for that change's files.
    const RecordsChange change(*this, false);
    if (st.view.ViewFieldCount() > 0) {
        // With a view active the press only switches the view off.
        mnuViewsDisable_Click();
    } else {
        stsPanels[5]->clear();
        const QString slotFile =
            UndoFileName(st.folders.TempFolder, InstanceIdOf(st), st.undo.UndoLevel);
        if (undoSnapshots_[static_cast<size_t>(st.undo.UndoLevel)] || QFileInfo::exists(slotFile)) {
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
