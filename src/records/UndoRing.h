#pragma once
// The undo ring: ten numbered copies of the record store on disk, with the record count,
// operation name and delimiters of each copy kept in memory.
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "records/RecordStore.h"

namespace quillon {

// This process's name for its undo files: its id in upper-case hexadecimal.
QString UndoInstanceId();

// The undo file of ring slot `slot` (0 to 9): tempFolder + instanceId + "-Records" + slot +
// ".undo". `tempFolder` ends with "/".
QString UndoFileName(const QString& tempFolder, const QString& instanceId, int slot);

// True when any of the instance's ten undo files exists.
bool AnyUndoFile(const QString& tempFolder, const QString& instanceId);

// Removes the instance's undo files (and any write it left unfinished); other instances'
// files stay. Answers how many files were removed.
int DeleteUndoFiles(const QString& tempFolder, const QString& instanceId);

// Removes the undo files of instances that no longer run (no /proc/<pid>). Files of running
// processes, this one included, and files not named like undo files stay.
int DeleteOrphanUndoFiles(const QString& tempFolder);

// Writes slots 1 to the upper bound of `records` (slot 0 is never used) to `path`, every byte
// as it is. The data goes to a side file that is renamed over `path` only once complete, so a
// failure leaves `path` as it was. False with the reason in `error` on failure.
bool WriteUndoFile(const QString& path, const std::vector<std::string>& records, QString* error);

// Reads a file WriteUndoFile wrote into `records` (same upper bound, slot 0 empty). On failure
// `records` is untouched and `error` says why.
bool ReadUndoFile(const QString& path, std::vector<std::string>& records, QString* error);

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

    enum class RestoreResult { Restored, NothingToRestore, Failed };
    // Puts the current slot's copy back into `store` (and its delimiters into `delimiters` when
    // the slot's operation changed delimiters), removes the slot's file and steps the ring
    // back one slot. NothingToRestore when the slot has no file; on Failed nothing changes.
    RestoreResult Restore(RecordStore& store, Delimiters& delimiters, const QString& tempFolder,
                          const QString& instanceId, QString* error = nullptr);

    // A newly loaded file starts with nothing to undo: level 0, the instance's files removed.
    void StartEmpty(const QString& tempFolder, const QString& instanceId);
};

// Delimiters made of five separator texts, in the order field, component, repetition,
// escape, subcomponent.
Delimiters DelimitersFrom(const std::array<std::string, 5>& five);

}  // namespace quillon
