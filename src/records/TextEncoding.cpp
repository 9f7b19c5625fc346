#include "records/TextEncoding.h"

#include <QByteArrayView>
#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {
namespace {

constexpr size_t npos = std::string_view::npos;
constexpr char16_t kReplacement = 0xFFFD;

bool Ends(unsigned char c, char endOfBlock) { return c < 0x20 || c == static_cast<unsigned char>(endOfBlock); }

// The length of the well-formed UTF-8 character at `p` (1 to 4), or 0 when the bytes there
// begin none: no overlong forms, no surrogates, nothing above U+10FFFF.
int WellFormed(const unsigned char* p, const unsigned char* end)
{
    const unsigned char b = *p;
    if (b < 0x80)
        return 1;
    const size_t left = static_cast<size_t>(end - p);
    auto tail = [&](size_t i) { return i < left && (p[i] & 0xC0) == 0x80; };
    if (b >= 0xC2 && b <= 0xDF)
        return tail(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 2)
            return 0;
        const unsigned char lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
        return p[1] >= lo && p[1] <= hi && tail(2) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 2)
            return 0;
        const unsigned char lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
        return p[1] >= lo && p[1] <= hi && tail(2) && tail(3) ? 4 : 0;
    }
    return 0;
}

char32_t CodePoint(const unsigned char* p, int n)
{
    switch (n) {
    case 2:
        return (char32_t{p[0]} & 0x1F) << 6 | (p[1] & 0x3F);
    case 3:
        return (char32_t{p[0]} & 0x0F) << 12 | (char32_t{p[1]} & 0x3F) << 6 | (p[2] & 0x3F);
    case 4:
        return (char32_t{p[0]} & 0x07) << 18 | (char32_t{p[1]} & 0x3F) << 12
               | (char32_t{p[2]} & 0x3F) << 6 | (p[3] & 0x3F);
    default:
        return p[0];
    }
}

// A piece of UTF-8 bytes: a run of ASCII, one well-formed character, or one byte that begins
// none (shown as one U+FFFD).
struct Piece {
    size_t at = 0;
    size_t length = 0;
    qsizetype units = 0;  // UTF-16 units of its text
    bool ascii = false;
    bool valid = true;
};

// Walks UTF-8 bytes piece by piece; stops early when `visit` answers false.
template <typename Visit>
void WalkUtf8(std::string_view bytes, Visit&& visit)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    size_t at = 0;
    while (at < bytes.size()) {
        Piece piece;
        piece.at = at;
        const size_t high = FirstNonAscii(bytes.substr(at));
        if (high != 0) {
            piece.length = high == npos ? bytes.size() - at : high;
            piece.units = static_cast<qsizetype>(piece.length);
            piece.ascii = true;
        } else {
            const int n = WellFormed(p + at, end);
            piece.valid = n > 0;
            piece.length = n > 0 ? static_cast<size_t>(n) : 1;
            piece.units = n == 4 ? 2 : 1;
        }
        if (!visit(piece))
            return;
        at += piece.length;
    }
}

}  // namespace

size_t FirstNonAscii(std::string_view bytes)
{
    const char* p = bytes.data();
    const size_t n = bytes.size();
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const int mask = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return i;
    return npos;
}

std::string_view DeclaredCharacterSet(std::string_view record, char endOfBlock)
{
    if (record.size() < 4 || !record.starts_with("MSH"))
        return {};
    const char field = record[3];
    if (Ends(static_cast<unsigned char>(field), endOfBlock))
        return {};
    // MSH-18 follows the 17th field separator, MSH-1 being the first.
    size_t at = 3;
    for (int separators = 1; separators < 17; ++separators) {
        ++at;
        while (at < record.size() && record[at] != field) {
            if (Ends(static_cast<unsigned char>(record[at]), endOfBlock))
                return {};
            ++at;
        }
        if (at >= record.size())
            return {};
    }
    const size_t begin = at + 1;
    // MSH-2's second character separates repetitions.
    const size_t encodingEnd = record.find(field, 4);
    const char repetition = encodingEnd != npos && encodingEnd > 5 ? record[5] : field;
    size_t end = begin;
    // and its first character components: the first component of the first repetition.
    const char component = encodingEnd != npos && encodingEnd > 4 ? record[4] : field;
    while (end < record.size() && record[end] != field && record[end] != repetition
           && record[end] != component && !Ends(static_cast<unsigned char>(record[end]), endOfBlock))
        ++end;
    std::string_view value = record.substr(begin, end - begin);
    while (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ')
        value.remove_suffix(1);
    return value;
}

namespace {

// The name without letter case: capitals, and blanks around it trimmed.
std::string UpperName(std::string_view name)
{
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
    return upper;
}

}  // namespace

bool NamesUtf8(std::string_view characterSet)
{
    std::string name = UpperName(characterSet);
    if (name.starts_with("UNICODE "))
        name = UpperName(std::string_view(name).substr(8));
    return name == "UTF-8" || name == "UTF8";
}

bool NamesSingleByteSet(std::string_view characterSet)
{
    const std::string name = UpperName(characterSet);
    static constexpr std::string_view known[] = {
        "ASCII",  "8859/1", "8859/2", "8859/3", "8859/4",   "8859/5",   "8859/6",    "8859/7",
        "8859/8", "8859/9", "8859/15", "ISO IR6", "ISO IR14", "ISO IR100", "ISO-8859-1", "LATIN1",
        "WINDOWS-1252", "CP1252"};
    return std::find(std::begin(known), std::end(known), name) != std::end(known);
}

TextEncoding RecordEncoding(std::string_view record, char endOfBlock)
{
    const size_t high = FirstNonAscii(record);
    if (high == npos)
        return TextEncoding::Latin1;
    const std::string_view declared = DeclaredCharacterSet(record, endOfBlock);
    if (NamesUtf8(declared))
        return TextEncoding::Utf8;
    if (NamesSingleByteSet(declared))
        return TextEncoding::Latin1;
    // Empty, or a set not known here: the bytes decide.
    // Everything before the first byte above 127 is ASCII, so that byte begins a character.
    return QByteArrayView(record.substr(high)).isValidUtf8() ? TextEncoding::Utf8
                                                              : TextEncoding::Latin1;
}

QString DecodeText(std::string_view bytes, TextEncoding encoding)
{
    const auto size = static_cast<qsizetype>(bytes.size());
    if (encoding == TextEncoding::Latin1)
        return QString::fromLatin1(bytes.data(), size);
    if (QByteArrayView(bytes).isValidUtf8())
        return QString::fromUtf8(bytes.data(), size);
    QString text;
    text.reserve(size);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    WalkUtf8(bytes, [&](const Piece& piece) {
        if (piece.ascii) {
            text += QLatin1StringView(bytes.data() + piece.at, static_cast<qsizetype>(piece.length));
        } else if (!piece.valid) {
            text += QChar(kReplacement);
        } else {
            const char32_t c = CodePoint(p + piece.at, static_cast<int>(piece.length));
            if (c >= 0x10000) {
                text += QChar(QChar::highSurrogate(c));
                text += QChar(QChar::lowSurrogate(c));
            } else {
                text += QChar(static_cast<char16_t>(c));
            }
        }
        return true;
    });
    return text;
}

std::string EncodeText(QStringView text, TextEncoding encoding)
{
    const QByteArray bytes = encoding == TextEncoding::Utf8 ? text.toUtf8() : text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool FitsLatin1(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

QString FirstBeyondLatin1(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() <= 0xFF)
            continue;
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        return text.mid(i, pair ? 2 : 1).toString();
    }
    return {};
}

int Utf8CharLength(std::string_view bytes, size_t at)
{
    if (at >= bytes.size())
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    return WellFormed(p + at, p + bytes.size());
}

qsizetype TextLength(std::string_view bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Latin1)
        return static_cast<qsizetype>(bytes.size());
    qsizetype units = 0;
    WalkUtf8(bytes, [&](const Piece& piece) {
        units += piece.units;
        return true;
    });
    return units;
}

size_t ByteOffset(std::string_view bytes, TextEncoding encoding, qsizetype unit)
{
    if (unit <= 0)
        return 0;
    if (encoding == TextEncoding::Latin1)
        return std::min(static_cast<size_t>(unit), bytes.size());
    size_t offset = bytes.size();
    qsizetype units = 0;
    WalkUtf8(bytes, [&](const Piece& piece) {
        if (units + piece.units <= unit) {
            units += piece.units;
            return true;
        }
        // In an ASCII run every unit is a byte; otherwise the piece's start.
        offset = piece.at + (piece.ascii ? static_cast<size_t>(unit - units) : 0);
        return false;
    });
    return offset;
}

namespace {

bool ReadsAs(std::string_view bytes, QStringView text, char endOfBlock)
{
    return DecodeText(bytes, RecordEncoding(bytes, endOfBlock)) == text;
}

// The original's bytes before and after what changed, the text between written in `encoding`;
// nothing when that encoding cannot hold the text between.
std::optional<std::string> EditedBytes(std::string_view original, TextEncoding encoding, QStringView text)
{
    const QString was = DecodeText(original, encoding);
    const qsizetype shorter = std::min(was.size(), text.size());
    qsizetype head = 0;
    while (head < shorter && was[head] == text[head])
        ++head;
    if (head > 0 && was[head - 1].isHighSurrogate())
        --head;
    qsizetype tail = 0;
    while (tail < shorter - head && was[was.size() - 1 - tail] == text[text.size() - 1 - tail])
        ++tail;
    if (tail > 0 && was[was.size() - tail].isLowSurrogate())
        --tail;
    const QStringView typed = text.mid(head, text.size() - tail - head);
    if (encoding == TextEncoding::Latin1 && !FitsLatin1(typed))
        return std::nullopt;
    const size_t keepHead = ByteOffset(original, encoding, head);
    const size_t keepTail = ByteOffset(original, encoding, was.size() - tail);
    std::string bytes(original.substr(0, keepHead));
    bytes += EncodeText(typed, encoding);
    bytes += original.substr(keepTail);
    return bytes;
}

}  // namespace

std::optional<std::string> TypedRecordBytes(QStringView text, std::string_view original,
                                            char endOfBlock)
{
    const TextEncoding was = RecordEncoding(original, endOfBlock);
    std::optional<std::string> bytes = EditedBytes(original, was, text);
    if (bytes && ReadsAs(*bytes, text, endOfBlock))
        return bytes;
    // Written anew only where no byte of the record stands to be kept, or where the edit changed
    // the character set the record declares.
    const std::string typedBytes = EncodeText(text, TextEncoding::Latin1);
    if (original.empty()
        || DeclaredCharacterSet(typedBytes, endOfBlock) != DeclaredCharacterSet(original, endOfBlock)) {
        const TextEncoding other = was == TextEncoding::Latin1 ? TextEncoding::Utf8 : TextEncoding::Latin1;
        if (other == TextEncoding::Utf8 || FitsLatin1(text)) {
            std::string whole = EncodeText(text, other);
            if (ReadsAs(whole, text, endOfBlock))
                return whole;
        }
    }
    // Plain ASCII reads the same in UTF-8: the new characters may come as UTF-8 when the whole
    // record then reads so.
    if (was == TextEncoding::Latin1 && IsAscii(original)) {
        std::optional<std::string> utf8 = EditedBytes(original, TextEncoding::Utf8, text);
        if (utf8 && ReadsAs(*utf8, text, endOfBlock))
            return utf8;
    }
    return bytes;
}

}  // namespace quillon
