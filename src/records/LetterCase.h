#pragma once
// Letter case of record bytes: the one fold that every command ignoring case uses (find,
// replace, filter, unique values, change delimiters), so they all agree on which bytes are the
// same letter. In a Latin-1 record a letter is one byte; in a UTF-8 record the same letters
// fold, in their UTF-8 forms. The pairs are those that upper-casing Latin-1
// text makes: a-z and the accented small letters 0xE0-0xFE (not the division sign 0xF7) with the
// capital 0x20 below. The sharp s and y-diaeresis have no Latin-1 capital and pair with nothing.
// As every pair differs in bit 0x20 alone, a sieve or a hash may set that bit on letters.
#include <array>

namespace quillon {

namespace letter_case_detail {
constexpr std::array<unsigned char, 256> MakeFold()
{
    std::array<unsigned char, 256> fold{};
    for (int c = 0; c < 256; ++c) {
        const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        fold[static_cast<size_t>(c)] = static_cast<unsigned char>(capital ? c + 0x20 : c);
    }
    return fold;
}
}  // namespace letter_case_detail

// Each byte folded: a capital becomes its small letter, every other byte stays.
inline constexpr std::array<unsigned char, 256> CaseFold = letter_case_detail::MakeFold();

constexpr unsigned char FoldCase(unsigned char c) { return CaseFold[c]; }

// Whether the byte is a letter with another case (which is then c ^ 0x20).
constexpr bool HasOtherCase(unsigned char c) { return CaseFold[c] == CaseFold[c ^ 0x20u]; }

// The other case of a letter; any other byte itself.
constexpr unsigned char OtherCase(unsigned char c)
{
    return HasOtherCase(c) ? static_cast<unsigned char>(c ^ 0x20u) : c;
}

// In UTF-8 the Latin-1 letters above 127 are the byte C3 followed by the letter less 0x40, so
// their pairs too differ in bit 0x20 of that second byte: whether a byte that follows C3 is
// such a letter with another case (which is then c ^ 0x20).
constexpr bool HasOtherCaseAfterC3(unsigned char c)
{
    return c >= 0x80 && c <= 0xBF && HasOtherCase(static_cast<unsigned char>(c + 0x40));
}

}  // namespace quillon
