#pragma once
// The ODBC driver manager (unixODBC): the data sources it knows, and a connection to one of them
// that runs statements with bound parameters and reads every row.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::platform {

// Names of the data sources whose driver description contains `driverText` (exact case) and
// whose name is not blank, in the driver manager's order. Empty when no ODBC environment can be
// had; errors on the way end the list.
QStringList DataSourcesWithDriver(const QString& driverText);

// True when a data source of the InterSystems ODBC driver ("InterSystems ODBC" in the driver
// description, exact case) is configured: the same test as the Ensemble picker's list, so the
// menu item is enabled exactly when the picker has a data source to offer.
bool IsEnsembleOdbcDriverInstalled();

// What a failed call comes to, as the loaders branch on it.
enum class OdbcOutcome {
    Ok,
    LogonRefused,   // user name or password refused (SQLSTATE 28000 and the like)
    CannotConnect,  // no such data source or driver, or the server cannot be reached
    Failed,         // anything else: the statement, the fetch, the procedure
};

struct OdbcError {
    OdbcOutcome outcome = OdbcOutcome::Ok;
    QString sqlState;    // of the first diagnostic record
    int nativeCode = 0;  // of the first diagnostic record
    QString text;        // every diagnostic message, one per line
};

// One row: each column's bytes as the driver gives them as characters; NULL reads as "".
using OdbcRow = std::vector<std::string>;
// The same row seen where the driver put it: the views hold only until the callback returns.
using OdbcRowView = std::span<const std::string_view>;

// Where the values of a column go as they are read (QueryFirstColumn).
class OdbcValueSink {
public:
    // At least `size` writable bytes for the next value, at an address a multiple of 8 with 8
    // writable bytes before it: the driver may write the value there itself.
    virtual char* Room(size_t size) = 0;
    // The value just read is the first `size` bytes of the last room.
    virtual void KeepInRoom(size_t size) = 0;
    // The next value, read elsewhere ("" for NULL).
    virtual void Add(std::string_view value) = 0;

protected:
    ~OdbcValueSink() = default;
};

// One connection to a data source. Values always go to the database as bound parameters
// (each "?" of the statement, in order, as text); nothing is pasted into SQL text. The
// connection closes with the object.
class OdbcConnection {
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // The data source name, user and password go to the driver as separate arguments
    // (SQLConnect), never joined into a connection string. Empty user and password leave them
    // to the data source's own configuration.
    bool Connect(const QString& dsn, const QString& user = {}, const QString& password = {});
    void Close();
    bool IsOpen() const;

    // Runs `sql` and hands every row, in the order the database returns them, to `row`, which
    // answers false to stop. Values of any length are read whole.
    bool Query(const QString& sql, const std::vector<std::string>& parameters,
               const std::function<bool(OdbcRow& row)>& row);
    // The same, each row seen in the buffers it was read into, so a caller that keeps a value
    // copies it once, straight from there.
    bool QueryViews(const QString& sql, const std::vector<std::string>& parameters,
                    const std::function<bool(OdbcRowView row)>& row);
    // Runs `sql` and gives the first column of every row to `sink`, in the database's order.
    // Where the driver fetches one row at a time, each value is written by the driver straight
    // into the sink's room, with no copy after it.
    bool QueryFirstColumn(const QString& sql, const std::vector<std::string>& parameters, OdbcValueSink& sink);
    // The same, every row kept.
    bool Query(const QString& sql, const std::vector<std::string>& parameters, std::vector<OdbcRow>& rows);

    // Calls a procedure that returns text ("{? = call NAME(?)}"): the first "?" is bound as an
    // output parameter of `outputSize` bytes, the others to `parameters` in order. `result`
    // gets the returned text (cut at `outputSize`), "" for NULL.
    bool CallReturningText(const QString& call, const std::vector<std::string>& parameters,
                           int outputSize, std::string* result);

    // While on, texts come as the database holds them where the driver would have them
    // converted: psqlODBC has a PostgreSQL server convert every text to the client encoding it
    // sets (UTF-8), so for the while the client encoding is the database's own, and a parameter
    // beyond ASCII goes converted to the database's character set. Other drivers give what they
    // give. False with the error set when the server refuses.
    bool StoredTexts(bool on);

    const OdbcError& LastError() const { return error_; }

    // For tests only: rewrites each statement before it is prepared (a test database may not
    // speak the server's dialect). The program never sets it.
    static std::function<QString(const QString&)>& StatementFilter();
    // For tests only: at most this many rows per fetch, below what the driver allows; 0 reads
    // every value with SQLGetData, row by row, as for a driver that allows nothing else. The
    // program never sets it.
    static std::optional<size_t>& RowsPerFetchLimit();

private:
    struct Handles;
    struct Statement;
    // A statement handle for `sql` (after the tests' filter), prepared; false with the error set.
    bool Prepare(const QString& sql, Statement& stmt);
    // Prepares and runs `sql` with `parameters`; `columns` is 0 for a statement that gives no rows.
    bool Execute(const QString& sql, const std::vector<std::string>& parameters, Statement& stmt, size_t& columns);
    // Every row of the statement run, as QueryViews hands them.
    bool ReadRows(Statement& stmt, size_t columns, const std::function<bool(OdbcRowView row)>& row);
    // Rows per fetch into bound buffers on this connection, after the tests' limit.
    size_t RowsPerFetch() const;
    bool Fail(short handleType, void* handle, OdbcOutcome fallback);
    // Points `parameters` at `converted`, their copy in the database's character set, where one
    // is beyond ASCII while texts come as stored; false with the error set when that fails.
    bool StoredParameters(const std::vector<std::string>*& parameters, std::vector<std::string>& converted);
    std::unique_ptr<Handles> h_;
    OdbcError error_;
};

}  // namespace quillon::platform
