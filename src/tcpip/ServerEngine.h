#pragma once
// The receiving side's record cutting: data arrives in pieces of any size, records end at the
// end-of-data character followed by the end-of-block character, and each record's header
// teaches the delimiters. Window-free; the window answers, stores and shows.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/RecordStore.h"

namespace quillon {

struct ReceivedRecord {
    std::string piece;       // as cut: up to and including the end-of-data/end-of-block pair
    std::string ackSource;   // the piece without its last character (ends with end-of-data)
    std::string record;      // what is stored: segments with their terminators
    std::string headerName;  // "MSH", "FHS", ... or "" when none was found
};

// Collects arriving data and cuts complete records off the front. Searching resumes where the
// last search stopped, and the buffer is shortened once per arrival, so data in many small
// pieces and many records in one piece both cost time in proportion to their size.
class RecordCutter {
public:
    // Appends `data`; answers whether the buffer now holds a complete record.
    bool Append(std::string_view data, const EnvelopeChars& envelope);

    // Cuts every complete record, running the header step before each (leading characters
    // below code 33 dropped, delimiters learned from the header). The header step also runs
    // once when no record is complete, as long as 6 or more characters wait.
    std::vector<ReceivedRecord> CutRecords(const EnvelopeChars& envelope, Delimiters& delimiters);

    const std::string& Text() const { return text_; }
    void Clear();

    // An unfinished record may not grow the buffer without end: past this many bytes waiting
    // after the cut, the window drops them, and the rest of that record up to its end as it comes.
    static constexpr size_t kMaxPending = size_t{64} << 20;
    bool Overfull() const { return text_.size() > kMaxPending; }
    void DropUnfinished();

private:
    std::string text_;
    size_t scanFrom_ = 0;  // no complete pair starts before this position
    bool skipToEnd_ = false;  // the front of the current record was dropped
};

}  // namespace quillon
