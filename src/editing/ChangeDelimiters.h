#pragma once
// Rewriting every record with five new delimiters, and the texts of the command's boxes.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "records/RecordStore.h"
#include "records/TextEncoding.h"

namespace quillon {

// Which byte each old delimiter becomes. Letters match in either case; when an old delimiter
// occurs twice among the five, the first of them decides.
class DelimiterSwap {
public:
    // `replacement`: five characters, in the order field, component, repetition, escape,
    // subcomponent, one byte each. `asciiOnly` (for UTF-8 records, where a byte above 127 is
    // part of a character) leaves out every swap from or to such a byte.
    DelimiterSwap(const Delimiters& old, std::string_view replacement, bool asciiOnly = false);
    // Whether a swap is from or to a byte above 127.
    bool TouchesNonAscii() const;

    // Replaces every old delimiter of `record` in one pass, so a byte written by the swap is
    // never looked at again. Answers how many characters were replaced.
    int64_t Apply(std::string& record) const;
    // The same, reading `source` and writing `target` (the same place, or apart from it).
    int64_t Apply(const char* source, char* target, size_t size) const;

private:
    int count_ = 0;             // distinct old bytes
    unsigned char from_[10]{};  // five delimiters, each in both letter cases
    unsigned char to_[10]{};
};

// Applies the swap to records 1 to RecordCount, each taking a new text, in a UTF-8 record only
// the swaps of ASCII bytes; answers the characters replaced. `keepAlive`, when given, is called
// about every 50 ms, so that the window's events run.
int64_t ChangeDelimiters(RecordStore& store, const Delimiters& old, std::string_view replacement,
                         char endOfBlock = '\r', const std::function<void()>& keepAlive = {});

// The input box's prompt, listing the current delimiters.
std::string ChangeDelimitersPrompt(const Delimiters& current);

}  // namespace quillon
