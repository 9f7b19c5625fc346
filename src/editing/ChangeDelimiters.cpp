#include "editing/ChangeDelimiters.h"

#include <cstring>

#include "records/LetterCase.h"

namespace quillon {

namespace {

// Sixteen bytes at a time: the records are tens of megabytes and the delimiters a tenth of them,
// so a byte-by-byte table walk would dominate the command.
typedef unsigned char Bytes16 __attribute__((vector_size(16)));

}  // namespace

DelimiterSwap::DelimiterSwap(const Delimiters& old, std::string_view replacement, bool asciiOnly)
{
    const std::string* five[] = {&old.FieldSeparator, &old.ComponentSeparator,
                                 &old.RepetitionSeparator, &old.EscapeCharacter,
                                 &old.SubcomponentSeparator};
    auto add = [&](unsigned char from, unsigned char to) {
        for (int k = 0; k < count_; ++k)
            if (from_[k] == from)
                return;  // an earlier delimiter decides
        from_[count_] = from;
        to_[count_] = to;
        ++count_;
    };
    for (size_t i = 0; i < 5 && i < replacement.size(); ++i) {
        if (five[i]->empty())
            continue;
        const auto from = static_cast<unsigned char>((*five[i])[0]);
        const auto to = static_cast<unsigned char>(replacement[i]);
        add(from, to);
        add(OtherCase(from), to);
    }
    if (!asciiOnly)
        return;
    int kept = 0;
    for (int k = 0; k < count_; ++k) {
        if (from_[k] >= 0x80 || to_[k] >= 0x80)
            continue;
        from_[kept] = from_[k];
        to_[kept] = to_[k];
        ++kept;
    }
    count_ = kept;
}

bool DelimiterSwap::TouchesNonAscii() const
{
    for (int k = 0; k < count_; ++k)
        if (from_[k] >= 0x80 || to_[k] >= 0x80)
            return true;
    return false;
}

int64_t DelimiterSwap::Apply(std::string& record) const
{
    return Apply(record.data(), record.data(), record.size());
}

int64_t DelimiterSwap::Apply(const char* source, char* target, size_t n) const
{
    if (n == 0)
        return 0;
    if (count_ == 0) {
        if (target != source)
            std::memcpy(target, source, n);
        return 0;
    }
    const auto* in = reinterpret_cast<const unsigned char*>(source);
    unsigned char* p = reinterpret_cast<unsigned char*>(target);
    int64_t replaced = 0;
    size_t i = 0;

    Bytes16 from[10], to[10];
    for (int k = 0; k < count_; ++k) {
        from[k] = Bytes16{} + from_[k];
        to[k] = Bytes16{} + to_[k];
    }
    while (i + 16 <= n) {
        // Lane counters hold at most 255 hits, so they are summed every 255 blocks.
        Bytes16 hits{};
        size_t blocks = 0;
        for (; i + 16 <= n && blocks < 255; i += 16, ++blocks) {
            Bytes16 v;
            std::memcpy(&v, in + i, 16);
            Bytes16 out = v;
            for (int k = 0; k < count_; ++k) {
                // The old bytes are distinct, so each byte matches at most one of them.
                const Bytes16 match = (Bytes16)(v == from[k]);
                out = (out & ~match) | (to[k] & match);
                hits += match & 1;
            }
            std::memcpy(p + i, &out, 16);
        }
        for (int lane = 0; lane < 16; ++lane)
            replaced += hits[lane];
    }
    for (; i < n; ++i) {
        p[i] = in[i];
        for (int k = 0; k < count_; ++k)
            if (in[i] == from_[k]) {
                p[i] = to_[k];
                ++replaced;
                break;
            }
    }
    return replaced;
}

int64_t ChangeDelimiters(RecordStore& store, const Delimiters& old, std::string_view replacement,
                         char endOfBlock)
{
    const DelimiterSwap swap(old, replacement);
    const DelimiterSwap asciiSwap(old, replacement, true);
    // Only a swap of a byte above 127 needs each record's encoding.
    const bool decide = swap.TouchesNonAscii();
    int64_t replaced = 0;
    // Every record takes a new text: the old ones stay as the undo point holds them.
    size_t bytes = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i)
        bytes += store.Records[static_cast<size_t>(i)].size();
    const RecordArena::Expecting newTexts(bytes);
    RecordArena& arena = RecordArena::OfThisThread();
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        RecordText& record = store.Records[static_cast<size_t>(i)];
        const std::string_view text = record;
        const bool utf8 = decide && RecordEncoding(text, endOfBlock) == TextEncoding::Utf8;
        const DelimiterSwap& used = utf8 ? asciiSwap : swap;
        record = arena.Make(
            text.size(), [&](char* out) { replaced += used.Apply(text.data(), out, text.size()); });
    }
    return replaced;
}

std::string ChangeDelimitersPrompt(const Delimiters& d)
{
    std::string p =
        "WARNING: CHANGING DELIMITERS WILL MAKE YOUR DATA UNPARSABLE IF ANY OF THE NEW "
        "DELIMITERS ARE CURRENTLY CONSIDERED PART OF THE DATA WITHIN FIELDS. USE 'UNDO' "
        "IF THE RECORDS ARE UNPARSABLE AFTER CHANGING THE DELIMITERS.\r\n"
        "\r\n"
        "The current message delimiters are:\r\n"
        "\r\n";
    p += d.FieldSeparator + "  Field Separator\r\n";
    p += d.ComponentSeparator + "  Component Separator    \r\n";
    p += d.RepetitionSeparator + "  Repetition Separator   \r\n";
    p += d.EscapeCharacter + "  Escape Character       \r\n";
    p += d.SubcomponentSeparator + "  Subcomponent Separator \r\n";
    p += "\r\n"
         "Please enter five characters, in the same order, which will replace the above "
         "characters as the message delimiters:";
    return p;
}

}  // namespace quillon
