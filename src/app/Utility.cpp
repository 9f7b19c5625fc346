#include "app/Utility.h"

#include <QByteArrayView>
#include <algorithm>

namespace quillon {

int16_t CountChar(std::string_view text, std::string_view character)
{
    if (character.size() != 1)
        return 0;
    return static_cast<int16_t>(std::count(text.begin(), text.end(), character.front()));
}

namespace {

std::string LeftOutNote(size_t count)
{
    return " ... (" + std::to_string(count) + " more characters not shown)";
}

}  // namespace

std::string BoundedQuote(std::string_view text)
{
    if (text.size() <= QuotedTextLimit)
        return std::string(text);
    if (!QByteArrayView(text).isValidUtf8())
        return std::string(text.substr(0, QuotedTextLimit))
               + LeftOutNote(text.size() - QuotedTextLimit);
    // A typed text is UTF-8: characters are counted, and none is cut.
    auto starts = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
    size_t kept = 0;
    size_t characters = 0;
    while (kept < text.size() && characters < QuotedTextLimit) {
        ++kept;
        while (kept < text.size() && !starts(text[kept]))
            ++kept;
        ++characters;
    }
    const auto left = static_cast<size_t>(std::count_if(text.begin() + static_cast<ptrdiff_t>(kept),
                                                        text.end(), starts));
    if (left == 0)
        return std::string(text);
    return std::string(text.substr(0, kept)) + LeftOutNote(left);
}

QString BoundedQuote(const QString& text)
{
    const qsizetype limit = static_cast<qsizetype>(QuotedTextLimit);
    if (text.size() <= limit)
        return text;
    // A character outside the basic plane is not cut in half.
    const qsizetype kept = text.at(limit - 1).isHighSurrogate() ? limit - 1 : limit;
    return text.left(kept)
           + QString::fromStdString(LeftOutNote(static_cast<size_t>(text.size() - kept)));
}

}  // namespace quillon
