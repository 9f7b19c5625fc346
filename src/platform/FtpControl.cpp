#include "platform/FtpControl.h"

#include <curl/curl.h>
#include <poll.h>
#include <sys/socket.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>
#include <cerrno>
#include <string_view>

#include "platform/FileIO.h"

namespace quillon::platform {

namespace {

void InitCurlOnce()
{
    static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)done;
}

CURL* Handle(void* p) { return static_cast<CURL*>(p); }
CURLM* Multi(void* p) { return static_cast<CURLM*>(p); }

constexpr qint64 kEventIntervalMs = 50;

// Runs the transfer of `c`, already added to `m`, to its end. curl_easy_perform would do the
// same, but it waits up to a second whenever libcurl has no socket to wait on, and in passive
// mode there is such a moment: when the server's EPSV or PASV reply comes late (as it does on a
// busy machine), libcurl reads it but opens the data connection only on its next step, and the
// wait before that step took a whole second of every such transfer. curl_multi_wait returns at
// once when there is nothing to wait on, so the next step follows directly.
CURLcode RunTransfer(CURLM* m, CURL* c)
{
    for (;;) {
        int running = 0;
        if (curl_multi_perform(m, &running) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
        if (running == 0) break;
        long timeout = -1;
        curl_multi_timeout(m, &timeout);
        const int wait = timeout < 0 || timeout > kEventIntervalMs ? static_cast<int>(kEventIntervalMs)
                                                                  : static_cast<int>(timeout);
        QElapsedTimer waited;
        waited.start();
        int ready = 0;
        if (curl_multi_wait(m, nullptr, 0, wait, &ready) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
        // Back early with nothing ready: libcurl had nothing to wait on. A millisecond's pause
        // keeps a longer such state (a name lookup) from spinning.
        if (ready == 0 && waited.elapsed() + 1 < wait) poll(nullptr, 0, 1);
    }
    CURLcode result = CURLE_GOT_NOTHING;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m, &left))
        if (message->msg == CURLMSG_DONE && message->easy_handle == c) result = message->data.result;
    return result;
}

int MonthNumber(const QString& name)
{
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString lower = name.toLower();
    for (int i = 0; i < 12; ++i)
        if (lower == QLatin1String(months[i])) return i + 1;
    return 0;
}

// The path inside a 257 reply: between the first quote and the next lone one ("" is a quote).
bool ParsePwdReply(const QString& line, QString& path)
{
    if (!line.startsWith(QLatin1String("257"))) return false;
    const qsizetype open = line.indexOf(QLatin1Char('"'));
    if (open < 0) return false;
    QString result;
    for (qsizetype i = open + 1; i < line.size(); ++i) {
        if (line[i] != QLatin1Char('"')) {
            result += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
            result += QLatin1Char('"');
            ++i;
        } else {
            path = result;
            return true;
        }
    }
    return false;
}

// What one line of a listing is: an entry, a line of the listing that names no entry (the
// folder itself, its parent, a total), or no listing line at all.
enum class LineKind { Entry, NoEntry, Foreign };

LineKind MlsdLineKind(const QString& line, FtpEntry& entry)
{
    // The facts carry no blanks; the name is everything after the first blank.
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    if (blank <= 0) return LineKind::Foreign;
    const QString name = line.mid(blank + 1);
    FtpEntry e;
    e.name = name;
    bool typed = false;
    for (const QString& fact : line.left(blank).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = fact.indexOf(QLatin1Char('='));
        if (eq <= 0) return LineKind::Foreign;
        const QString key = fact.left(eq).toLower();
        const QString value = fact.mid(eq + 1);
        if (key == QLatin1String("type")) {
            const QString type = value.toLower();
            if (type == QLatin1String("cdir") || type == QLatin1String("pdir")) return LineKind::NoEntry;
            e.isDirectory = type == QLatin1String("dir");
            typed = true;
        } else if (key == QLatin1String("size") || key == QLatin1String("sizd")) {
            e.size = value.toLongLong();
        } else if (key == QLatin1String("modify")) {
            // YYYYMMDDHHMMSS[.sss], always UTC. Read by hand: a parse through local time asks
            // the time-zone files on every line.
            bool ok = value.size() >= 14;
            int n[6] = {};
            static const int widths[6] = {4, 2, 2, 2, 2, 2};
            for (int k = 0, at = 0; ok && k < 6; at += widths[k++]) n[k] = value.mid(at, widths[k]).toInt(&ok);
            const QDateTime t(QDate(n[0], n[1], n[2]), QTime(n[3], n[4], n[5]), QTimeZone::utc());
            if (ok && t.isValid()) e.modified = t;
        }
    }
    if (!typed || name.isEmpty()) return LineKind::NoEntry;
    if (e.isDirectory) e.size = 0;
    entry = e;
    return LineKind::Entry;
}

// Splits off `count` blank-separated words; `rest` gets what follows the last word's blanks.
bool Words(const QString& line, int count, QStringList& words, QString& rest)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    words.clear();
    // Only blanks separate: a line break after them belongs to the name and must stay in it.
    const auto blank = [&](qsizetype at) {
        return line[at] == QLatin1Char(' ') || line[at] == QLatin1Char('\t');
    };
    while (static_cast<int>(words.size()) < count) {
        while (i < n && blank(i)) ++i;
        if (i >= n) return false;
        const qsizetype start = i;
        while (i < n && !blank(i)) ++i;
        words << line.mid(start, i - start);
    }
    // Exactly the separating blanks go; a name may hold blanks of its own.
    while (i < n && blank(i)) ++i;
    rest = line.mid(i);
    return !rest.isEmpty();
}

LineKind UnixLineKind(const QString& line, FtpEntry& entry, const QDate& today)
{
    if (line.startsWith(QLatin1String("total "))) return LineKind::NoEntry;
    const QChar kind = line[0];
    if (QStringLiteral("-dlbcps").indexOf(kind) < 0 || line.size() < 10) return LineKind::Foreign;
    QStringList w;
    QString name;
    // Permissions, links, owner, group, size, month, day, time or year. Listings without a
    // group have one word less: recognised by the month standing one place earlier.
    if (!Words(line, 7, w, name)) return LineKind::Foreign;
    int sizeAt = 3;
    if (MonthNumber(w[4]) == 0 || MonthNumber(w[5]) != 0) {
        if (!Words(line, 8, w, name)) return LineKind::Foreign;
        sizeAt = 4;
    }
    const int month = MonthNumber(w[sizeAt + 1]);
    const int day = w[sizeAt + 2].toInt();
    const QString& timeOrYear = w[sizeAt + 3];
    if (month == 0 || day == 0) return LineKind::Foreign;
    QDateTime t;
    if (timeOrYear.contains(QLatin1Char(':'))) {
        // No year: within the last six months, so a date after today belongs to last year.
        int year = today.year();
        if (QDate(year, month, day) > today.addDays(1)) --year;
        const QTime time = QTime::fromString(timeOrYear, QStringLiteral("H:mm"));
        t = QDateTime(QDate(year, month, day), time.isValid() ? time : QTime(0, 0), QTimeZone::utc());
    } else {
        t = QDateTime(QDate(timeOrYear.toInt(), month, day), QTime(0, 0), QTimeZone::utc());
    }
    FtpEntry e;
    e.isDirectory = kind == QLatin1Char('d');
    e.size = e.isDirectory ? 0 : w[sizeAt].toLongLong();
    if (kind == QLatin1Char('l')) {
        const qsizetype arrow = name.indexOf(QLatin1String(" -> "));
        if (arrow > 0) name.truncate(arrow);
    }
    if (name == QLatin1String(".") || name == QLatin1String("..")) return LineKind::NoEntry;
    e.name = name;
    e.modified = t.isValid() ? t : QDateTime();
    entry = e;
    return LineKind::Entry;
}

LineKind DosLineKind(const QString& line, FtpEntry& entry)
{
    // MM-DD-YY  HH:MMAM  <DIR>|size  name
    QStringList w;
    QString name;
    if (!Words(line, 3, w, name)) return LineKind::Foreign;
    const QStringList date = w[0].split(QLatin1Char('-'));
    if (date.size() != 3) return LineKind::Foreign;
    int year = date[2].toInt();
    if (date[2].size() == 2) year += year < 70 ? 2000 : 1900;
    const QDate d(year, date[0].toInt(), date[1].toInt());
    if (!d.isValid()) return LineKind::Foreign;
    QString clock = w[1].toUpper();
    QTime time = QTime::fromString(clock, QStringLiteral("hh:mmAP"));
    if (!time.isValid()) time = QTime::fromString(clock, QStringLiteral("HH:mm"));
    if (!time.isValid()) return LineKind::Foreign;
    FtpEntry e;
    if (w[2].compare(QLatin1String("<DIR>"), Qt::CaseInsensitive) == 0) {
        e.isDirectory = true;
    } else {
        bool ok = false;
        e.size = w[2].toLongLong(&ok);
        if (!ok) return LineKind::Foreign;
    }
    if (name == QLatin1String(".") || name == QLatin1String("..")) return LineKind::NoEntry;
    e.name = name;
    e.modified = QDateTime(d, time, QTimeZone::utc());
    entry = e;
    return LineKind::Entry;
}

LineKind ListLineKind(const QString& line, FtpEntry& entry, const QDate& today)
{
    if (line.isEmpty()) return LineKind::Foreign;
    if (line[0].isDigit()) return DosLineKind(line, entry);
    return UnixLineKind(line, entry, today);
}

}  // namespace

bool ParseMlsdLine(const QString& line, FtpEntry& entry)
{
    return MlsdLineKind(line, entry) == LineKind::Entry;
}

bool ParseListLine(const QString& line, FtpEntry& entry, const QDate& today)
{
    return ListLineKind(line, entry, today) == LineKind::Entry;
}

std::vector<FtpEntry> ParseListing(const QByteArray& data, bool mlsd, const QDate& today)
{
    // A server ends every line the same way, so the line end of most lines is the listing's:
    // CR LF when at least as many lines end in CR LF as in LF alone. Where entries end with CR
    // LF, a bare CR or LF in a line is part of the name it ends in and stays there: no piece of
    // such a name stands for another file, and the commands refuse it. A server that ends its
    // lines with LF alone leaves no way to tell a break inside a name; there a line that is no
    // listing line after an entry is taken for the rest of that entry's name, as is such a line
    // after a line end held by a name. Empty lines are passed over.
    const qsizetype crlf = data.count("\r\n");
    const QByteArray end = crlf > 0 && crlf >= data.count('\n') - crlf ? QByteArrayLiteral("\r\n")
                                                                     : QByteArrayLiteral("\n");
    QList<QByteArray> lines;
    for (qsizetype at = 0; at < data.size();) {
        qsizetype next = data.indexOf(end, at);
        if (next < 0) next = data.size();
        lines << data.mid(at, next - at);
        at = next + end.size();
    }
    std::vector<FtpEntry> entries;
    bool continues = false;  // the line before was an entry or a piece of its name
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        const QString text = QString::fromUtf8(line);
        FtpEntry e;
        const LineKind kind = mlsd ? MlsdLineKind(text, e) : ListLineKind(text, e, today);
        if (kind == LineKind::Entry) {
            entries.push_back(std::move(e));
            continues = true;
        } else if (kind == LineKind::Foreign && continues) {
            entries.back().name += QString::fromLatin1(end) + text;
        } else {
            continues = false;
        }
    }
    // A folder holds each name once. A name listed again is a file of that name and a piece of
    // a name that held the line end, or two such pieces: it is listed once, by its first line
    // (which line is the file's own cannot be told).
    QSet<QString> seen;
    std::vector<FtpEntry> once;
    once.reserve(entries.size());
    for (FtpEntry& e : entries) {
        if (seen.contains(e.name)) continue;
        seen.insert(e.name);
        once.push_back(std::move(e));
    }
    return once;
}

namespace {
// The listing as the server sent it, when what the debug function saw is what libcurl turned
// into `delivered`; otherwise what was delivered, in which every line break reads as LF.
QByteArray ListingAsSent(const QByteArray& delivered, const QByteArray& raw)
{
    QByteArray converted = raw;
    converted.replace("\r\n", "\n").replace('\r', '\n');
    return converted == delivered ? raw : delivered;
}
}  // namespace

// One libcurl call: what to send, where the data goes, and what came back.
struct FtpControl::Request {
    QByteArray url;
    QList<QByteArray> quote;      // commands sent before the transfer
    QByteArray customRequest;     // "MLSD" instead of LIST
    bool body = false;            // a transfer (listing or Get) or an upload
    bool freshConnection = false;
    QByteArray* memory = nullptr;  // listing data, line ends turned into LF by libcurl
    QByteArray* raw = nullptr;     // listing data as the server sent it
    std::function<bool(const char* data, size_t size)> sink;  // Get data: whole or false
    QIODevice* source = nullptr;   // Put data
    qint64 sourceSize = 0;
    bool progress = false;         // emit Progress
    bool ascii = false;
    bool typed = false;  // a Get or Put: the transfer type is sent to the server as such

    QStringList replies;  // every reply line of the server
    bool localFailed = false;
    CURLcode code = CURLE_OK;
    QElapsedTimer clock;
    qint64 lastEvent = -kEventIntervalMs;
};

struct FtpCurlCallbacks {
    struct Context {
        FtpControl* control;
        FtpControl::Request* request;
    };

    static size_t Header(char* data, size_t size, size_t count, void* user)
    {
        auto* rq = static_cast<Context*>(user)->request;
        QByteArray line(data, static_cast<qsizetype>(size * count));
        while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
        rq->replies << QString::fromUtf8(line);
        return size * count;
    }

    static size_t Write(char* data, size_t size, size_t count, void* user)
    {
        auto* rq = static_cast<Context*>(user)->request;
        const qint64 n = static_cast<qint64>(size * count);
        if (rq->memory) {
            rq->memory->append(data, n);
            return size * count;
        }
        if (rq->sink && rq->sink(data, static_cast<size_t>(n))) return size * count;
        rq->localFailed = true;
        return 0;
    }

    // libcurl hands incoming data to the debug function before it turns the line ends of an
    // ASCII transfer (and a listing is always one) into LF.
    static int Debug(CURL*, curl_infotype type, char* data, size_t size, void* user)
    {
        auto* rq = static_cast<Context*>(user)->request;
        if (type == CURLINFO_DATA_IN && rq->raw)
            rq->raw->append(data, static_cast<qsizetype>(size));
        return 0;
    }

    static size_t Read(char* buffer, size_t size, size_t count, void* user)
    {
        auto* rq = static_cast<Context*>(user)->request;
        const qint64 n = rq->source->read(buffer, static_cast<qint64>(size * count));
        if (n < 0) {
            rq->localFailed = true;
            return CURL_READFUNC_ABORT;
        }
        return static_cast<size_t>(n);
    }

    static int XferInfo(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                        curl_off_t ulnow)
    {
        auto* ctx = static_cast<Context*>(user);
        FtpControl* c = ctx->control;
        FtpControl::Request* rq = ctx->request;
        const qint64 now = rq->clock.elapsed();
        if (now - rq->lastEvent >= kEventIntervalMs) {
            rq->lastEvent = now;
            if (rq->progress) {
                const qint64 done = rq->source ? ulnow : dlnow;
                const qint64 total = rq->source ? ultotal : dltotal;
                c->transferRate_ = now > 0 ? done * 1000 / now : 0;
                const int percent =
                    total > 0 ? static_cast<int>(qMin<qint64>(100, done * 100 / total)) : 0;
                emit c->Progress(done, total, c->transferRate_, percent);
            }
            if (c->eventHook_) c->eventHook_();
        }
        return c->cancelRequested_ ? 1 : 0;
    }
};

FtpControl::FtpControl(QObject* parent) : QObject(parent) { InitCurlOnce(); }

FtpControl::~FtpControl() { ResetHandle(); }

void FtpControl::ResetHandle()
{
    if (curl_ && multi_) curl_multi_remove_handle(Multi(multi_), Handle(curl_));
    if (curl_) curl_easy_cleanup(Handle(curl_));
    curl_ = nullptr;
    // The multi handle keeps the connection: its cleanup closes it (with QUIT when it is alive).
    if (multi_) curl_multi_cleanup(Multi(multi_));
    multi_ = nullptr;
    socketMayBeGone_ = false;
}

int FtpControl::Fail(int code, const QString& text)
{
    lastErrorText_ = text;
    return code;
}

int FtpControl::RefuseName()
{
    return Fail(ftp_result::InvalidName,
                QStringLiteral("The name holds a line break, which cannot be sent in an FTP command."));
}

int FtpControl::Lost(const QString& text)
{
    // Forget the dead connection, so the next Connect logs in afresh.
    connected_ = false;
    CloseListing();
    ResetHandle();
    return Fail(ftp_result::ConnectionLost, text);
}

QString FtpControl::AbsolutePath(const QString& path) const
{
    if (path.startsWith(QLatin1Char('/'))) return path;
    if (currentDirectory_.endsWith(QLatin1Char('/'))) return currentDirectory_ + path;
    return currentDirectory_ + QLatin1Char('/') + path;
}

QByteArray FtpControl::Url(const QString& absolutePath, bool directory) const
{
    QString host = host_.trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    // "%2F" makes the path absolute rather than relative to the login directory.
    QByteArray url = "ftp://" + host.toUtf8() + ':' + QByteArray::number(port_) + "/%2F";
    const QStringList parts = absolutePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) url += '/';
        url += QUrl::toPercentEncoding(parts[i]);
    }
    if (directory && !parts.isEmpty()) url += '/';
    return url;
}

void FtpControl::ApplyConnectionOptions()
{
    CURL* c = Handle(curl_);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERNAME, user_.toUtf8().constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password_.toUtf8().constData());
    const long timeout = timeoutSeconds_ > 0 ? timeoutSeconds_ : DefaultTimeoutSeconds;
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    curl_easy_setopt(c, CURLOPT_FTPPORT, passive_ ? nullptr : "-");
    curl_easy_setopt(c, CURLOPT_FTP_USE_EPSV, 1L);
    // Absolute paths on every command: no CWD walk, and nothing depends on the server's own
    // working directory, which a silent reconnection resets.
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(secure_ ? CURLUSESSL_ALL : CURLUSESSL_NONE));
}

int FtpControl::Perform(Request& rq)
{
    if (!curl_) curl_ = curl_easy_init();
    if (!multi_) multi_ = curl_multi_init();
    CURL* c = Handle(curl_);
    CURLM* m = Multi(multi_);
    // The last call's handle stays in the multi handle until now, so that its connection can
    // be asked for (CheckAlive). Reset keeps the cached connection; only the options go.
    curl_multi_remove_handle(m, c);
    curl_easy_reset(c);
    ApplyConnectionOptions();
    FtpCurlCallbacks::Context ctx{this, &rq};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_URL, rq.url.constData());
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &FtpCurlCallbacks::Header);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &ctx);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &FtpCurlCallbacks::Write);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &ctx);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &FtpCurlCallbacks::XferInfo);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &ctx);
    if (rq.raw) {
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &FtpCurlCallbacks::Debug);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, &ctx);
        curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    }
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, rq.freshConnection ? 1L : 0L);
    // Large reads: fewer callbacks and writes on big files, as the curl program does.
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 512L * 1024);
    // ASCII transfers are asked of the server with TYPE A, but libcurl's own ASCII mode would
    // also turn every CR of the data into LF on this system, the HL7 segment end among them:
    // the bytes come in as the server sends them.
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, rq.ascii && !rq.typed ? 1L : 0L);
    curl_slist* prequote = nullptr;
    if (rq.typed) {
        prequote = curl_slist_append(nullptr, rq.ascii ? "TYPE A" : "TYPE I");
        curl_easy_setopt(c, CURLOPT_PREQUOTE, prequote);
        // Servers refuse SIZE in ASCII mode, and libcurl would take that for a missing file;
        // the size then comes from the reply that opens the transfer.
        if (rq.ascii) curl_easy_setopt(c, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    }
    curl_slist* quote = nullptr;
    for (const QByteArray& command : rq.quote) quote = curl_slist_append(quote, command.constData());
    if (quote) curl_easy_setopt(c, CURLOPT_QUOTE, quote);
    if (!rq.customRequest.isEmpty())
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, rq.customRequest.constData());
    if (rq.source) {
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, &FtpCurlCallbacks::Read);
        curl_easy_setopt(c, CURLOPT_READDATA, &ctx);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(rq.sourceSize));
    } else if (!rq.body) {
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    }

    busy_ = true;
    cancelRequested_ = false;
    rq.clock.start();
    rq.code = curl_multi_add_handle(m, c) == CURLM_OK ? RunTransfer(m, c) : CURLE_OUT_OF_MEMORY;
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);  // the buffer ends with this call
    busy_ = false;
    curl_slist_free_all(quote);
    curl_slist_free_all(prequote);

    long reply = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply);
    lastReplyCode_ = static_cast<int>(reply);
    if (rq.code == CURLE_OK) {
        socketMayBeGone_ = false;
        lastErrorText_.clear();
        return ftp_result::Ok;
    }
    // libcurl closes its connection after several failures (a refused quote command among
    // them); the next call then reconnects, which must not be taken for a lost connection.
    socketMayBeGone_ = true;
    QString text = QString::fromUtf8(errorBuffer);
    if (text.isEmpty()) text = QString::fromUtf8(curl_easy_strerror(rq.code));
    if (reply >= 400 && !rq.replies.isEmpty()) text = rq.replies.last();
    lastErrorText_ = text;

    switch (rq.code) {
    case CURLE_ABORTED_BY_CALLBACK:
        return ftp_result::Cancelled;
    case CURLE_LOGIN_DENIED:
        return reply == 530 ? ftp_result::LoginRefused : ftp_result::LoginRefusedOther;
    case CURLE_COULDNT_RESOLVE_HOST:
        return ftp_result::NameNotResolved;
    case CURLE_WRITE_ERROR:
    case CURLE_READ_ERROR:
        return rq.localFailed ? ftp_result::LocalFileError : ftp_result::ExtendedError;
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_PEER_FAILED_VERIFICATION:
        // On an established connection these mean it is gone (or useless): report it lost.
        if (connected_ && rq.code != CURLE_USE_SSL_FAILED) return Lost(text);
        return rq.code == CURLE_OPERATION_TIMEDOUT ? ftp_result::TimedOut : ftp_result::CannotConnect;
    default:
        if (reply == 421) return Lost(text);  // the server is closing the connection
        return ftp_result::ExtendedError;
    }
}

int FtpControl::CheckAlive()
{
    if (!connected_) return Fail(ftp_result::NotConnected, QStringLiteral("Not connected."));
    curl_socket_t s = CURL_SOCKET_BAD;
    if (curl_) curl_easy_getinfo(Handle(curl_), CURLINFO_ACTIVESOCKET, &s);
    const QString gone = QStringLiteral("The server closed the connection.");
    if (s == CURL_SOCKET_BAD) {
        // Closed by libcurl after a failure (it reconnects by itself), or lost.
        return socketMayBeGone_ ? ftp_result::Ok : Lost(gone);
    }
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return ftp_result::Ok;  // nothing pending: alive
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return Lost(gone);
    char byte = 0;
    const ssize_t n = recv(s, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) return Lost(gone);
    if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? ftp_result::Ok : Lost(gone);
    // Unasked-for text on an idle plain connection is the server's farewell (421). Under TLS
    // it may be a session ticket, so only the end of the stream counts there.
    return secure_ ? ftp_result::Ok : Lost(gone);
}

int FtpControl::Begin()
{
    if (busy_) return Fail(ftp_result::Busy, QStringLiteral("Another FTP command is under way."));
    return CheckAlive();
}

int FtpControl::Connect()
{
    if (busy_) return Fail(ftp_result::Busy, QStringLiteral("Another FTP command is under way."));
    if (connected_) return CheckAlive();
    CloseListing();
    ResetHandle();
    listingByList_ = false;
    if (host_.trimmed().isEmpty())
        return Fail(ftp_result::NameNotResolved, QStringLiteral("No host name given."));
    Request rq;
    rq.url = Url(QStringLiteral("/"), true);
    rq.freshConnection = true;
    rq.quote << "PWD";
    const int r = Perform(rq);
    if (r != ftp_result::Ok) {
        ResetHandle();
        return r;
    }
    QString start = QStringLiteral("/");
    for (const QString& line : rq.replies) ParsePwdReply(line, start);
    currentDirectory_ = start;
    connected_ = true;
    socketMayBeGone_ = false;
    return ftp_result::Ok;
}

int FtpControl::Disconnect()
{
    if (busy_) return Fail(ftp_result::Busy, QStringLiteral("Another FTP command is under way."));
    CloseListing();
    ResetHandle();  // sends QUIT on a live connection
    connected_ = false;
    currentDirectory_.clear();
    return ftp_result::Ok;
}

int FtpControl::ChangeDirectory(const QString& path)
{
    if (HoldsLineBreak(path)) return RefuseName();
    if (int r = Begin(); r != ftp_result::Ok) return r;
    const QString target = path.trimmed();
    if (target.isEmpty()) return ftp_result::Ok;
    Request rq;
    rq.url = Url(QStringLiteral("/"), true);
    rq.quote << "CWD " + AbsolutePath(target).toUtf8() << "PWD";
    const int r = Perform(rq);
    if (r == ftp_result::ExtendedError && lastReplyCode_ >= 500) return ftp_result::AccessDenied;
    if (r != ftp_result::Ok) return r;
    for (const QString& line : rq.replies) ParsePwdReply(line, currentDirectory_);
    return ftp_result::Ok;
}

int FtpControl::OpenListing(const QString& path)
{
    CloseListing();
    if (HoldsLineBreak(path)) return RefuseName();
    if (int r = Begin(); r != ftp_result::Ok) return r;
    const QString dir = path.trimmed().isEmpty() ? currentDirectory_ : AbsolutePath(path.trimmed());
    QByteArray data, raw;
    int r = ftp_result::ExtendedError;
    if (!listingByList_) {
        Request rq;
        rq.url = Url(dir, true);
        rq.customRequest = "MLSD";
        rq.body = true;
        rq.memory = &data;
        rq.raw = &raw;
        r = Perform(rq);
        // 500-504: the server does not know MLSD; anything else is the answer.
        if (r == ftp_result::ExtendedError && lastReplyCode_ >= 500 && lastReplyCode_ <= 504)
            listingByList_ = true;
        else if (r != ftp_result::Ok)
            return r;
    }
    if (listingByList_) {
        data.clear();
        raw.clear();
        Request rq;
        rq.url = Url(dir, true);
        rq.body = true;
        rq.memory = &data;
        rq.raw = &raw;
        r = Perform(rq);
        if (r != ftp_result::Ok) return r;
    }
    listing_ = ParseListing(ListingAsSent(data, raw), !listingByList_);
    return ftp_result::Ok;
}

int FtpControl::ReadNextEntry(FtpEntry& entry)
{
    if (listingNext_ >= listing_.size()) return ftp_result::NoMoreEntries;
    entry = listing_[listingNext_++];
    return ftp_result::Ok;
}

void FtpControl::CloseListing()
{
    listing_.clear();
    listingNext_ = 0;
}

int FtpControl::Get(const QString& localPath, const QString& remotePath)
{
    bytesTransferred_ = 0;
    transferRate_ = 0;
    if (HoldsLineBreak(remotePath)) return RefuseName();
    if (int r = Begin(); r != ftp_result::Ok) return r;
    Request rq;
    rq.url = Url(AbsolutePath(remotePath), false);
    rq.body = true;
    rq.progress = true;
    rq.ascii = transferType_ == ftp_type::Ascii;
    rq.typed = true;

    // Replacing downloads into a file beside the target, which takes the target's place only
    // once complete: a failed Get leaves the old file untouched. Appending takes back what it
    // added on failure. A download is not flushed to disk: that would double a large Get's time.
    WholeFile replace(localPath, WholeFile::Options::NotSynced());
    FileAppender append;
    if (localAppend_ ? !append.Open(localPath) : !replace.Open())
        return Fail(ftp_result::LocalFileError,
                    localAppend_ ? append.ErrorString() : replace.ErrorString());
    if (localAppend_)
        rq.sink = [&append](const char* data, size_t size) {
            return append.Append(std::string_view(data, size));
        };
    else
        rq.sink = [&replace](const char* data, size_t size) { return replace.Write(data, size); };
    int r = Perform(rq);
    curl_off_t bytes = 0;
    curl_easy_getinfo(Handle(curl_), CURLINFO_SIZE_DOWNLOAD_T, &bytes);
    if (r == ftp_result::Ok && !(localAppend_ ? append.Close() : replace.Commit()))
        r = ftp_result::LocalFileError;
    if (r == ftp_result::LocalFileError) {
        // The system's reason, not the transfer library's "failure writing".
        const QString why = localAppend_ ? append.ErrorString() : replace.ErrorString();
        if (!why.isEmpty()) Fail(r, why);
    }
    if (r != ftp_result::Ok) {
        if (localAppend_) append.TakeBack();
        return r;  // the new file goes with `replace`
    }
    bytesTransferred_ = bytes;
    const qint64 ms = rq.clock.elapsed();
    transferRate_ = ms > 0 ? bytes * 1000 / ms : bytes;
    emit Progress(bytes, bytes, transferRate_, 100);
    return ftp_result::Ok;
}

int FtpControl::Put(const QString& localPath, const QString& remotePath)
{
    bytesTransferred_ = 0;
    transferRate_ = 0;
    if (HoldsLineBreak(remotePath)) return RefuseName();
    if (int r = Begin(); r != ftp_result::Ok) return r;
    QFile source(localPath);
    if (!source.open(QIODevice::ReadOnly))
        return Fail(ftp_result::LocalFileError, source.errorString());
    Request rq;
    rq.url = Url(AbsolutePath(remotePath), false);
    rq.source = &source;
    rq.sourceSize = source.size();
    rq.progress = true;
    rq.ascii = transferType_ == ftp_type::Ascii;
    rq.typed = true;
    const int r = Perform(rq);
    if (r != ftp_result::Ok) return r;
    curl_off_t bytes = 0;
    curl_easy_getinfo(Handle(curl_), CURLINFO_SIZE_UPLOAD_T, &bytes);
    bytesTransferred_ = bytes;
    const qint64 ms = rq.clock.elapsed();
    transferRate_ = ms > 0 ? bytes * 1000 / ms : bytes;
    emit Progress(bytes, bytes, transferRate_, 100);
    return ftp_result::Ok;
}

int FtpControl::Delete(const QString& name)
{
    if (HoldsLineBreak(name)) return RefuseName();
    if (int r = Begin(); r != ftp_result::Ok) return r;
    Request rq;
    rq.url = Url(QStringLiteral("/"), true);
    rq.quote << "DELE " + AbsolutePath(name).toUtf8();
    return Perform(rq);
}

int FtpControl::Rename(const QString& oldName, const QString& newName)
{
    if (HoldsLineBreak(oldName) || HoldsLineBreak(newName)) return RefuseName();
    if (int r = Begin(); r != ftp_result::Ok) return r;
    Request rq;
    rq.url = Url(QStringLiteral("/"), true);
    rq.quote << "RNFR " + AbsolutePath(oldName).toUtf8() << "RNTO " + AbsolutePath(newName).toUtf8();
    return Perform(rq);
}

}  // namespace quillon::platform
