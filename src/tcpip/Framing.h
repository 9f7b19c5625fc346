#pragma once
// The TCP/IP wire format: records framed by the envelope characters, the end-of-record rule,
// the acknowledgements the server sends and the client's acknowledgement test. Pure functions.
#include <cstdint>
#include <string>
#include <string_view>

#include "records/RecordStore.h"

namespace quillon {

// Start-of-block, the record, end-of-data, end-of-block.
std::string FrameRecord(std::string_view record, const EnvelopeChars& envelope);

// Position of the first end-of-data character immediately followed by an end-of-block
// character, or npos when the buffer holds no complete record yet.
size_t FindRecordEnd(std::string_view buffer, const EnvelopeChars& envelope);

// The generated ACK for the received record text `record` (still ending with the end-of-data
// character), whose header segment is named `headerName`; empty when the header has no ninth
// field.
std::string GenerateAck(std::string_view record, std::string_view headerName,
                        const Delimiters& delimiters, const EnvelopeChars& envelope,
                        std::string_view ackText);

// Whether a reply counts as an acknowledgement: it contains `ackText` (ACK type 0) or the
// characters of `ackBytes` (other types), anywhere.
bool IsAcknowledgement(std::string_view reply, int16_t useAckBytes, std::string_view ackText,
                       std::string ackBytes);

// The first item of a configuration line or ACK file: leading blanks skipped; a quoted item runs
// to the next quote (taken without the quotes); any other to the next comma or line end.
std::string ReadFirstItem(std::string_view text);

}  // namespace quillon
