#pragma once
// The description dictionary: readable descriptions for segment names, field and component
// designations (PID, PID-3, PID-5-1), from fsa.dat extended by the user's z-segments.dat, and
// the separate value-meaning table of data-desc.dat. Sorted tables searched by halving.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class DescriptionDictionary {
public:
    static constexpr int MaxEntries = 9200;
    static constexpr int MaxSegmentNames = 200;
    static constexpr int MaxUserEntries = 32767;

    // Main table: parallel arrays, ascending by key in byte order; entry i is slot i + 1.
    std::vector<std::string> DescriptionKeys;
    std::vector<std::string> Descriptions;
    // Distinct segment names in key order, for the segment pickers of the dialogs.
    std::vector<std::string> SegmentNames;
    // The user's entries as read (sorted by key).
    std::vector<std::string> ZSegmentKeys;
    std::vector<std::string> ZSegmentDescriptions;
    std::vector<std::string> DataDescKeys;
    std::vector<std::string> DataDescDescriptions;

    int32_t DescriptionCount() const { return static_cast<int32_t>(DescriptionKeys.size()); }

    // Reads fsa.dat (pairs of lines: key, description). Replaces the main table. Answers what
    // the user should be told (empty when all went well).
    QStringList LoadFsa(const QString& path);

    // Reads z-segments.dat and merges it into the main table: a known key gets the new
    // description, a new key is inserted in order. `badLine` hears each line that cannot be
    // parsed. A missing file leaves nothing to merge.
    QStringList LoadZSegments(const QString& path,
                              const std::function<void(const std::string& line)>& badLine);

    // Reads data-desc.dat into its own sorted table; bad lines are skipped silently.
    QStringList LoadDataDesc(const QString& path);

    // The description of `key`, or with wantText false its slot number as text; "" when absent.
    std::string GetHL7Description(std::string_view key, bool wantText = true) const;
    std::string LookupFieldDescription(std::string_view key, bool wantText = true) const
    {
        return GetHL7Description(key, wantText);
    }

    // The description to show for a designation: a repetition part is ignored; for a component
    // the field's description comes first ("field:component"); when only the field is known,
    // `designation` is shortened to the field.
    std::string ParseFieldDesignation(std::string& designation, bool wantText = true) const;

    // The meaning of a value from data-desc.dat; "" when absent.
    std::string LookupDataDesc(std::string_view key) const;
};

// One line of z-segments.dat or data-desc.dat.
enum class DescriptionLine { Comment, Entry, Bad };
DescriptionLine ParseDescriptionLine(std::string_view line, std::string& key,
                                     std::string& description);

// fsa.dat's stored form, read and written only here.
std::string DecodeFsaLine(std::string_view stored);
std::string EncodeFsaLine(std::string_view plain);

// Puts the program's own fsa.dat into `dataRoot` when none is there; a user's file is never
// replaced. False when it had to be written and could not be.
bool InstallDefaultFsa(const QString& dataRoot);

}  // namespace quillon
