#pragma once
// The search request block: what the find, replace and assign-value dialogs hand to the main
// window, and the flag that tells it a request (or a cancellation) is waiting. The texts are as
// typed, in UTF-8; each record gets them in its own encoding.
#include <string>
#include <string_view>

namespace quillon {

inline constexpr std::string_view FindTargetRecords = "RECORDS";
inline constexpr std::string_view FindTargetFields = "FIELDS";

struct SearchRequest {
    std::string FindText;          // empty: the dialog was cancelled
    std::string ReplaceText;       // replacement, or the value to assign
    std::string FindFieldName;     // PID-5, PID-5-1 ...; empty: the whole record
    std::string ReplaceFieldName;  // likewise for replace and assign
    bool MatchCase = false;
    bool MatchWholeWordOnly = false;
    // A find dialog starts with "Down" chosen, a replace dialog with "All Records".
    bool SearchUp = false;
    bool SearchDown = true;
    bool ScopeAllRecords = true;
    bool ScopeSelectedRecords = false;
    std::string FindTarget;  // FindTargetRecords or FindTargetFields: which history box shows
    bool SearchDialogDone = false;
};

}  // namespace quillon
