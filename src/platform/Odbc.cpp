#include "platform/Odbc.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <atomic>

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
// Connections. (Being written: every call fails until then.)

struct OdbcConnection::Handles {};

OdbcConnection::OdbcConnection() = default;
OdbcConnection::~OdbcConnection() { Close(); }

bool OdbcConnection::Connect(const QString&, const QString&, const QString&)
{
    error_ = {OdbcOutcome::CannotConnect, QStringLiteral("IM001"), 0, QStringLiteral("Not available yet.")};
    return false;
}

void OdbcConnection::Close() { h_.reset(); }
bool OdbcConnection::IsOpen() const { return false; }

bool OdbcConnection::Query(const QString&, const std::vector<std::string>&, const std::function<bool(OdbcRow&)>&)
{
    error_ = {OdbcOutcome::Failed, QStringLiteral("08003"), 0, QStringLiteral("Not connected.")};
    return false;
}

bool OdbcConnection::Query(const QString& sql, const std::vector<std::string>& parameters, std::vector<OdbcRow>& rows)
{
    return Query(sql, parameters, [&rows](OdbcRow& row) {
        rows.push_back(std::move(row));
        return true;
    });
}

bool OdbcConnection::CallReturningText(const QString&, const std::vector<std::string>&, int, std::string*)
{
    error_ = {OdbcOutcome::Failed, QStringLiteral("08003"), 0, QStringLiteral("Not connected.")};
    return false;
}

std::function<QString(const QString&)>& OdbcConnection::StatementFilter()
{
    static std::function<QString(const QString&)> filter;
    return filter;
}

bool OdbcConnection::Fail(short, void*, OdbcOutcome fallback)
{
    error_.outcome = fallback;
    return false;
}

}  // namespace quillon::platform
