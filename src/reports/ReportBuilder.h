#pragma once
// The report builder without any window: designations x records -> a table of one column per
// designation and one row per record (or per occurrence of the first column's field).
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordStore.h"
#include "records/TextEncoding.h"

namespace quillon {

// Large arrays of the table get transparent huge pages where the system offers them: a report
// of a million records touches hundreds of megabytes once, and a fault per 4 KB page costs more
// than filling the page.
template <typename T>
struct LargePageAllocator {
    using value_type = T;
    LargePageAllocator() = default;
    template <typename U>
    LargePageAllocator(const LargePageAllocator<U>&) noexcept {}
    T* allocate(size_t n);
    void deallocate(T* p, size_t) noexcept { std::free(p); }
    template <typename U>
    bool operator==(const LargePageAllocator<U>&) const noexcept { return true; }
};

void* AllocateLarge(size_t bytes);

template <typename T>
T* LargePageAllocator<T>::allocate(size_t n)
{
    return static_cast<T*>(AllocateLarge(n * sizeof(T)));
}

struct ReportRules;

// A cell is a view: into the record it was read from, or into the blocks where texts that are
// no plain piece of a record lie end to end. A table built from a store reads that store's
// records again when its cells are read, so it is to be read (frmReport::Fill turns it into
// the window's texts at once) before any of those records changes; records appended meanwhile
// do no harm.
class ReportTable {
public:
    std::vector<std::string> columns;
    bool cancelled = false;

    size_t RowCount() const { return columns.empty() ? 0 : cells_.size() / columns.size(); }
    std::string_view Cell(size_t row, size_t column) const
    {
        const uint64_t c = cells_[row * columns.size() + column];
        if ((c & ViewFlag) != 0) {
            const std::string_view record =
                store_->Record(static_cast<int32_t>((c & ~ViewFlag) >> 32));
            return {record.data() + (c >> ViewLengthBits & ViewOffsetMask),
                    static_cast<size_t>(c & ViewLengthMask)};
        }
        if ((c & LengthMask) == LengthMask) {
            const LongCell& l = long_[c >> LengthBits];
            return {At(l.offset), l.length};
        }
        if (c == 0)
            return {};
        return {At(c >> LengthBits), static_cast<size_t>(c & LengthMask)};
    }
    // The encoding of the record row `row` was read from, which its cells' texts are in
    // (Latin-1 for a row of no record).
    TextEncoding RowEncoding(size_t row) const;
    // The number of that record (0: none); rows of one record follow each other.
    int32_t RowRecord(size_t row) const { return row < rowRecords_.size() ? rowRecords_[row] : 0; }
    // Room for `rows` rows (every record gives at least one).
    void Reserve(size_t rows)
    {
        cells_.reserve(rows * columns.size());
        rowRecords_.reserve(rows);
    }
    // Adds a row whose cells are all empty except the first.
    void AddRow(std::string_view first);
    // Sets a cell of the last row; the text it held before stays unused in its block.
    void SetLastRowCell(size_t column, std::string_view text);

private:
    friend ReportTable BuildReport(const RecordStore&, const std::vector<std::string>&,
                                   const ReportRules&, const std::function<bool(int32_t, int32_t)>&);
    // A view into a record is one word: the flag, the record's number, the offset (below 1 MB)
    // and the length (below 4 KB); a text beyond those goes to the blocks.
    static constexpr uint64_t ViewFlag = uint64_t{1} << 63;
    static constexpr int ViewLengthBits = 12;
    static constexpr uint64_t ViewLengthMask = (uint64_t{1} << ViewLengthBits) - 1;
    static constexpr uint64_t ViewOffsetMask = (uint64_t{1} << 20) - 1;
    const RecordStore* store_ = nullptr;
    char endOfBlock_ = 13;
    std::vector<int32_t> rowRecords_;
    // The record being read while the table is built, whose pieces become views.
    int32_t recordNumber_ = 0;
    std::string_view record_;
    // Otherwise a cell is its offset and length in one word; a cell of 16 MB or more is kept
    // aside. An empty cell is 0.
    static constexpr int LengthBits = 24;
    static constexpr uint64_t LengthMask = (uint64_t{1} << LengthBits) - 1;
    struct LongCell {
        uint64_t offset = 0;
        size_t length = 0;
    };
    // The texts lie in blocks that never move, so a growing table copies no text; a place is
    // the block's number and the offset in it.
    static constexpr int BlockBits = 22;
    static constexpr uint64_t BlockMask = (uint64_t{1} << BlockBits) - 1;
    const char* At(uint64_t place) const
    {
        return blocks_[place >> BlockBits].data() + (place & BlockMask);
    }
    uint64_t Ref(std::string_view text);
    std::vector<uint64_t, LargePageAllocator<uint64_t>> cells_;
    std::vector<LongCell> long_;
    std::vector<std::basic_string<char, std::char_traits<char>, LargePageAllocator<char>>> blocks_;
};

// What the value of a designation depends on besides the record.
struct ReportRules {
    const Delimiters& delimiters;
    char endOfBlock = 13;
    bool displayEmptyFields = true;
};

// Called about every 50 ms with the records done so far; false stops the build.
using ReportProgress = std::function<bool(int32_t record, int32_t recordCount)>;

// Every record of the store through every designation. A designation with "(1)" whose value is
// empty falls back to the field without the repetition when that field does not repeat.
ReportTable BuildReport(const RecordStore& store, const std::vector<std::string>& designations,
                        const ReportRules& rules, const ReportProgress& progress = {});

// What WhatIsInFieldNew answers for the record and designation, read straight off the record
// instead of through the whole field table.
std::string ReportFieldValue(std::string_view record, std::string_view designation,
                             const ReportRules& rules);

}  // namespace quillon
