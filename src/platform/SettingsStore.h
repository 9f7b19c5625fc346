#pragma once
// The per-user settings store: text values addressed by application, section and key, with the
// registry's semantics, kept in a file of our own.
//
// Names (application, section, key) compare without regard to letter case; a name keeps the
// case it had when it was first written. Values come back exactly as written.
//
// The file is UTF-8 text, one line per entry, grouped under section headers:
//
//     [Quillon\ExportReports]
//     ReportFontName=Courier New
//     ReportFontSize=10
//
// - A header is "[" application "\" section "]" on a line of its own.
// - An entry is key "=" value. The value is everything after the first "=", written as it is:
//   no character is escaped, so backslashes, "=", "[", commas and blanks at either end stay.
// - A value holding line breaks goes on to continuation lines, one per line break. Each
//   continuation line starts with a sign for the break it stands for: ">" for a line feed, "<"
//   for a carriage return (so "\r\n" is a "<" line with nothing after it, then a ">" line).
// - In names, and only there, the characters % \ [ ] = < > ; and the control characters are
//   written as "%" and two hexadecimal digits, so no name can be taken for a header, a
//   continuation or a comment. The program's own names never need this.
// - Lines starting with ";" are comments; empty lines and lines the reader cannot place are
//   skipped. A carriage return ending a line (an editor's doing) is dropped.
//
// Every write goes to the file at once, through a complete new copy that replaces the old one,
// so a crash keeps every value written before it. When another process has changed the file
// since this store last read or wrote it, a write first takes in the file's current entries,
// so two running programs do not undo each other's settings.
#include <QByteArray>
#include <QString>
#include <map>
#include <utility>
#include <vector>

namespace quillon::platform {

class SettingsStore {
public:
    // An unopened store keeps its values in memory only.
    SettingsStore() = default;

    // $QUILLON_HOME/Quillon.settings when QUILLON_HOME is set, else Quillon.settings in
    // "Marrowby" under the user's configuration folder.
    static QString DefaultPath();

    // Binds the store to `path` and reads its entries, replacing what the store held. A missing
    // file is an empty store (it is made at the first write). False when the file exists but
    // cannot be read; the store is then empty and still bound to `path`.
    bool Open(const QString& path);
    bool IsOpen() const { return !path_.isEmpty(); }
    const QString& Path() const { return path_; }

    // The value, or `defaultValue` when there is none.
    QString Get(const QString& app, const QString& section, const QString& key,
                const QString& defaultValue = QString()) const;
    // Every key of a section with its value, in key order (empty for a missing section).
    std::vector<std::pair<QString, QString>> GetAllSettings(const QString& app,
                                                            const QString& section) const;

    // Writes one value, creating its section and key as needed. The value is kept in memory in
    // any case; false when the file could not be written (a later successful write carries it).
    bool Save(const QString& app, const QString& section, const QString& key, const QString& value);
    // Remove a whole section, or one key of it; removing what does not exist is no error.
    // False only when the file could not be written.
    bool DeleteSection(const QString& app, const QString& section);
    bool DeleteSetting(const QString& app, const QString& section, const QString& key);

    // Holds back the file writes of changes that belong together and writes the file once when
    // the outermost hold ends (changes made meanwhile report success). Each write flushes the
    // file to disk, which on a busy disk makes dozens in a row, as at exit, take seconds.
    class Batch {
    public:
        explicit Batch(SettingsStore& store) : store_(store) { ++store_.held_; }
        ~Batch() { End(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

        // Ends the hold before the batch goes. False when the outermost hold's write of the
        // file failed, with the system's reason in `error`; an inner hold gives true.
        bool End(QString* error = nullptr);

    private:
        SettingsStore& store_;
        bool ended_ = false;
    };

private:
    struct Entry {
        QString key;  // as first written
        QString value;
    };
    struct Section {
        QString app;                       // as first written
        QString name;                      // as first written
        std::map<QString, Entry> entries;  // by case-folded key
    };
    using Sections = std::map<QString, Section>;  // by case-folded "app\section"

    static QString SectionId(const QString& app, const QString& section);
    static QString KeyId(const QString& key);
    static Sections Parse(const QByteArray& data);
    QByteArray Serialize() const;
    // Takes in the file's entries when another process changed it since we last saw it.
    void TakeInOutsideChanges();
    // Writes the file when the store is bound to one (and records the outcome, with the
    // reason of a failure in error_).
    bool Commit();

    QString path_;
    Sections sections_;
    // The file's bytes as this store last read or wrote them.
    QByteArray fileBytes_;
    // Memory holds values the file lacks (a write failed).
    bool unwritten_ = false;
    // Open batches; the file is written when the last one ends.
    int held_ = 0;
    // The system's words for the last failed write of the file.
    QString error_;
};

}  // namespace quillon::platform
