#include "editing/DeleteRecords.h"

#include <algorithm>

#include "records/FieldLines.h"

namespace quillon {

namespace {

// Empties slots from..to so their memory goes with the records they held.
void ReleaseSlots(std::vector<RecordText>& records, int32_t from, int32_t to)
{
    for (int32_t i = from; i <= to; ++i)
        records[static_cast<size_t>(i)].clear();
}

}  // namespace

int32_t DeleteRecordRange(RecordStore& store, int32_t first, int32_t last)
{
    const int32_t count = store.RecordCount;
    first = std::max(first, 1);
    last = std::min(last, count);
    if (first > last)
        return 0;
    auto& records = store.Records;
    const int32_t removed = last - first + 1;
    std::move(records.begin() + last + 1, records.begin() + count + 1, records.begin() + first);
    ReleaseSlots(records, count - removed + 1, count);
    store.RecordCount = count - removed;
    return removed;
}

int32_t DeleteRecordNumbers(RecordStore& store, std::vector<int32_t> numbers)
{
    const int32_t count = store.RecordCount;
    std::erase_if(numbers, [count](int32_t k) { return k < 1 || k > count; });
    if (numbers.empty())
        return 0;
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

    // One compaction from the first removed record up: each kept record moves once.
    auto& records = store.Records;
    size_t next = 0;
    int32_t write = numbers.front();
    for (int32_t read = numbers.front(); read <= count; ++read) {
        if (next < numbers.size() && numbers[next] == read) {
            ++next;
            continue;
        }
        if (write != read)
            records[static_cast<size_t>(write)] = std::move(records[static_cast<size_t>(read)]);
        ++write;
    }
    const auto removed = static_cast<int32_t>(numbers.size());
    ReleaseSlots(records, count - removed + 1, count);
    store.RecordCount = count - removed;
    return removed;
}

SegmentDeletion DeleteSegmentRows(std::string_view record, char endOfBlock,
                                  const std::vector<bool>& selectedRows)
{
    SegmentDeletion result;
    result.text.reserve(record.size() + 1);
    // The segment list's own cut: blank pieces get no row, so the rows are numbered here the
    // way the list numbers them and never by adding up the rows' lengths.
    size_t row = 0;
    for (std::string_view piece : SplitRecordSegments(record, endOfBlock)) {
        const size_t start = static_cast<size_t>(piece.data() - record.data());
        const size_t end = std::min(start + piece.size() + 1, record.size());  // with its EOB
        const bool listed = !TrimBlanks(piece).empty();
        const bool selected = listed && row < selectedRows.size() && selectedRows[row];
        if (listed)
            ++row;
        if (selected && piece.substr(0, 3) == "MSH") {
            ++result.refusedHeaders;
        } else if (selected) {
            ++result.deleted;
            continue;
        }
        result.text.append(record.substr(start, end - start));
    }
    if (result.deleted > 0 && (result.text.empty() || result.text.back() != endOfBlock))
        result.text += endOfBlock;
    return result;
}

}  // namespace quillon
