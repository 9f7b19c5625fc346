#include "editing/ChangeDelimiters.h"

#include <array>
#include <cstring>
#include <utility>

#include "app/ProgressPacer.h"
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

namespace {

// `K` old bytes, distinct, so each byte of the text matches at most one of them: a byte's new
// value is itself flipped by its match's difference, and the matches are tested side by side
// rather than one after another.
template <int K>
int64_t SwapBytes(const unsigned char* in, unsigned char* out, size_t n, const unsigned char* from,
                  const unsigned char* to)
{
    Bytes16 old[K], flip[K];
    for (int k = 0; k < K; ++k) {
        old[k] = Bytes16{} + from[k];
        flip[k] = Bytes16{} + static_cast<unsigned char>(from[k] ^ to[k]);
    }
    const auto swap16 = [&](Bytes16& v) {
        Bytes16 change{}, hit{};
#pragma GCC unroll 10
        for (int k = 0; k < K; ++k) {
            const Bytes16 match = (Bytes16)(v == old[k]);
            change |= match & flip[k];
            hit |= match;
        }
        v ^= change;
        return hit;
    };
    int64_t replaced = 0;
    size_t i = 0;
    while (i + 16 <= n) {
        // Lane counters hold at most 255 hits, so they are summed every 255 blocks.
        Bytes16 hits{};
        for (size_t blocks = 0; i + 16 <= n && blocks < 255; i += 16, ++blocks) {
            Bytes16 v;
            std::memcpy(&v, in + i, 16);
            hits -= swap16(v);  // a hit is all ones
            std::memcpy(out + i, &v, 16);
        }
        for (int lane = 0; lane < 16; ++lane)
            replaced += hits[lane];
    }
    if (i < n) {
        // The last bytes go through a block of their own; only the lanes that hold them count.
        const size_t rest = n - i;
        Bytes16 v{};
        std::memcpy(&v, in + i, rest);
        const Bytes16 hit = swap16(v);
        std::memcpy(out + i, &v, rest);
        for (size_t lane = 0; lane < rest; ++lane)
            replaced += hit[lane] & 1;
    }
    return replaced;
}

using SwapFunction = int64_t (*)(const unsigned char*, unsigned char*, size_t, const unsigned char*,
                                 const unsigned char*);

template <int... K>
constexpr std::array<SwapFunction, sizeof...(K)> SwapTable(std::integer_sequence<int, K...>)
{
    return {SwapBytes<K + 1>...};
}
// By the number of old bytes, 1 to 10.
constexpr auto kSwaps = SwapTable(std::make_integer_sequence<int, 10>());

}  // namespace

int64_t DelimiterSwap::Apply(const char* source, char* target, size_t n) const
{
    if (n == 0)
        return 0;
    if (count_ == 0) {
        if (target != source)
            std::memcpy(target, source, n);
        return 0;
    }
    return kSwaps[static_cast<size_t>(count_ - 1)](reinterpret_cast<const unsigned char*>(source),
                                                   reinterpret_cast<unsigned char*>(target), n,
                                                   from_, to_);
}

int64_t ChangeDelimiters(RecordStore& store, const Delimiters& old, std::string_view replacement,
                         char endOfBlock, const std::function<void()>& keepAlive)
{
    const DelimiterSwap swap(old, replacement);
    const DelimiterSwap asciiSwap(old, replacement, true);
    // Only a swap of a byte above 127 needs each record's encoding.
    const bool decide = swap.TouchesNonAscii();
    int64_t replaced = 0;
    // Every record takes a new text: the old ones stay as the undo point holds them.
    const RecordArena::Expecting newTexts(store.BytesAbout(1, store.RecordCount));
    RecordArena& arena = RecordArena::OfThisThread();
    // The first turn comes soon after the start (the undo point took its time), later ones every
    // 50 ms.
    ProgressPacer pacer;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        RecordText& record = store.Records[static_cast<size_t>(i)];
        const std::string_view text = record;
        if (keepAlive && pacer.Due(text.size()))
            keepAlive();
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
