#pragma once
// The trace log: time-stamped entries appended to a file in LogsFolder whose name comes from
// the LogFilename pattern ("%N" a name, "%D" the date as YYYY-MM-DD).
#include <QDate>
#include <QString>
#include <QTime>
#include <string>
#include <string_view>

namespace quillon {

struct AppState;

// The file name (no folder) for `today`: every "%N" becomes `nameForN` ("LOG" when it is
// empty), every "%D" the date as YYYY-MM-DD.
QString GetLogFileName(const QString& pattern, const QString& nameForN, const QDate& today);

// Today's trace log file (folder and name); empty when the pattern would leave LogsFolder.
QString CurrentLogFilePath(const AppState& st);

// One entry's bytes: "HH:MM:SS.ss", two blanks, the category cut or padded to five characters,
// two blanks and the first 100 characters of the text; each further 100 characters on a line of
// their own after 20 blanks. Lines end with CR LF. Seconds use `decimalPoint` and stay within
// 00.00 and 59.99.
std::string FormatLogEntry(std::string_view category, std::string_view text, const QTime& time,
                           QChar decimalPoint);

// Appends `entry` to the file at `path`; a new file first gets a line holding one blank.
// False when the file cannot be created, opened or written, with the system's reason in
// `error`; an entry written in part is taken back, so the file stays as it was.
bool AppendLogEntry(const QString& path, const std::string& entry, QString* error = nullptr);

// Waits until every write handed to the writer thread has reached the file and tells st's
// failures among them. Call it before reading, sizing or deleting the log.
void FlushTraceWrites(AppState& st);

// Tests only: while held, the writer thread takes no queued write (Flush would wait).
void HoldTraceWritesForTest(bool held);

// Writes one entry to the trace log of `st` with the current time and the locale's decimal
// point. Never throws: a log that cannot be written drops the entry and tells
// st.trace.WriteFailed once, until a write succeeds again.
void WriteLog(AppState& st, std::string_view category, std::string_view text);

// Entries gathered in one buffer and written to the trace log of `st` at once, each formatted as
// WriteLog formats it and all stamped with the time the batch began: many lines (a dump) cost
// one file write, and time in proportion to their bytes. Write reports failures as WriteLog.
// A batch of 1 MiB or more is written by a thread beside the caller (see FlushTraceWrites), and
// so is anything written while such a batch is still under way, keeping the order of the calls.
class LogBatch {
public:
    explicit LogBatch(AppState& st);
    void Add(std::string_view category, std::string_view text);
    // The character-code dump of received or sent bytes: chunks of 19 characters, each padded
    // with blanks to 20 and followed by its codes as two hex digits and a blank, one entry each;
    // the first under `firstCategory`, the rest under an empty category.
    void AddHexDump(std::string_view text, std::string_view firstCategory);
    void Write();

private:
    AppState& st_;
    std::string stamp_;  // "HH:MM:SS.ss"
    std::string bytes_;
};

}  // namespace quillon
