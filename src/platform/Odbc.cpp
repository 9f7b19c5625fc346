#include "platform/Odbc.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

namespace quillon::platform {

namespace {

// The driver of a data source as odbc.ini names it now. The driver manager keeps each odbc.ini
// value it read for 20 seconds, keyed by data source and key but not by the file it came from,
// so what SQLDataSources reports may belong to another configuration read earlier in the
// process. A lookup whose default has never been asked for cannot be answered from that cache.
QString CurrentDriver(const SQLCHAR* name, const QString& reported)
{
    static std::atomic<unsigned> lookups{0};
    const QByteArray unset = "\x01quillon-unset-" + QByteArray::number(++lookups);
    char driver[1024];
    const int length =
        SQLGetPrivateProfileString(reinterpret_cast<const char*>(name), "Driver", unset.constData(),
                                   driver, sizeof driver, "ODBC.INI");
    if (length < 0)
        return reported;
    const QByteArray value(driver, std::min<qsizetype>(length, sizeof driver - 1));
    return value == unset ? reported : QString::fromLocal8Bit(value);
}

// Walks the data sources until `visit` answers false.
template <typename Visit>
void ForEachDataSource(Visit&& visit)
{
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[1024];
    SQLCHAR description[1024];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        const SQLRETURN rc = SQLDataSources(env, direction, name, sizeof name, &nameLength,
                                            description, sizeof description, &descriptionLength);
        if (!SQL_SUCCEEDED(rc))
            break;
        direction = SQL_FETCH_NEXT;
        const auto cut = [](const SQLCHAR* text, SQLSMALLINT length, size_t size) {
            const auto n = static_cast<qsizetype>(
                std::min<size_t>(length < 0 ? 0 : static_cast<size_t>(length), size - 1));
            return QString::fromLocal8Bit(reinterpret_cast<const char*>(text), n);
        };
        if (!visit(cut(name, nameLength, sizeof name),
                   CurrentDriver(name, cut(description, descriptionLength, sizeof description))))
            break;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

}  // namespace

QStringList DataSourcesWithDriver(const QString& driverText)
{
    QStringList names;
    ForEachDataSource([&](const QString& name, const QString& driver) {
        if (!name.trimmed().isEmpty() && driver.contains(driverText, Qt::CaseSensitive))
            names << name;
        return true;
    });
    return names;
}

bool IsEnsembleOdbcDriverInstalled()
{
    bool found = false;
    ForEachDataSource([&](const QString& name, const QString& driver) {
        found = !name.trimmed().isEmpty()
            && driver.contains(QLatin1String("InterSystems ODBC"), Qt::CaseSensitive);
        return !found;
    });
    return found;
}

// ---------------------------------------------------------------------------------------------
// Connections.

struct OdbcConnection::Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    size_t blockRows = 0;  // rows a fetch brings into bound buffers; 0: read row by row unbound
    bool postgres = false;
    std::string restoreEncoding;  // the client encoding to go back to while texts come as stored

    ~Handles()
    {
        if (connected)
            SQLDisconnect(dbc);
        if (dbc != SQL_NULL_HDBC)
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

namespace {

// Text parameters bound in place: the values and their lengths must outlive SQLExecute.
struct BoundText {
    std::vector<SQLLEN> lengths;
    SQLRETURN Bind(SQLHSTMT stmt, SQLUSMALLINT first, const std::vector<std::string>& values)
    {
        lengths.resize(values.size());
        for (size_t i = 0; i < values.size(); ++i) {
            const std::string& value = values[i];
            lengths[i] = static_cast<SQLLEN>(value.size());
            // A column size of 0 makes some drivers send NULL; long values go as long text.
            const SQLULEN columnSize = std::max<SQLULEN>(value.size(), 1);
            const SQLSMALLINT sqlType = value.size() > 4000 ? SQL_LONGVARCHAR : SQL_VARCHAR;
            const SQLRETURN rc = SQLBindParameter(
                stmt, static_cast<SQLUSMALLINT>(first + i), SQL_PARAM_INPUT, SQL_C_CHAR, sqlType,
                columnSize, 0, const_cast<char*>(value.data()),
                static_cast<SQLLEN>(value.size()), &lengths[i]);
            if (!SQL_SUCCEEDED(rc))
                return rc;
        }
        return SQL_SUCCESS;
    }
};

// Whether a piece of `room` bytes (and a terminator) ended the value; `got` is what it holds.
bool Whole(SQLRETURN rc, SQLLEN indicator, const char* piece, size_t room, size_t& got)
{
    if (indicator == SQL_NO_TOTAL) {  // a warning says the piece was cut
        const bool whole = rc == SQL_SUCCESS;
        got = whole ? strnlen(piece, room) : room;
        return whole;
    }
    got = std::min(static_cast<size_t>(indicator), room);
    return static_cast<size_t>(indicator) <= room;
}

// Reads a value on with SQLGetData straight into `out` after its first `have` bytes: a piece
// of `next` bytes, then pieces of the size the driver reports as left, until the value ends.
SQLRETURN ReadOn(SQLHSTMT stmt, SQLUSMALLINT column, std::string& out, size_t have, size_t next)
{
    for (;;) {
        out.resize(have + next + 1);  // room for the terminator the driver adds
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, out.data() + have,
                                        static_cast<SQLLEN>(next + 1), &indicator);
        if (rc == SQL_NO_DATA)  // nothing left after an exact fill
            break;
        if (!SQL_SUCCEEDED(rc))
            return rc;
        if (indicator == SQL_NULL_DATA) {
            have = 0;
            break;
        }
        size_t got = 0;
        const bool whole = Whole(rc, indicator, out.data() + have, next, got);
        have += got;
        if (whole)
            break;
        next = indicator == SQL_NO_TOTAL ? have : static_cast<size_t>(indicator) - got;
    }
    out.resize(have);
    return SQL_SUCCESS;
}

// Room for a value a little longer than `last`, at most `cap`: a longer one is read in two
// pieces rather than have every later value padded to its size, as some drivers fill the whole
// buffer they are given, terminator and padding, whatever the value's size.
size_t RoomAfter(size_t last, size_t cap) { return std::min(last + last / 4 + 64, cap); }

constexpr size_t kFirstRoom = 1024;
// Rows between reviews of a bound buffer's room.
constexpr size_t kReviewRows = 256;

// A bound buffer's room for the next fetch, `longest` being the longest value since the last
// review: it grows as soon as a value did not fit, and at a review shrinks when the values
// needed less than half of it.
size_t NextRoom(size_t room, size_t longest, bool review, size_t cap)
{
    const size_t wanted = RoomAfter(longest, cap);
    if (wanted > room || (review && wanted < room / 2))
        room = wanted;
    return std::min(room, cap);
}

// Reads the columns of the current row whole ("" for NULL) with SQLGetData: each value first
// into its column's piece, sized from that column's last value, a longer one on into storage
// of its own at the size the driver reports. A value stays where it was read until its column
// is read again.
class ColumnReader {
public:
    explicit ColumnReader(size_t columns) : columns_(columns) {}

    SQLRETURN Read(SQLHSTMT stmt, SQLUSMALLINT column, std::string_view& out)
    {
        Column& c = columns_[column - 1u];
        if (c.piece.size() < c.hint + 1)
            c.piece.resize(c.hint + 1);
        out = {};
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, c.piece.data(), static_cast<SQLLEN>(c.hint + 1),
                                  &indicator);
        if (rc == SQL_NO_DATA)
            return SQL_SUCCESS;
        if (!SQL_SUCCEEDED(rc))
            return rc;
        if (indicator == SQL_NULL_DATA)
            return SQL_SUCCESS;
        size_t got = 0;
        if (Whole(rc, indicator, c.piece.data(), c.hint, got)) {
            out = {c.piece.data(), got};
            c.hint = RoomAfter(got, kMaxHint);
            return SQL_SUCCESS;
        }
        // Longer than the piece: the rest follows, at its reported size where there is one.
        const size_t next = indicator == SQL_NO_TOTAL ? got : static_cast<size_t>(indicator) - got;
        c.whole.reserve(got + next + 1);
        c.whole.assign(c.piece.data(), got);
        rc = ReadOn(stmt, column, c.whole, got, next);
        c.hint = RoomAfter(c.whole.size(), kMaxHint);
        out = c.whole;
        return rc;
    }

private:
    static constexpr size_t kMaxHint = 64 * 1024;
    struct Column {
        size_t hint = kFirstRoom;
        std::vector<char> piece;
        std::string whole;  // a value longer than the piece
    };
    std::vector<Column> columns_;
};

// Reads the rows through column buffers bound once: a fetch brings a block of rows and the
// driver copies each value once, into the buffers. A value longer than its buffer is read again
// whole with SQLGetData, and each column's buffer is sized from the values seen. The first fetch
// brings one row; blocks follow once the driver has shown on it that it can position on a row
// of a block, which reading such a value again needs.
class BoundReader {
public:
    BoundReader(SQLHSTMT stmt, size_t columns, size_t blockRows)
        : stmt_(stmt), columns_(columns), blockRows_(blockRows), status_(blockRows)
    {
    }

    // Binds the buffers; false when the driver refuses, with every binding undone.
    bool Bind()
    {
        bool ok = SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0))
            && SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_STATUS_PTR, status_.data(), 0));
        for (size_t c = 0; ok && c < columns_.size(); ++c)
            ok = BindColumn(c, kFirstRoom);
        if (!ok) {
            SQLFreeStmt(stmt_, SQL_UNBIND);
            SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
            SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
        }
        return ok;
    }

    // The next block; SQL_NO_DATA after the last.
    SQLRETURN Fetch()
    {
        if (!Resize())
            return SQL_ERROR;
        fetched_ = 0;
        positioned_ = 0;
        const SQLRETURN rc = SQLFetch(stmt_);
        if (!SQL_SUCCEEDED(rc))
            return rc;
        for (size_t r = 0; r < Rows(); ++r)
            if (status_[r] == SQL_ROW_ERROR)
                return SQL_ERROR;
        seen_ += Rows();
        if (!probed_ && blockRows_ > 1 && Rows() == 1) {
            probed_ = true;
            toBlocks_ = SQL_SUCCEEDED(SQLSetPos(stmt_, 1, SQL_POSITION, SQL_LOCK_NO_CHANGE));
        }
        return rc;
    }

    size_t Rows() const { return std::min<size_t>(fetched_, rows_); }

    // The value of column `c` in row `r` of the block, where it was read: in the buffer, or
    // for a value longer than the buffer in storage of its own, until the next fetch.
    SQLRETURN Take(size_t r, size_t c, std::string_view& out)
    {
        Column& column = columns_[c];
        const SQLLEN length = column.lengths[r];
        if (length == SQL_NULL_DATA) {
            out = {};
            return SQL_SUCCESS;
        }
        if (length >= 0 && static_cast<size_t>(length) <= column.room) {
            out = {column.buffer.data() + r * (column.room + 1), static_cast<size_t>(length)};
            column.longest = std::max(column.longest, out.size());
            return SQL_SUCCESS;
        }
        // Cut at the buffer: the whole value again.
        if (rows_ > 1 && positioned_ != r + 1) {
            const SQLRETURN rc =
                SQLSetPos(stmt_, static_cast<SQLSETPOSIROW>(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE);
            if (!SQL_SUCCEEDED(rc))
                return rc;
            positioned_ = r + 1;
        }
        column.whole.clear();
        const SQLRETURN rc = ReadOn(stmt_, static_cast<SQLUSMALLINT>(c + 1), column.whole, 0,
                                    length == SQL_NO_TOTAL ? column.room * 2 : static_cast<size_t>(length));
        column.longest = std::max(column.longest, column.whole.size());
        out = column.whole;
        return rc;
    }

private:
    struct Column {
        size_t room = 0;  // bytes a value may have in the buffer, the terminator not counted
        std::vector<char> buffer;  // one value after another, room + 1 bytes each
        std::vector<SQLLEN> lengths;
        size_t longest = 0;  // of the values since the buffer was last sized
        std::string whole;   // a value longer than the buffer
    };

    bool BindColumn(size_t c, size_t room)
    {
        Column& column = columns_[c];
        column.room = room;
        column.buffer.assign(rows_ * (room + 1), '\0');
        column.lengths.assign(rows_, 0);
        column.longest = 0;
        return SQL_SUCCEEDED(SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, column.buffer.data(),
                                        static_cast<SQLLEN>(room + 1), column.lengths.data()));
    }

    // Before a fetch: blocks once the driver has positioned on a row; a buffer grows as soon as
    // a value did not fit, and shrinks when the values of a while needed less than half of it.
    bool Resize()
    {
        bool rebind = false;
        if (toBlocks_) {
            toBlocks_ = false;
            SQLULEN size = 0;
            if (SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE,
                                             reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(blockRows_)), 0))
                && SQL_SUCCEEDED(SQLGetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, &size, 0, nullptr))
                && size == blockRows_) {
                rows_ = blockRows_;
                rebind = true;
            } else if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE,
                                                     reinterpret_cast<SQLPOINTER>(SQLULEN{1}), 0))) {
                return false;
            }
        }
        const size_t cap = rows_ > 1 ? kBlockCap : kRowCap;
        const bool review = seen_ >= kReviewRows;
        for (size_t c = 0; c < columns_.size(); ++c) {
            Column& column = columns_[c];
            const size_t room = NextRoom(column.room, column.longest, review, cap);
            if ((rebind || room != column.room) && !BindColumn(c, room))
                return false;
            if (review)
                column.longest = 0;
        }
        if (review)
            seen_ = 0;
        return true;
    }

    static constexpr size_t kRowCap = 64 * 1024;
    static constexpr size_t kBlockCap = 16 * 1024;
    SQLHSTMT stmt_;
    std::vector<Column> columns_;
    size_t blockRows_;
    size_t rows_ = 1;  // rows a fetch brings now
    SQLULEN fetched_ = 0;
    std::vector<SQLUSMALLINT> status_;
    bool probed_ = false;    // whether the driver was asked to position on the first row
    bool toBlocks_ = false;  // it did: the next fetch brings a block
    size_t positioned_ = 0;  // the row SQLSetPos went to in this block, 1-based
    size_t seen_ = 0;        // rows since the buffers were last reviewed
};

// Reads the first column one row a fetch straight into the rooms a sink offers: its buffer is
// bound once, and before each fetch the bind offset moves it, and its length, to the next room,
// so the driver's own copy of the value is the only one. The length goes in the 8 bytes before
// the room. A value longer than the room is read again whole with SQLGetData; the room is sized
// from the values seen, as the bound buffers are.
class InPlaceReader {
public:
    InPlaceReader(SQLHSTMT stmt, OdbcValueSink& sink) : stmt_(stmt), sink_(sink) {}

    // False when the driver refuses a bind offset or the binding, with both undone.
    bool Bind()
    {
        at_ = sink_.Room(room_ + 1);
        if (SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset_, 0)) && BindColumn())
            return true;
        SQLFreeStmt(stmt_, SQL_UNBIND);
        SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_OFFSET_PTR, nullptr, 0);
        return false;
    }

    // Reads the next row's value into the sink; SQL_NO_DATA after the last row.
    SQLRETURN Next()
    {
        if (!at_) {
            if (!Resize())
                return SQL_ERROR;
            at_ = sink_.Room(room_ + 1);
        }
        // The offset from where the buffer was bound to the room.
        offset_ = static_cast<SQLLEN>(reinterpret_cast<uintptr_t>(at_) - reinterpret_cast<uintptr_t>(anchor_));
        std::memcpy(at_ - sizeof kUnwritten, &kUnwritten, sizeof kUnwritten);
        const SQLRETURN rc = SQLFetch(stmt_);
        if (!SQL_SUCCEEDED(rc))
            return rc;
        SQLLEN length = kUnwritten;
        std::memcpy(&length, at_ - sizeof length, sizeof length);
        at_ = nullptr;
        ++seen_;
        if (length == SQL_NULL_DATA) {
            sink_.Add({});
            return rc;
        }
        if (length >= 0 && static_cast<size_t>(length) <= room_) {
            longest_ = std::max(longest_, static_cast<size_t>(length));
            sink_.KeepInRoom(static_cast<size_t>(length));
            return rc;
        }
        // Cut at the room, or of no length given where it was looked for: the whole value again.
        whole_.clear();
        const SQLRETURN got = ReadOn(stmt_, 1, whole_, 0, length > 0 ? static_cast<size_t>(length) : room_ * 2);
        if (!SQL_SUCCEEDED(got))
            return got;
        longest_ = std::max(longest_, whole_.size());
        sink_.Add(whole_);
        return rc;
    }

private:
    static constexpr size_t kCap = 64 * 1024 - 1;  // the room and its terminator within a sink's largest
    // In the length's place before a fetch: no driver gives it.
    static constexpr SQLLEN kUnwritten = std::numeric_limits<SQLLEN>::min();

    bool BindColumn()
    {
        return SQL_SUCCEEDED(SQLBindCol(stmt_, 1, SQL_C_CHAR, anchor_, static_cast<SQLLEN>(room_ + 1),
                                        reinterpret_cast<SQLLEN*>(anchor_ - sizeof(SQLLEN))));
    }

    // As the bound buffers are sized.
    bool Resize()
    {
        const bool review = seen_ >= kReviewRows;
        const size_t room = NextRoom(room_, longest_, review, kCap);
        if (review) {
            longest_ = 0;
            seen_ = 0;
        }
        if (room == room_)
            return true;
        room_ = room;
        return BindColumn();
    }

    SQLHSTMT stmt_;
    OdbcValueSink& sink_;
    // Where the buffer is bound: room of the largest size, and the length before it. The offset
    // moves both to a sink's room for each fetch, but a driver may write where they were bound
    // without it (the SQLite driver clears the length there): that lands here, not over a value
    // already kept.
    std::vector<SQLLEN> scratch_ = std::vector<SQLLEN>(1 + (kCap + 1 + sizeof(SQLLEN) - 1) / sizeof(SQLLEN));
    char* const anchor_ = reinterpret_cast<char*>(scratch_.data() + 1);
    size_t room_ = kFirstRoom;
    char* at_ = nullptr;      // the room of the next fetch
    SQLLEN offset_ = 0;
    size_t longest_ = 0;  // of the values since the room was last reviewed
    size_t seen_ = 0;
    std::string whole_;   // a value longer than the room
};

// How many rows a fetch may bring into bound buffers on this connection. A value too long for
// its buffer is read again with SQLGetData, which the driver must allow for bound columns, and
// for a row of a block of several also for blocks, with SQLSetPos to position on the row.
size_t BlockRows(SQLHDBC dbc)
{
    SQLUINTEGER getData = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr))
        || (getData & SQL_GD_BOUND) == 0 || (getData & SQL_GD_ANY_COLUMN) == 0)
        return 0;
    SQLUSMALLINT setPos = SQL_FALSE;
    if ((getData & SQL_GD_BLOCK) == 0
        || !SQL_SUCCEEDED(SQLGetFunctions(dbc, SQL_API_SQLSETPOS, &setPos)) || setPos != SQL_TRUE)
        return 1;
    return 64;
}

QByteArray StatementText(const QString& sql)
{
    const auto& filter = OdbcConnection::StatementFilter();
    return (filter ? filter(sql) : sql).toUtf8();
}

}  // namespace

// A statement handle, freed on every way out, and its parameters.
struct OdbcConnection::Statement {
    SQLHSTMT handle = SQL_NULL_HSTMT;
    BoundText parameters;
    ~Statement()
    {
        if (handle != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, handle);
    }
};

OdbcConnection::OdbcConnection() = default;
OdbcConnection::~OdbcConnection() { Close(); }

bool OdbcConnection::Connect(const QString& dsn, const QString& user, const QString& password)
{
    Close();
    error_ = {};
    auto handles = std::make_unique<Handles>();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handles->env))) {
        error_ = {OdbcOutcome::CannotConnect, {}, 0, QStringLiteral("No ODBC environment.")};
        return false;
    }
    SQLSetEnvAttr(handles->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, handles->env, &handles->dbc)))
        return Fail(SQL_HANDLE_ENV, handles->env, OdbcOutcome::CannotConnect);
    const QByteArray d = dsn.toUtf8();
    const QByteArray u = user.toUtf8();
    const QByteArray p = password.toUtf8();
    // Empty user and password are left out so the data source's own settings apply.
    const auto arg = [](const QByteArray& text) {
        return text.isEmpty() ? nullptr : reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.constData()));
    };
    const SQLRETURN rc = SQLConnect(handles->dbc, arg(d), static_cast<SQLSMALLINT>(d.size()), arg(u),
                                    static_cast<SQLSMALLINT>(u.size()), arg(p),
                                    static_cast<SQLSMALLINT>(p.size()));
    if (!SQL_SUCCEEDED(rc))
        return Fail(SQL_HANDLE_DBC, handles->dbc, OdbcOutcome::CannotConnect);
    handles->connected = true;
    handles->blockRows = BlockRows(handles->dbc);
    char dbms[64] = {};
    handles->postgres = SQL_SUCCEEDED(SQLGetInfo(handles->dbc, SQL_DBMS_NAME, dbms, sizeof dbms, nullptr))
        && std::strcmp(dbms, "PostgreSQL") == 0;
    h_ = std::move(handles);
    return true;
}

void OdbcConnection::Close() { h_.reset(); }
bool OdbcConnection::IsOpen() const { return h_ && h_->connected; }

bool OdbcConnection::Execute(const QString& sql, const std::vector<std::string>& parameters, Statement& stmt,
                             size_t& columns)
{
    columns = 0;
    std::vector<std::string> converted;
    const std::vector<std::string>* values = &parameters;
    if (!StoredParameters(values, converted) || !Prepare(sql, stmt))
        return false;
    if (!SQL_SUCCEEDED(stmt.parameters.Bind(stmt.handle, 1, *values)))
        return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
    const SQLRETURN rc = SQLExecute(stmt.handle);
    if (rc == SQL_NO_DATA)  // a statement that touched no rows
        return true;
    if (!SQL_SUCCEEDED(rc))
        return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.handle, &count)))
        return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
    columns = count > 0 ? static_cast<size_t>(count) : 0;
    return true;
}

size_t OdbcConnection::RowsPerFetch() const
{
    return std::min(h_->blockRows, RowsPerFetchLimit().value_or(h_->blockRows));
}

bool OdbcConnection::QueryViews(const QString& sql, const std::vector<std::string>& parameters,
                                const std::function<bool(OdbcRowView)>& row)
{
    Statement stmt;
    size_t columns = 0;
    if (!Execute(sql, parameters, stmt, columns))
        return false;
    return columns == 0 || ReadRows(stmt, columns, row);
}

bool OdbcConnection::ReadRows(Statement& stmt, size_t count, const std::function<bool(OdbcRowView)>& row)
{
    std::vector<std::string_view> values(count);
    SQLRETURN rc = SQL_SUCCESS;
    if (const size_t blockRows = RowsPerFetch(); blockRows > 0) {
        BoundReader reader(stmt.handle, count, blockRows);
        if (reader.Bind()) {
            for (;;) {
                rc = reader.Fetch();
                if (rc == SQL_NO_DATA)
                    return true;
                if (!SQL_SUCCEEDED(rc))
                    return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
                for (size_t r = 0; r < reader.Rows(); ++r) {
                    for (size_t c = 0; c < count; ++c)
                        if (!SQL_SUCCEEDED(reader.Take(r, c, values[c])))
                            return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
                    if (!row(values)) {
                        SQLCloseCursor(stmt.handle);
                        return true;
                    }
                }
            }
        }
    }
    ColumnReader reader(count);
    for (;;) {
        rc = SQLFetch(stmt.handle);
        if (rc == SQL_NO_DATA)
            return true;
        if (!SQL_SUCCEEDED(rc))
            return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
        for (size_t c = 0; c < count; ++c) {
            if (!SQL_SUCCEEDED(reader.Read(stmt.handle, static_cast<SQLUSMALLINT>(c + 1), values[c])))
                return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
        }
        if (!row(values)) {
            SQLCloseCursor(stmt.handle);
            return true;
        }
    }
}

bool OdbcConnection::QueryFirstColumn(const QString& sql, const std::vector<std::string>& parameters,
                                      OdbcValueSink& sink)
{
    Statement stmt;
    size_t columns = 0;
    if (!Execute(sql, parameters, stmt, columns))
        return false;
    if (columns == 0)
        return true;
    if (RowsPerFetch() == 1) {
        InPlaceReader reader(stmt.handle, sink);
        if (reader.Bind()) {
            for (;;) {
                const SQLRETURN rc = reader.Next();
                if (rc == SQL_NO_DATA)
                    return true;
                if (!SQL_SUCCEEDED(rc))
                    return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
            }
        }
    }
    return ReadRows(stmt, columns, [&sink](OdbcRowView row) {
        sink.Add(row.empty() ? std::string_view() : row[0]);
        return true;
    });
}

bool OdbcConnection::Query(const QString& sql, const std::vector<std::string>& parameters,
                           const std::function<bool(OdbcRow&)>& row)
{
    OdbcRow values;
    return QueryViews(sql, parameters, [&values, &row](OdbcRowView views) {
        values.resize(views.size());
        for (size_t c = 0; c < views.size(); ++c)
            values[c].assign(views[c]);
        return row(values);
    });
}

bool OdbcConnection::Query(const QString& sql, const std::vector<std::string>& parameters, std::vector<OdbcRow>& rows)
{
    return Query(sql, parameters, [&rows](OdbcRow& row) {
        rows.push_back(std::move(row));
        return true;
    });
}

bool OdbcConnection::CallReturningText(const QString& call, const std::vector<std::string>& parameters,
                                       int outputSize, std::string* result)
{
    Statement stmt;
    std::vector<std::string> converted;
    const std::vector<std::string>* values = &parameters;
    if (!StoredParameters(values, converted) || !Prepare(call, stmt))
        return false;
    const size_t size = static_cast<size_t>(std::max(outputSize, 0));
    std::string output(size + 1, '\0');  // room for the terminator
    SQLLEN outputLength = 0;
    if (!SQL_SUCCEEDED(SQLBindParameter(stmt.handle, 1, SQL_PARAM_OUTPUT, SQL_C_CHAR, SQL_VARCHAR,
                                        std::max<SQLULEN>(size, 1), 0, output.data(),
                                        static_cast<SQLLEN>(output.size()), &outputLength)))
        return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
    BoundText bound;
    if (!SQL_SUCCEEDED(bound.Bind(stmt.handle, 2, *values)))
        return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
    SQLRETURN rc = SQLExecute(stmt.handle);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
    // Output parameters are only certain once every result of the call has been passed.
    while (SQL_SUCCEEDED(rc = SQLMoreResults(stmt.handle))) {
    }
    if (rc != SQL_NO_DATA)
        return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
    if (result) {
        if (outputLength == SQL_NULL_DATA || outputLength < 0)
            result->clear();
        else
            result->assign(output.data(), std::min({static_cast<size_t>(outputLength), size,
                                                    static_cast<size_t>(std::strlen(output.data()))}));
    }
    return true;
}

bool OdbcConnection::Prepare(const QString& sql, Statement& stmt)
{
    error_ = {};
    if (!IsOpen()) {
        error_ = {OdbcOutcome::Failed, QStringLiteral("08003"), 0, QStringLiteral("Not connected.")};
        return false;
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h_->dbc, &stmt.handle)))
        return Fail(SQL_HANDLE_DBC, h_->dbc, OdbcOutcome::Failed);
    const QByteArray text = StatementText(sql);
    if (!SQL_SUCCEEDED(SQLPrepare(stmt.handle, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.constData())),
                                  static_cast<SQLINTEGER>(text.size()))))
        return Fail(SQL_HANDLE_STMT, stmt.handle, OdbcOutcome::Failed);
    return true;
}

bool OdbcConnection::StoredTexts(bool on)
{
    if (!IsOpen() || !h_->postgres || on != h_->restoreEncoding.empty())
        return true;
    const OdbcError earlier = error_;  // of a query before, kept when this succeeds
    std::vector<OdbcRow> rows;
    if (on) {
        if (!Query(QStringLiteral("SELECT current_setting('client_encoding'), current_setting('server_encoding')"),
                   {}, rows))
            return false;
        if (rows.size() != 1 || rows[0].size() != 2 || rows[0][0] == rows[0][1]) {
            error_ = earlier;
            return true;
        }
    }
    const std::string encoding = on ? rows[0][1] : h_->restoreEncoding;
    const std::string restore = on ? rows[0][0] : std::string();
    rows.clear();
    h_->restoreEncoding.clear();  // the statement's parameter is ASCII
    if (!Query(QStringLiteral("SELECT set_config('client_encoding', ?, false)"), {encoding}, rows))
        return false;
    h_->restoreEncoding = restore;
    error_ = earlier;
    return true;
}

bool OdbcConnection::StoredParameters(const std::vector<std::string>*& parameters, std::vector<std::string>& converted)
{
    const auto beyondAscii = [](const std::string& value) {
        return std::any_of(value.begin(), value.end(), [](char c) { return (c & 0x80) != 0; });
    };
    if (!h_ || h_->restoreEncoding.empty() || std::none_of(parameters->begin(), parameters->end(), beyondAscii))
        return true;
    // Each goes to the server and comes back in hexadecimal digits, ASCII in any client encoding.
    converted = *parameters;
    for (std::string& value : converted) {
        std::vector<OdbcRow> rows;
        if (!Query(QStringLiteral("SELECT encode(convert(decode(?, 'hex'), 'UTF8', getdatabaseencoding()), 'hex')"),
                   {QByteArray::fromStdString(value).toHex().toStdString()}, rows))
            return false;
        value = QByteArray::fromHex(rows.empty() || rows[0].empty() ? QByteArray() : QByteArray::fromStdString(rows[0][0]))
                    .toStdString();
    }
    parameters = &converted;
    return true;
}

std::function<QString(const QString&)>& OdbcConnection::StatementFilter()
{
    static std::function<QString(const QString&)> filter;
    return filter;
}

std::optional<size_t>& OdbcConnection::RowsPerFetchLimit()
{
    static std::optional<size_t> limit;
    return limit;
}

// What the diagnostic records of a failed call come to. The SQLSTATEs of a refused logon and
// of an unreachable server are standard; psqlODBC reports a refused password as a plain
// 08001 whose server message names the authentication, so that text is read as well.
bool OdbcConnection::Fail(short handleType, void* handle, OdbcOutcome fallback)
{
    error_ = {};
    bool refused = false;
    bool unreachable = false;
    QStringList messages;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[4096] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, message,
                                           sizeof message, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        const QString sqlState = QString::fromLatin1(reinterpret_cast<const char*>(state), 5);
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(message));
        if (record == 1) {
            error_.sqlState = sqlState;
            error_.nativeCode = static_cast<int>(native);
        }
        messages << text;
        if (sqlState == QLatin1String("28000") || sqlState == QLatin1String("28P01")
            || (sqlState.startsWith(QLatin1String("08"))
                && (text.contains(QLatin1String("authentication failed"))
                    || text.contains(QLatin1String("no password supplied")))))
            refused = true;
        else if (sqlState == QLatin1String("IM002") || sqlState == QLatin1String("IM003")
                 || sqlState == QLatin1String("08001") || sqlState == QLatin1String("08S01")
                 || sqlState == QLatin1String("08004"))
            unreachable = true;
    }
    error_.text = messages.join(QLatin1Char('\n'));
    if (refused)
        error_.outcome = OdbcOutcome::LogonRefused;
    else if (unreachable)
        error_.outcome = OdbcOutcome::CannotConnect;
    else if (messages.isEmpty())
        error_.outcome = fallback;
    else
        error_.outcome = OdbcOutcome::Failed;
    return false;
}

}  // namespace quillon::platform
