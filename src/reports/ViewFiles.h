#pragma once
// Saved views and report definitions share one shape: a file `<name><suffix>` in its folder,
// one designation a line. This is the window-free part: the name rule, listing, reading and
// writing, and deleting.
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

enum class DefinitionNameCheck {
    Ok,
    Empty,             // nothing but blanks: the user gave no name
    IllegalCharacter,  // a double quote, one of \/:*?<>|,;% or a control character
    NotAFileName,      // "..", or a leading dot that would hide the file from the listing
};

// The one gate from a typed name to a file name: `name` comes back trimmed.
DefinitionNameCheck CheckDefinitionName(QString& name);
// The message box text and title for a refused name ("" for Ok and Empty).
QString DefinitionNameMessage(DefinitionNameCheck check);
QString DefinitionNameTitle();

// `folder` + name + suffix; "" when the name does not pass the rule.
QString DefinitionPath(const QString& folder, QString name, const QString& suffix);

// The names (each up to its first `suffix`) of the files in `folder` ending in `suffix`.
QStringList ListDefinitionNames(const QString& folder, const QString& suffix);

// The entries of a definition file, one a line: leading blanks skipped, a value in double
// quotes loses them, a comma ends it. No value when the file cannot be read; `missing` then
// tells whether it is simply not there.
std::optional<std::vector<std::string>> ReadDefinitionFile(const QString& path,
                                                           bool* missing = nullptr,
                                                           QString* error = nullptr);

// Writes `name`'s file with one entry a line, each ended by CR LF, replacing any old file only
// once the new one is complete. False (with the reason) when the name is refused or the file
// cannot be written; the old file then stands.
bool WriteDefinitionFile(const QString& folder, const QString& name, const QString& suffix,
                         const std::vector<std::string>& entries, QString* error = nullptr);

// Removes `name`'s file; false when it could not be removed.
bool DeleteDefinitionFile(const QString& folder, const QString& name, const QString& suffix);

inline const QString kViewSuffix = QStringLiteral(".view");

inline QStringList ListViews(const QString& folder) { return ListDefinitionNames(folder, kViewSuffix); }
inline bool SaveView(const QString& folder, const QString& name,
                     const std::vector<std::string>& designations, QString* error = nullptr)
{
    return WriteDefinitionFile(folder, name, kViewSuffix, designations, error);
}

// A view designation: a field-list line up to its first blank, cut before its first "(".
std::string ViewDesignation(const std::string& fieldLine);

}  // namespace quillon
