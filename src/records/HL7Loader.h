#pragma once
// Cuts the content of an HL7 file into records: a record starts at every MSH, FHS, BHS, BTS
// and FTS line, keeps the segment lines that follow it, and learns the delimiters from each
// header. Window-free: whatever the load needs of the user goes through LoadHost.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileIO.h"
#include "records/RecordStore.h"

namespace quillon {

class LoadHost {
public:
    virtual ~LoadHost() = default;
    // A pass over the content starts (the window clears its lists).
    virtual void BeginPass() {}
    // The first line is not a record start: try to find the records inside the file? (Yes = true)
    virtual bool AskLoadNonHL7() = 0;
    // A record was stored; `recordCount` is the new count.
    virtual void RecordStored(std::string_view record, int32_t recordCount)
    {
        (void)record;
        (void)recordCount;
    }
    // The records the loaded ones replaced: freed here unless the host frees them elsewhere.
    virtual void Replaced(std::vector<RecordText>&& records) { (void)records; }
};

enum class LoadEnd {
    Loaded,      // the store holds the records; show page 1
    NotHL7,      // the content does not look like HL7 and the user declined the salvage pass
    ReadFailed,  // the bytes could not be read: the store and delimiters are as they were
};

// Where the loader's bytes come from, read front to back (again from the start for a salvage
// pass).
class LoadSource {
public:
    virtual ~LoadSource() = default;
    // Up to `room` next bytes into `into`: the count, 0 at the end, -1 on a read failure.
    virtual int64_t Read(char* into, size_t room) = 0;
    virtual bool Rewind() = 0;
    // The expected total, or 0 when unknown (only used to size the record array).
    virtual int64_t SizeHint() const { return 0; }
    // Waits until every byte is in place (a source written while it is read: until the writer
    // has finished), before the file is handed to another program.
    virtual void Complete() {}
};

// How many bytes the loader reads at a time: large enough for few system calls, small enough
// that the buffer is a small part of the records it yields.
constexpr size_t kLoadChunkBytes = size_t{4} << 20;

// True for the five names that start a record (compared with the first three characters).
bool IsRecordStart(std::string_view line);

// Fills `store` (emptied first, 100 slots) from `source`, read `chunkBytes` at a time. Lines
// end at CR or CR LF; every LF inside a line ends a piece of its own. Segments are kept each
// followed by `endOfBlock`. The records are collected apart and replace the store's only when
// the source was read to its end (NotHL7 included), so a read failure leaves the store and the
// delimiters as they were. The source is never changed; a salvage pass reads it again.
LoadEnd ParseHL7Source(LoadSource& source, RecordStore& store, Delimiters& delimiters,
                       char endOfBlock, LoadHost& host, size_t chunkBytes = kLoadChunkBytes);

// The same for content in memory.
LoadEnd ParseHL7Content(std::string_view content, RecordStore& store, Delimiters& delimiters,
                        char endOfBlock, LoadHost& host);

// The same for the file at `path`. ReadFailed with `error` set when it cannot be opened or read.
LoadEnd LoadHL7FromFile(const QString& path, RecordStore& store, Delimiters& delimiters,
                        char endOfBlock, LoadHost& host, platform::ReadResult& error,
                        size_t chunkBytes = kLoadChunkBytes);

// The trace-log dump of a record: pieces of 19 characters, each right-aligned in 20 columns
// and followed by the codes of its characters as two hex digits and a blank. The first line
// goes under the category "ASCII", the rest under an empty category.
std::vector<std::pair<std::string, std::string>> CharacterDumpLines(std::string_view record);

}  // namespace quillon
