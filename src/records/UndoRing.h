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

#include "platform/Heap.h"
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

// A copy of a record array laid out as its undo file, taken in one step (across the cores) so
// that the file can be written later, beside the window, while the records go on changing.
struct UndoImage {
    platform::LargeBlock bytes;
    size_t size = 0;
    // The copy of each slot's text, slot 0 empty.
    std::vector<std::string_view> texts;
};
std::shared_ptr<const UndoImage> MakeUndoImage(const std::vector<std::string>& records);

// True when `image` is a copy of `records` as they stand (a second undo point over records
// that did not change can share the first one's copy).
bool ImageHolds(const UndoImage& image, const std::vector<std::string>& records);

// The record array an image holds, as ReadUndoFile gives it back from the image's file.
std::vector<std::string> RecordsFromImage(const UndoImage& image);

// Writes an image to `path`. The data goes to a side file that is renamed over `path` only once
// complete, so a failure, or a `stop` that turned true on the way, leaves `path` as it was.
// False with the reason in `error` on failure.
bool WriteUndoImage(const QString& path, const UndoImage& image, QString* error,
                    const std::atomic<bool>* stop = nullptr);

// Writes slots 1 to the upper bound of `records` (slot 0 is never used) to `path`, every byte
// as it is, as WriteUndoImage does.
bool WriteUndoFile(const QString& path, const std::vector<std::string>& records, QString* error);

// Reads a file WriteUndoImage wrote back into an image; on failure `error` says why.
bool ReadUndoImage(const QString& path, UndoImage& image, QString* error);

// Reads a file WriteUndoFile wrote into `records` (same upper bound, slot 0 empty). On failure
// `records` is untouched and `error` says why.
bool ReadUndoFile(const QString& path, std::vector<std::string>& records, QString* error);

// What a window brings to a restore of a large copy.
struct UndoRestoreHelp {
    // The slot's copy still in memory (its file may not be written yet): taken in place of
    // the file.
    const UndoImage* held = nullptr;
    // Runs the reading (at once when empty), so that it can be done beside the window.
    std::function<void(const std::function<void()>& work)> run;
    // Takes the records the copy replaced, to free them later.
    std::vector<std::string>* replaced = nullptr;
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

    // Save from `copy`, a copy of `store` taken by MakeUndoImage: one of `besideFrom` bytes or
    // more is written by `writes` (tagged with its slot) after this has returned. A file that
    // cannot even be begun fails at once, as with Save; a write that fails later reaches
    // `writes`'s outcomes, and Forget then takes the slot back.
    bool SaveBeside(const RecordStore& store, const Delimiters& delimiters,
                    const QString& operationName, const QString& tempFolder,
                    const QString& instanceId, std::shared_ptr<const UndoImage> copy,
                    BackgroundWrites& writes, size_t besideFrom, QString* error = nullptr);

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
    // back one slot. NothingToRestore when the slot has no file; on Failed nothing changes.
    RestoreResult Restore(RecordStore& store, Delimiters& delimiters, const QString& tempFolder,
                          const QString& instanceId, QString* error = nullptr,
                          const UndoRestoreHelp& help = {});

    // A newly loaded file starts with nothing to undo: level 0, the instance's files removed.
    void StartEmpty(const QString& tempFolder, const QString& instanceId);
};

// Delimiters made of five separator texts, in the order field, component, repetition,
// escape, subcomponent.
Delimiters DelimitersFrom(const std::array<std::string, 5>& five);

}  // namespace quillon
