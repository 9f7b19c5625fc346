#include "tcpip/Framing.h"

#include <algorithm>

#include "records/FieldDesignations.h"
#include "tcpip/NumberBase.h"
#include "tcpip/ServerConfig.h"

namespace quillon {

std::string FrameRecord(std::string_view record, const EnvelopeChars& envelope)
{
    std::string frame;
    frame.reserve(record.size() + 3);
    frame += envelope.StartOfBlockChar;
    frame += record;
    frame += envelope.EndOfDataChar;
    frame += envelope.EndOfBlockChar;
    return frame;
}

size_t FindRecordEnd(std::string_view buffer, const EnvelopeChars& envelope)
{
    const char end[] = {envelope.EndOfDataChar, envelope.EndOfBlockChar};
    return buffer.find(std::string_view(end, 2));
}

// The copy of MSH-10 and the fields after it stops at the end of the MSH segment or, for a
// record whose only segment is not terminated, at the end of the record text (the closing
// end-of-data character is not part of it). Segments may end in CR, LF or CR LF whatever the
// end-of-block character is, so the header also ends at the first CR or LF: nothing of a later
// segment goes back to the sender. A header without MSH-10 gives an ACK whose MSH ends with
// "ACK" and its field separator, and an MSA with an empty control ID.
std::string GenerateAck(std::string_view record, std::string_view headerName,
                        const Delimiters& delimiters, const EnvelopeChars& envelope,
                        std::string_view ackText)
{
    std::string_view text = record;
    if (!text.empty() && text.back() == envelope.EndOfDataChar)
        text.remove_suffix(1);
    const std::string header(headerName);
    const std::string& fieldSeparator = delimiters.FieldSeparator;
    const char endOfBlock = envelope.EndOfBlockChar;
    // Segments ended by line breaks instead: the header is the text before the first one.
    if (const size_t lineEnd = text.find_first_of("\r\n"); lineEnd < text.find(endOfBlock))
        text = text.substr(0, lineEnd);
    const char segmentEnds[] = {endOfBlock, '\r', '\n'};

    int32_t messageTypeStart = 0;
    int32_t length = 0;
    WhatIsInField(text, header + "-9", messageTypeStart, length, delimiters, endOfBlock);
    if (messageTypeStart <= 0)
        return {};

    std::string ack(1, envelope.StartOfBlockChar);
    ack += text.substr(0, static_cast<size_t>(messageTypeStart - 1));
    if (!ack.ends_with(fieldSeparator))
        ack += fieldSeparator;
    ack += "ACK";
    ack += fieldSeparator;

    int32_t controlIdStart = 0;
    const std::string controlId =
        WhatIsInField(text, header + "-10", controlIdStart, length, delimiters, endOfBlock);
    if (controlIdStart > 0) {
        const size_t from = static_cast<size_t>(controlIdStart - 1);
        size_t to = text.find_first_of(std::string_view(segmentEnds, 3), from);
        if (to == std::string_view::npos)
            to = text.size();
        ack += text.substr(from, to - from);
    }
    ack += endOfBlock;

    ack += ackText;
    ack += fieldSeparator;
    ack += controlId;
    ack += fieldSeparator;
    ack += "ACK Created by QN";
    ack += endOfBlock;
    ack += envelope.EndOfDataChar;
    ack += endOfBlock;
    return ack;
}

bool IsAcknowledgement(std::string_view reply, int16_t useAckBytes, std::string_view ackText,
                       std::string ackBytes)
{
    // An empty reply holds nothing, not even an empty ACK text.
    if (reply.empty())
        return false;
    if (useAckBytes == 0)
        return reply.find(ackText) != std::string_view::npos;
    return reply.find(HexListToString(ackBytes)) != std::string_view::npos;
}

std::string ReadFirstItem(std::string_view text)
{
    const std::vector<std::string> items = ReadConfigItems(text, 1);
    return items.empty() ? std::string() : items.front();
}

}  // namespace quillon
