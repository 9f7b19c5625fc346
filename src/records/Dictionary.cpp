#include "records/Dictionary.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <numeric>
#include <utility>

#include "platform/FileIO.h"

// The built-in fsa.dat lives in this static library's resources, which have to be registered
// by name from outside any namespace.
static void InitDictionaryResources()
{
    Q_INIT_RESOURCE(dictionary);
}

namespace quillon {

namespace {

constexpr std::string_view kBlanks = " ";

std::string_view TrimBlanks(std::string_view s)
{
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const size_t last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

// Splits at LF, CR LF or CR. A line end at the very end does not start another line.
std::vector<std::string_view> SplitLines(std::string_view content)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < content.size()) {
        const size_t end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(content.substr(start));
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 1;
        if (content[end] == '\r' && start < content.size() && content[start] == '\n')
            ++start;
    }
    return lines;
}

// Index of `key` in the sorted `keys`, or -1.
std::ptrdiff_t FindKey(const std::vector<std::string>& keys, std::string_view key)
{
    const auto it = std::lower_bound(
        keys.begin(), keys.end(), key,
        [](const std::string& a, std::string_view b) { return std::string_view(a) < b; });
    if (it == keys.end() || std::string_view(*it) != key)
        return -1;
    return it - keys.begin();
}

std::string_view SegmentNameOf(std::string_view key) { return key.substr(0, 3); }

struct Entry {
    std::string key;
    std::string description;
};

bool KeyLess(const Entry& a, const Entry& b) { return a.key < b.key; }

// Sorts by key keeping the file order of equal keys, then keeps only the last of each key.
void SortKeepingLast(std::vector<Entry>& entries)
{
    std::stable_sort(entries.begin(), entries.end(), KeyLess);
    size_t out = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i + 1 < entries.size() && entries[i + 1].key == entries[i].key)
            continue;
        if (out != i)
            entries[out] = std::move(entries[i]);
        ++out;
    }
    entries.resize(out);
}

enum class UserFileRead { Missing, Unreadable, Read };

// Reads a z-segments.dat or data-desc.dat style file: the entries in file order.
UserFileRead ReadUserFile(const QString& path, std::vector<Entry>& entries,
                          const std::function<void(const std::string& line)>& badLine)
{
    entries.clear();
    if (!QFileInfo::exists(path))
        return UserFileRead::Missing;
    std::string content;
    if (platform::ReadWholeFile(path, content).error != platform::ReadError::None)
        return UserFileRead::Unreadable;
    std::string key;
    std::string description;
    for (const std::string_view line : SplitLines(content)) {
        switch (ParseDescriptionLine(line, key, description)) {
        case DescriptionLine::Comment:
            break;
        case DescriptionLine::Entry:
            entries.push_back({key, description});
            break;
        case DescriptionLine::Bad:
            if (badLine)
                badLine(std::string(line));
            break;
        }
    }
    return UserFileRead::Read;
}

QString UnreadableMessage(const QString& path)
{
    return QStringLiteral("The file '%1' could not be read. Its descriptions will not be used.")
        .arg(path);
}

// Keeps at most MaxUserEntries; answers whether anything was cut.
bool CapUserEntries(std::vector<Entry>& entries)
{
    if (entries.size() <= static_cast<size_t>(DescriptionDictionary::MaxUserEntries))
        return false;
    entries.resize(DescriptionDictionary::MaxUserEntries);
    return true;
}

QString UserCapMessage(const QString& path)
{
    return QStringLiteral("The file '%1' holds more than %2 entries; only the first %2 in key "
                          "order are used.")
        .arg(path)
        .arg(DescriptionDictionary::MaxUserEntries);
}

}  // namespace

// ---------------------------------------------------------------- stored form of fsa.dat

std::string DecodeFsaLine(std::string_view stored) { return std::string(stored); }

std::string EncodeFsaLine(std::string_view plain) { return std::string(plain); }

// ---------------------------------------------------------------- reading

DescriptionLine ParseDescriptionLine(std::string_view line, std::string& key,
                                     std::string& description)
{
    key.clear();
    description.clear();
    std::string text(line);
    std::replace(text.begin(), text.end(), '\t', ' ');
    std::string_view rest = TrimBlanks(text);
    if (rest.empty() || rest.front() == '#' || rest.front() == ';' || rest.front() == '\'')
        return DescriptionLine::Comment;
    if (const size_t semicolon = rest.find(';'); semicolon != std::string_view::npos)
        rest = TrimBlanks(rest.substr(0, semicolon));
    size_t separator = rest.find(',');
    if (separator == std::string_view::npos)
        separator = rest.find(' ');
    // No separator, or nothing before it: there is no key to file the line under.
    if (separator == std::string_view::npos || separator == 0)
        return DescriptionLine::Bad;
    key.assign(rest.substr(0, separator));
    description.assign(TrimBlanks(rest.substr(separator + 1)));
    return DescriptionLine::Entry;
}

QStringList DescriptionDictionary::LoadFsa(const QString& path)
{
    DescriptionKeys.clear();
    Descriptions.clear();
    SegmentNames.clear();
    QStringList messages;

    std::string content;
    if (!QFileInfo(path).isFile() ||
        platform::ReadWholeFile(path, content).error != platform::ReadError::None) {
        messages << QStringLiteral("The description file '%1' could not be read. Descriptions "
                                   "will not be shown.")
                        .arg(path);
        return messages;
    }

    const std::vector<std::string_view> lines = SplitLines(content);
    // A last key without its description line is dropped.
    const size_t pairs = lines.size() / 2;
    DescriptionKeys.reserve(pairs);
    Descriptions.reserve(pairs);
    for (size_t i = 0; i < pairs; ++i) {
        DescriptionKeys.push_back(DecodeFsaLine(lines[2 * i]));
        Descriptions.push_back(DecodeFsaLine(lines[2 * i + 1]));
    }
    content.clear();
    content.shrink_to_fit();

    if (!std::is_sorted(DescriptionKeys.begin(), DescriptionKeys.end())) {
        std::vector<size_t> order(pairs);
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
            return DescriptionKeys[a] < DescriptionKeys[b];
        });
        std::vector<std::string> keys;
        std::vector<std::string> descriptions;
        keys.reserve(pairs);
        descriptions.reserve(pairs);
        for (const size_t i : order) {
            keys.push_back(std::move(DescriptionKeys[i]));
            descriptions.push_back(std::move(Descriptions[i]));
        }
        DescriptionKeys = std::move(keys);
        Descriptions = std::move(descriptions);
    }

    if (DescriptionKeys.size() > static_cast<size_t>(MaxEntries)) {
        DescriptionKeys.resize(MaxEntries);
        Descriptions.resize(MaxEntries);
        messages << QStringLiteral("The description file '%1' holds more than %2 entries. It "
                                   "was cut at %2; the entries after it have no description.")
                        .arg(path)
                        .arg(MaxEntries);
    }

    std::string_view previous;
    for (const std::string& key : DescriptionKeys) {
        const std::string_view name = SegmentNameOf(key);
        if (name == previous)
            continue;
        previous = name;
        if (SegmentNames.size() == static_cast<size_t>(MaxSegmentNames)) {
            messages << QStringLiteral("The description file '%1' names more than %2 segments. "
                                       "The segment lists were cut at %2.")
                            .arg(path)
                            .arg(MaxSegmentNames);
            break;
        }
        SegmentNames.emplace_back(name);
    }
    return messages;
}

namespace {

// Reads a user description file into `entries`, sorted by key with the last of equal keys kept
// and cut at the cap; false when there is nothing to use (missing or unreadable file).
bool ReadSortedUserFile(const QString& path,
                        const std::function<void(const std::string& line)>& badLine,
                        std::vector<Entry>& entries, QStringList& messages)
{
    switch (ReadUserFile(path, entries, badLine)) {
    case UserFileRead::Missing:
        return false;
    case UserFileRead::Unreadable:
        messages << UnreadableMessage(path);
        return false;
    case UserFileRead::Read:
        break;
    }
    SortKeepingLast(entries);
    if (CapUserEntries(entries))
        messages << UserCapMessage(path);
    return true;
}

}  // namespace

QStringList DescriptionDictionary::LoadZSegments(
    const QString& path, const std::function<void(const std::string& line)>& badLine)
{
    ZSegmentKeys.clear();
    ZSegmentDescriptions.clear();
    QStringList messages;

    std::vector<Entry> entries;
    if (!ReadSortedUserFile(path, badLine, entries, messages))
        return messages;

    ZSegmentKeys.reserve(entries.size());
    ZSegmentDescriptions.reserve(entries.size());
    for (const Entry& e : entries) {
        ZSegmentKeys.push_back(e.key);
        ZSegmentDescriptions.push_back(e.description);
    }

    // Merge the two sorted tables in one pass.
    const size_t count = DescriptionKeys.size();
    std::vector<std::string> keys;
    std::vector<std::string> descriptions;
    keys.reserve(count + entries.size());
    descriptions.reserve(count + entries.size());
    size_t i = 0;
    size_t j = 0;
    while (i < count || j < entries.size()) {
        if (j == entries.size() || (i < count && DescriptionKeys[i] < entries[j].key)) {
            keys.push_back(std::move(DescriptionKeys[i]));
            descriptions.push_back(std::move(Descriptions[i]));
            ++i;
        } else if (i == count || entries[j].key < DescriptionKeys[i]) {
            keys.push_back(std::move(entries[j].key));
            descriptions.push_back(std::move(entries[j].description));
            ++j;
        } else {
            // Known key: every entry under it takes the new description.
            while (i < count && DescriptionKeys[i] == entries[j].key) {
                keys.push_back(std::move(DescriptionKeys[i]));
                descriptions.push_back(entries[j].description);
                ++i;
            }
            ++j;
        }
    }
    if (keys.size() > static_cast<size_t>(MaxEntries)) {
        keys.resize(MaxEntries);
        descriptions.resize(MaxEntries);
        messages << QStringLiteral("With the entries of '%1' the descriptions would pass %2 "
                                   "entries. Only the first %2 in key order are kept.")
                        .arg(path)
                        .arg(MaxEntries);
    }
    DescriptionKeys = std::move(keys);
    Descriptions = std::move(descriptions);

    // Segment names of the user's keys join the sorted list of distinct names.
    std::vector<std::string> added;
    for (const std::string& key : ZSegmentKeys) {
        const std::string_view name = SegmentNameOf(key);
        if (added.empty() || added.back() != name)
            added.emplace_back(name);
    }
    std::sort(SegmentNames.begin(), SegmentNames.end());
    SegmentNames.erase(std::unique(SegmentNames.begin(), SegmentNames.end()), SegmentNames.end());
    std::vector<std::string> names;
    names.reserve(SegmentNames.size() + added.size());
    std::set_union(std::make_move_iterator(SegmentNames.begin()),
                   std::make_move_iterator(SegmentNames.end()),
                   std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
                   std::back_inserter(names));
    if (names.size() > static_cast<size_t>(MaxSegmentNames)) {
        names.resize(MaxSegmentNames);
        messages << QStringLiteral("With the entries of '%1' there would be more than %2 "
                                   "segment names. The segment lists were cut at %2.")
                        .arg(path)
                        .arg(MaxSegmentNames);
    }
    SegmentNames = std::move(names);
    return messages;
}

QStringList DescriptionDictionary::LoadDataDesc(const QString& path)
{
    DataDescKeys.clear();
    DataDescDescriptions.clear();
    QStringList messages;

    std::vector<Entry> entries;
    if (!ReadSortedUserFile(path, nullptr, entries, messages))
        return messages;
    DataDescKeys.reserve(entries.size());
    DataDescDescriptions.reserve(entries.size());
    for (Entry& e : entries) {
        DataDescKeys.push_back(std::move(e.key));
        DataDescDescriptions.push_back(std::move(e.description));
    }
    return messages;
}

// ---------------------------------------------------------------- look-ups

std::string DescriptionDictionary::GetHL7Description(std::string_view key, bool wantText) const
{
    const std::ptrdiff_t i = FindKey(DescriptionKeys, key);
    if (i < 0)
        return {};
    if (!wantText)
        return std::to_string(i + 1);
    return Descriptions[static_cast<size_t>(i)];
}

std::string DescriptionDictionary::ParseFieldDesignation(std::string& designation,
                                                         bool wantText) const
{
    if (const size_t paren = designation.find('('); paren != std::string::npos)
        designation.erase(paren);
    std::string full = GetHL7Description(designation, wantText);

    std::string_view shortDesignation;
    std::string shortDescription;
    if (const size_t first = designation.find('-'); first != std::string::npos) {
        if (const size_t second = designation.find('-', first + 1); second != std::string::npos) {
            shortDesignation = std::string_view(designation).substr(0, second);
            shortDescription = GetHL7Description(shortDesignation, wantText);
        }
    }

    if (shortDescription.empty())
        return full;
    if (full.empty()) {
        designation.resize(shortDesignation.size());
        return shortDescription;
    }
    return shortDescription + ":" + full;
}

std::string DescriptionDictionary::LookupDataDesc(std::string_view key) const
{
    const std::ptrdiff_t i = FindKey(DataDescKeys, key);
    return i < 0 ? std::string() : DataDescDescriptions[static_cast<size_t>(i)];
}

// ---------------------------------------------------------------- the built-in file

bool InstallDefaultFsa(const QString& dataRoot)
{
    InitDictionaryResources();
    const QString target = dataRoot + QStringLiteral("fsa.dat");
    if (QFileInfo::exists(target))
        return true;
    QFile builtIn(QStringLiteral(":/quillon/fsa.dat"));
    if (!builtIn.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = builtIn.readAll();
    // Written whole or not at all, so a half-written copy never passes for the user's file.
    return platform::WriteFileWhole(
        target, std::string_view(content.constData(), static_cast<size_t>(content.size())));
}

}  // namespace quillon
