#pragma once
// Cuts the content of an HL7 file into records: a record starts at every MSH, FHS, BHS, BTS
// and FTS line, keeps the segment lines that follow it, and learns the delimiters from each
// header. Window-free: whatever the load needs of the user goes through LoadHost.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
    virtual void RecordStored(const std::string& record, int32_t recordCount)
    {
        (void)record;
        (void)recordCount;
    }
};

enum class LoadEnd {
    Loaded,  // the store holds the records; show page 1
    NotHL7,  // the content does not look like HL7 and the user declined the salvage pass
};

// True for the five names that start a record (compared with the first three characters).
bool IsRecordStart(std::string_view line);

// Fills `store` (emptied first, 100 slots) from `content`. Lines end at CR or CR LF; every LF
// inside a line ends a piece of its own. Segments are kept each followed by `endOfBlock`.
// The content itself is never changed; a salvage pass works on a cleaned copy.
LoadEnd ParseHL7Content(std::string_view content, RecordStore& store, Delimiters& delimiters,
                        char endOfBlock, LoadHost& host);

// The trace-log dump of a record: pieces of 19 characters, each right-aligned in 20 columns
// and followed by the codes of its characters as two hex digits and a blank. The first line
// goes under the category "ASCII", the rest under an empty category.
std::vector<std::pair<std::string, std::string>> CharacterDumpLines(std::string_view record);

}  // namespace quillon
