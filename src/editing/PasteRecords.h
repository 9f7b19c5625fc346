#pragma once
// Records pasted from the clipboard: the test that the text starts like an HL7 header, the
// cutting into records and the character-code lines of the trace. The text is bytes (one
// Latin-1 character a byte, as the lists show them).
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

// The upper-cased first three characters of a text longer than three characters, else "".
std::string PastePrefix(std::string_view text);

// The paste takes a text whose prefix is FHS, MSH, BHS, BTS or FTS.
bool PasteAccepted(std::string_view text);

// The Edit menu offers the paste when the text is not empty and its upper-cased first three
// characters followed by a blank occur in "MSH FHS BHS BTS FTS ".
bool ClipboardOffersRecords(std::string_view text);

// Cuts `text` into records at every end-of-block character followed by a line feed, the text
// itself ending as if one more such pair followed it; the end-of-block character of the pair
// is not part of the record, those inside it stay. An empty record ends the cut: the rest of
// the text is ignored. Calls `record` for each record in order and answers how many there were.
size_t CutPastedRecords(std::string_view text, char endOfBlock,
                        const std::function<void(std::string_view)>& record);

// The trace lines of a pasted record's character codes: pieces of 19 characters while more than
// 20 remain, then the rest (up to 20) as the last piece; each piece padded with blanks to 20
// columns and followed, per character, by a blank and its code as two upper-case hex digits.
// The first line's category is "ASCII", the others' empty.
std::vector<std::pair<std::string, std::string>> PasteDumpLines(std::string_view record);

}  // namespace quillon
