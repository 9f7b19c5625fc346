#pragma once
// Records are bytes; the text they stand for depends on the record. One rule decides it: UTF-8
// when the record's MSH-18 (its first repetition) names UTF-8, or when MSH-18 is empty or names
// no set known here and the bytes are valid UTF-8 holding a character of more than one byte;
// Latin-1 otherwise. Record
// bytes become text, and typed text becomes record bytes, only through the functions here.
#include <QString>
#include <QStringView>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

enum class TextEncoding : unsigned char { Latin1, Utf8 };

// The first component of the first repetition of MSH-18 of the MSH segment the record begins with, blanks trimmed;
// empty when the record begins with no MSH segment or its MSH has no MSH-18. The segment ends at
// `endOfBlock` or any other control character.
std::string_view DeclaredCharacterSet(std::string_view record, char endOfBlock = '\r');

// Whether a character set named in MSH-18 is UTF-8: "UTF-8" or "UTF8", with or without
// "UNICODE " before it, in any letter case.
bool NamesUtf8(std::string_view characterSet);
// Whether it names a set of one byte a character ("8859/1", "ASCII", ...): such a record is
// Latin-1. A name neither of these knows leaves the decision to the bytes.
bool NamesSingleByteSet(std::string_view characterSet);

// The rule. A record of plain ASCII reads the same either way and answers Latin-1 without
// looking at MSH-18. Validation runs over the bytes once, at memory speed.
TextEncoding RecordEncoding(std::string_view record, char endOfBlock = '\r');

// The first byte above 127, or npos.
size_t FirstNonAscii(std::string_view bytes);
inline bool IsAscii(std::string_view bytes) { return FirstNonAscii(bytes) == std::string_view::npos; }

// Bytes as text: Latin-1 one character a byte; UTF-8 with U+FFFD for each byte that begins no
// well-formed character (so a declared UTF-8 record with stray bytes shows where they are).
QString DecodeText(std::string_view bytes, TextEncoding encoding);

// Text as bytes: UTF-8; or Latin-1, with "?" for a character Latin-1 lacks (callers that write
// typed text into records first make sure it fits).
std::string EncodeText(QStringView text, TextEncoding encoding);

// Whether Latin-1 has every character of the text.
bool FitsLatin1(QStringView text);
// The first character of the text that Latin-1 lacks (both halves of a surrogate pair); empty
// when there is none.
QString FirstBeyondLatin1(QStringView text);

// The length of the well-formed UTF-8 character that begins at byte `at` (1 to 4), or 0 when the
// bytes there begin none.
int Utf8CharLength(std::string_view bytes, size_t at);

// The length in UTF-16 units of the text the bytes stand for (DecodeText(...).size()).
qsizetype TextLength(std::string_view bytes, TextEncoding encoding);
// The byte where text unit `unit` begins; a unit past the end gives the size. A unit inside a
// character of two units gives where that character begins.
size_t ByteOffset(std::string_view bytes, TextEncoding encoding, qsizetype unit);

// The bytes of a record whose text was typed or edited in a window, `original` being the record
// before (empty for a new one). Where the text is that of the original, its bytes stay as they
// were, invalid ones too; the rest is written in the original's encoding. When the bytes would
// then not read back as the text, the whole text is written in the encoding that reads back,
// but only for a new record or one whose MSH-18 the edit changed; a plain-ASCII record may take
// the new characters as UTF-8 where it then reads as UTF-8. Nothing when the record's character
// set cannot hold a character of the text: no byte is ever written as "?".
std::optional<std::string> TypedRecordBytes(QStringView text, std::string_view original,
                                            char endOfBlock = '\r');

}  // namespace quillon
