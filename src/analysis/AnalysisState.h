#pragma once
// What the analysis and comparison tools share with the main window between commands.
#include <cstdint>
#include <string>
#include <vector>

#include "records/TextEncoding.h"

namespace quillon {

struct AnalysisState {
    // The two texts chosen for comparison: a record as stored or one segment without its
    // terminator. The comparison window empties both when it closes.
    std::string CompareRecord1;
    std::string CompareRecord2;
    // The encoding of the record each was taken from.
    TextEncoding CompareEncoding1 = TextEncoding::Latin1;
    TextEncoding CompareEncoding2 = TextEncoding::Latin1;

    // Maximum field widths: slot k (dictionary entry k, 0 for labels the dictionary lacks) holds
    // the first record that reached the widest value of the last run.
    std::vector<int32_t> MaxWidthRecords;

    // Fields used: the lines of the last run, in display order.
    std::vector<std::string> FieldsUsed;

    // Unique values: the designation preset from the field list ("" for none).
    std::string UniqueValuesField;

    // Character-code view: "RECORD" shows the record list's current row, anything else the
    // segment list's.
    std::string ASCIIViewMode = "RECORD";
};

}  // namespace quillon
