#pragma once
// The undo ring: ten numbered copies of the record store on disk, with the record count,
// operation name and delimiters of each copy kept in memory.
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "records/BackgroundWrites.h"
#include "records/RecordStore.h"

namespace quillon {

// This process's name for its undo files: its id in upper-case hexadecimal.
QString UndoInstanceId();

// The undo file of ring slot `slot` (0 to 9): tempFolder + instanceId + "-Records" + slot +
// ".undo". `tempFolder` ends with "/".
QString UndoFileName(const QString& tempFolder, const QString& instanceId, int slot);

// True when any of the instance's ten undo files exists.
bool AnyUndoFile(const QString& tempFolder, const QString& instanceId);

// Removes the instance's undo files (and any write it left unfinished, and files taken out of
// the ring but not removed yet); other instances' files stay. Answers how many files were removed.
int DeleteUndoFiles(const QString& tempFolder, const QString& instanceId);

// Removes the undo files of instances that no longer run (no /proc/<pid>). Files of running
// processes, this one included, and files not named like undo files stay.
int DeleteOrphanUndoFiles(const QString& tempFolder);

// The records of the store at an undo point: a copy of its slots (0 to the upper bound) that
// shares every record's bytes with the store, so taking one copies no record. Its file can be
// written later, beside the window, while the store goes on changing.
using RecordsSnapshot = std::vector<RecordText>;
std::shared_ptr<const RecordsSnapshot> TakeSnapshot(const RecordStore& store);

// The size of the undo file of `records`, counted no further than `limit`.
size_t UndoFileSize(const std::vector<RecordText>& records, size_t limit = SIZE_MAX);

// Writes slots 1 to the upper bound of `records` (slot 0 is never used) to `path`, every byte as
// it is, a block at a time. The data goes to a side file that is renamed over `path` only once
// complete, so a failure, or a `stop` that turned true on the way, leaves `path` as it was.
// False with the reason in `error` on failure.
bool WriteUndoFile(const QString& path, const std::vector<RecordText>& records, QString* error,
                   const std::atomic<bool>* stop = nullptr);

// Reads a file WriteUndoFile wrote into `records` (same upper bound, slot 0 empty), a block at a
// time, straight into records. A record equal to one of `current` shares that text's bytes
// instead of taking memory again (undoing a sort, a filter or an edit from its file takes new
// memory only for the records that changed). On failure `records` is untouched and `error`
// says why.
bool ReadUndoFile(const QString& path, std::vector<RecordText>& records, QString* error,
                  const std::vector<RecordText>* current = nullptr);

// What a window brings to a restore of a large copy.
struct UndoRestoreHelp {
    // The slot's copy still in memory (its file may not be written yet): taken in place of
    // the file.
    const RecordsSnapshot* held = nullptr;
    // Runs the reading (at once when empty), so that it can be done beside the window.
    std::function<void(const std::function<void()>& work)> run;
    // Takes the records the copy replaced, to free them later.
    std::vector<RecordText>* replaced = nullptr;
    // Removes the slot's file, renamed out of the ring's way first (at once when empty).
    std::function<void(const QString& renamedFile)> discard;
};

// The ring's state. Its functions do the work whatever UndoEnabled says; the window's
// commands are the ones that honour it.
class UndoRing {
public:
    static constexpr int Slots = 10;

    bool UndoEnabled = false;
    // The slot written last, and restored next (0 to 9).
    int16_t UndoLevel = 0;
    // Per slot: RecordCount when it was written, the operation's name, the five delimiters.
    std::array<int32_t, Slots> UndoRecordCounts{};
    std::array<QString, Slots> UndoDescriptions;
    std::array<Delimiters, Slots> UndoSlotDelimiters;

    // Saves the whole store to the next slot and makes it the current one. On failure the
    // ring, its files included, stays as it was and `error` says why.
    bool Save(const RecordStore& store, const Delimiters& delimiters, const QString& operationName,
              const QString& tempFolder, const QString& instanceId, QString* error = nullptr);

    // Save from `copy`, a snapshot of `store`: a store of `besideFrom` bytes or more is written
    // by `writes` (tagged with its slot) after this has returned. A file that cannot even be
    // begun fails at once, as with Save; a write that fails later reaches `writes`'s outcomes,
    // and Forget then takes the slot back. `beside` (when given) tells which way it went.
    bool SaveBeside(const RecordStore& store, const Delimiters& delimiters,
                    const QString& operationName, const QString& tempFolder,
                    const QString& instanceId, std::shared_ptr<const RecordsSnapshot> copy,
                    BackgroundWrites& writes, size_t besideFrom, QString* error = nullptr,
                    bool* beside = nullptr);

    // The ring moved on to the next slot for a copy of the store whose file is written
    // elsewhere; answers that slot.
    int Advance(const RecordStore& store, const Delimiters& delimiters,
                const QString& operationName);
    // The file of `slot` could not be written: an older copy of that slot is removed so that
    // undo never brings it back, and when nothing was saved after it the ring steps back to
    // where it was.
    void Forget(int slot, const QString& tempFolder, const QString& instanceId);

    enum class RestoreResult { Restored, NothingToRestore, Failed };
    // Puts the current slot's copy back into `store` (and its delimiters into `delimiters` when
    // the slot's operation changed delimiters), removes the slot's file and steps the ring
    // back one slot. The records received (see NoteReceived) since the slot was saved follow
    // the restored ones. NothingToRestore when the slot has no file; on Failed nothing changes.
    RestoreResult Restore(RecordStore& store, Delimiters& delimiters, const QString& tempFolder,
                          const QString& instanceId, QString* error = nullptr,
                          const UndoRestoreHelp& help = {});

    // A newly loaded file starts with nothing to undo: level 0, the instance's files removed.
    void StartEmpty(const QString& tempFolder, const QString& instanceId);

    // A record the server stored (and acknowledged) has been appended to the store. An undo
    // puts back the records as they were before a command, and then these: a record a sender
    // was told had arrived never goes with an undo.
    void NoteReceived(const RecordText& record);

private:
    // The records received since the oldest point that may still be restored, the first of
    // them the receivedFrom_-th received, and per slot how many had been received when it was
    // saved.
    std::vector<RecordText> received_;
    uint64_t receivedFrom_ = 0;
    std::array<uint64_t, Slots> receivedBefore_{};

    // The last point written beside: a next point of the very same snapshot (a command's second
    // point before it changed anything) links its file to this one's once it is written,
    // rather than writing the same bytes again.
    struct BesideWrite {
        std::weak_ptr<const RecordsSnapshot> copy;
        QString path;
        std::shared_ptr<std::atomic<bool>> written;
    };
    BesideWrite lastBeside_;
};

// Delimiters made of five separator texts, in the order field, component, repetition,
// escape, subcomponent.
Delimiters DelimitersFrom(const std::array<std::string, 5>& five);

}  // namespace quillon
