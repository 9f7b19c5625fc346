#include "app/Utility.h"

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
    return std::string(text.substr(0, QuotedTextLimit))
           + LeftOutNote(text.size() - QuotedTextLimit);
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
