#include "app/TraceLog.h"

#include <QFile>
#include <QLocale>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "app/AppState.h"
#include "platform/FileIO.h"

namespace quillon {

namespace {

constexpr size_t kCategoryWidth = 5;
constexpr size_t kChunkLength = 100;
constexpr std::string_view kContinuation = "                    ";  // 20 blanks: column 21
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kNewFileLine = " \r\n";

// A name that stays inside the logs folder: no folder parts, no way up, no NUL.
bool IsPlainFileName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
           !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1String("..")) &&
           !name.contains(QChar(u'\0'));
}

QChar DecimalPoint()
{
    const QString decimal = QLocale().decimalPoint();
    return decimal.isEmpty() ? QLatin1Char('.') : decimal.front();
}

// "HH:MM:SS.ss". Hundredths are cut, not rounded, so 59.999 seconds stays 59.99.
std::string Stamp(const QTime& time, QChar decimalPoint)
{
    const QTime t = time.isValid() ? time : QTime(0, 0);
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", t.hour(), t.minute(), t.second());
    char hundredths[16];
    std::snprintf(hundredths, sizeof hundredths, "%02d", t.msec() / 10);
    return clock + QString(decimalPoint).toStdString() + hundredths;
}

// What an entry begins with: the stamp, two blanks, the category cut or padded to five
// characters, two blanks.
std::string EntryPrefix(std::string_view stamp, std::string_view category)
{
    std::string prefix(stamp);
    prefix += "  ";
    const std::string_view shortCategory = category.substr(0, kCategoryWidth);
    prefix += shortCategory;
    prefix.append(kCategoryWidth - shortCategory.size(), ' ');
    prefix += "  ";
    return prefix;
}

void AppendEntry(std::string& out, std::string_view stamp, std::string_view category,
                 std::string_view text)
{
    const size_t chunks = text.empty() ? 1 : (text.size() + kChunkLength - 1) / kChunkLength;
    out += EntryPrefix(stamp, category);
    for (size_t i = 0; i < chunks; ++i) {
        if (i > 0)
            out += kContinuation;
        out += text.substr(i * kChunkLength, kChunkLength);
        out += kLineEnd;
    }
}

// Large batches are appended by one writer thread beside the window, in the order they were
// handed over; while any is waiting there, later entries queue behind it so the file keeps the
// order of the calls. Outcomes come back to the thread that writes the log and are told there.
constexpr size_t kQueuedFrom = size_t{1} << 20;
constexpr size_t kMostQueued = size_t{256} << 20;

class TraceWriter {
public:
    struct Outcome {
        const AppState* owner;  // compared only, never followed
        QString path;
        bool written;
        QString reason;  // the system's words for a failure
    };

    ~TraceWriter()
    {
        {
            std::unique_lock lock(mutex_);
            held_ = false;
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    // True when entries of `size` bytes must queue: large, or behind entries still queued.
    bool MustQueue(size_t size)
    {
        std::lock_guard lock(mutex_);
        return size >= kQueuedFrom || pending_ > 0;
    }

    void Enqueue(const AppState& owner, QString path, std::string bytes)
    {
        std::unique_lock lock(mutex_);
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
        // Memory stays bounded: the caller waits while much is still to be written.
        changed_.wait(lock, [&] { return queuedBytes_ <= kMostQueued || held_; });
        queuedBytes_ += bytes.size();
        ++pending_;
        jobs_.push_back({&owner, std::move(path), std::move(bytes)});
        changed_.notify_all();
    }

    void Flush()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return pending_ == 0; });
    }

    // The outcomes of `owner`'s queued writes that ended since the last call, in order.
    std::vector<Outcome> TakeOutcomes(const AppState& owner)
    {
        std::lock_guard lock(mutex_);
        std::vector<Outcome> mine;
        for (auto it = outcomes_.begin(); it != outcomes_.end();) {
            if (it->owner == &owner) {
                mine.push_back(std::move(*it));
                it = outcomes_.erase(it);
            } else {
                ++it;
            }
        }
        return mine;
    }

    void Hold(bool held)
    {
        {
            std::lock_guard lock(mutex_);
            held_ = held;
        }
        changed_.notify_all();
    }

private:
    struct Job {
        const AppState* owner;
        QString path;
        std::string bytes;
    };

    void Run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return stopping_ || (!held_ && !jobs_.empty()); });
            if (jobs_.empty())
                return;
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            bool written = false;
            QString reason;
            try {
                written = AppendLogEntry(job.path, job.bytes, &reason);
            } catch (const std::exception&) {
                written = false;
            }
            lock.lock();
            queuedBytes_ -= job.bytes.size();
            --pending_;
            outcomes_.push_back({job.owner, std::move(job.path), written, std::move(reason)});
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    std::deque<Outcome> outcomes_;
    size_t queuedBytes_ = 0;
    size_t pending_ = 0;  // queued or being written
    bool held_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

TraceWriter& Writer()
{
    static TraceWriter writer;
    return writer;
}

// A write's outcome: a failure is told once, until a write succeeds again.
void Report(AppState& st, bool written, const QString& path, const QString& reason)
{
    if (written) {
        st.trace.WriteFailureReported = false;
        return;
    }
    if (st.trace.WriteFailureReported)
        return;
    st.trace.WriteFailureReported = true;
    if (st.trace.WriteFailed)
        st.trace.WriteFailed(path, reason);
}

void ReportQueuedOutcomes(AppState& st)
{
    for (const TraceWriter::Outcome& o : Writer().TakeOutcomes(st))
        Report(st, o.written, o.path, o.reason);
}

// Writes entries already formatted, now or through the writer thread.
void WriteEntries(AppState& st, const std::function<std::string()>& entries)
{
    ReportQueuedOutcomes(st);
    QString path;
    QString reason;
    bool written = false;
    try {
        const QString nameForN =
            st.trace.ConfigurationName ? st.trace.ConfigurationName() : QString();
        const QString name = GetLogFileName(st.trace.LogFilename, nameForN, QDate::currentDate());
        path = st.folders.LogsFolder + name;
        if (!st.folders.LogsFolder.isEmpty() && IsPlainFileName(name)) {
            std::string bytes = entries();
            if (Writer().MustQueue(bytes.size())) {
                Writer().Enqueue(st, path, std::move(bytes));
                return;
            }
            written = AppendLogEntry(path, bytes, &reason);
        }
    } catch (const std::exception&) {
        written = false;
    }
    Report(st, written, path, reason);
}

}  // namespace

void FlushTraceWrites(AppState& st)
{
    Writer().Flush();
    ReportQueuedOutcomes(st);
}

void HoldTraceWritesForTest(bool held)
{
    Writer().Hold(held);
}

QString CurrentLogFilePath(const AppState& st)
{
    const QString nameForN = st.trace.ConfigurationName ? st.trace.ConfigurationName() : QString();
    const QString name = GetLogFileName(st.trace.LogFilename, nameForN, QDate::currentDate());
    if (st.folders.LogsFolder.isEmpty() || !IsPlainFileName(name))
        return {};
    return st.folders.LogsFolder + name;
}

QString GetLogFileName(const QString& pattern, const QString& nameForN, const QDate& today)
{
    QString name = pattern;
    name.replace(QLatin1String("%N"), nameForN.isEmpty() ? QStringLiteral("LOG") : nameForN);
    name.replace(QLatin1String("%D"), today.toString(QStringLiteral("yyyy-MM-dd")));
    return name;
}

std::string FormatLogEntry(std::string_view category, std::string_view text, const QTime& time,
                           QChar decimalPoint)
{
    const size_t chunks = text.empty() ? 1 : (text.size() + kChunkLength - 1) / kChunkLength;
    std::string entry;
    entry.reserve(32 + text.size() + chunks * (kContinuation.size() + kLineEnd.size()));
    AppendEntry(entry, Stamp(time, decimalPoint), category, text);
    return entry;
}

bool AppendLogEntry(const QString& path, const std::string& entry, QString* error)
{
    // In one write, the head of a new file with it; an entry that does not fit is taken back.
    return platform::AppendToFile(path, entry, error, kNewFileLine);
}

void WriteLog(AppState& st, std::string_view category, std::string_view text)
{
    WriteEntries(
        st, [&] { return FormatLogEntry(category, text, QTime::currentTime(), DecimalPoint()); });
}

LogBatch::LogBatch(AppState& st) : st_(st), stamp_(Stamp(QTime::currentTime(), DecimalPoint())) {}

void LogBatch::Add(std::string_view category, std::string_view text)
{
    AppendEntry(bytes_, stamp_, category, text);
}

void LogBatch::AddHexDump(std::string_view text, std::string_view firstCategory)
{
    // Each line is one entry of 20 + 3 x 19 characters at most, below the 100 that would need a
    // continuation line; the lines are written straight into the buffer, sized first.
    constexpr size_t kPiece = 19;
    constexpr size_t kPadded = 20;
    static_assert(kPadded + 3 * kPiece < kChunkLength);
    if (text.empty())
        return;
    static const char* hex = "0123456789ABCDEF";
    const std::string first = EntryPrefix(stamp_, firstCategory);
    const std::string rest = EntryPrefix(stamp_, {});
    const size_t lines = (text.size() + kPiece - 1) / kPiece;
    const size_t start = bytes_.size();
    bytes_.resize(start + first.size() + (lines - 1) * rest.size()
                  + lines * (kPadded + kLineEnd.size()) + 3 * text.size());
    char* out = bytes_.data() + start;
    for (size_t at = 0; at < text.size(); at += kPiece) {
        const std::string& prefix = at == 0 ? first : rest;
        std::memcpy(out, prefix.data(), prefix.size());
        out += prefix.size();
        const size_t n = std::min(kPiece, text.size() - at);
        std::memcpy(out, text.data() + at, n);
        std::memset(out + n, ' ', kPadded - n);
        out += kPadded;
        for (size_t i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(text[at + i]);
            out[0] = hex[c >> 4];
            out[1] = hex[c & 15];
            out[2] = ' ';
            out += 3;
        }
        std::memcpy(out, kLineEnd.data(), kLineEnd.size());
        out += kLineEnd.size();
    }
}

void LogBatch::Write()
{
    if (bytes_.empty())
        return;
    WriteEntries(st_, [this] { return std::move(bytes_); });
    bytes_.clear();
}

}  // namespace quillon
