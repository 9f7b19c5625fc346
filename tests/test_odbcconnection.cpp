#include <gtest/gtest.h>

#include <algorithm>

#include "OdbcTestDatabases.h"
#include "platform/Odbc.h"
#include "sources/DatabaseMessages.h"

namespace quillon::test {
namespace {

using platform::OdbcConnection;
using platform::OdbcOutcome;
using platform::OdbcRow;
using platform::OdbcRowView;

// A value longer than 64 KB whose every chunk differs, with segment ends, so a lost, doubled or
// shifted chunk shows.
std::string LongValue()
{
    std::string text;
    for (int i = 0; text.size() < 70000; ++i)
        text += "OBX|" + std::to_string(i) + "|TX|^~\\&|line " + std::to_string(i * 7) + "\r";
    return text;
}

// Runs of values (-1 for NULL) each read in one query, in order. A value is read through a
// buffer sized from the values before it in its column: 1 KiB at first, a quarter and 64 bytes
// more than a long value, at most 64 KiB while a fetch brings one row, 16 KiB when it brings a
// block; values that do not fit are read again whole. Where the driver allows blocks (here
// PostgreSQL) the first fetch brings row 1 and each later one 64 rows: 2-65, 66-129, ...
struct SizesCase {
    const char* name;
    std::vector<int> sizes;
};

void PrintTo(const SizesCase& run, std::ostream* os) { *os << run.name; }

std::vector<int> Repeated(std::vector<int> sizes, int count, int size)
{
    sizes.insert(sizes.end(), static_cast<size_t>(count), size);
    return sizes;
}

// Rows 1-based: `size` at each row of `at`, `fill` elsewhere.
std::vector<int> RowsWith(int count, int fill, const std::vector<std::pair<int, int>>& at)
{
    std::vector<int> sizes(static_cast<size_t>(count), fill);
    for (const auto& [row, size] : at)
        sizes[static_cast<size_t>(row - 1)] = size;
    return sizes;
}

const std::vector<SizesCase> kSizesCases = {
    // Around the first buffer, around the room a 2000-byte value leaves (2564), around 64 KiB,
    // far larger, NULL and empty between them.
    {"Mixed", {1024, 1025, 3, 70000, -1, 0, 2000, 2565, 2000, 2564, 65536, 65537, 200000, 1, 1023}},
    // Around the largest buffer of a block after a 16000-byte value.
    {"AroundTheBlockBuffer", {16000, 16384, 16385, 16000, 16383, -1, 16384}},
    // Long values inside blocks, on their first and last rows, and one after another.
    {"LongValuesInsideBlocks",
     RowsWith(200, 100, {{1, 3000}, {2, 5000}, {40, 100000}, {41, 1025}, {65, 20000}, {66, 20000}, {100, -1},
                         {101, 17000}, {129, 70000}, {130, 2}, {150, 16385}})},
    // NULL after values and around block boundaries, among empty values.
    {"NullsAndEmpties", RowsWith(140, 0, {{1, 10}, {2, -1}, {64, 7}, {65, -1}, {66, -1}, {67, 10}, {129, 3},
                                          {130, -1}, {131, 5}, {139, 4}, {140, -1}})},
    // Short values long enough after long ones for the buffer to shrink, then a long one again.
    {"ShrinkingThenLong", Repeated(Repeated(Repeated({9000, 9000}, 600, 20), 1, 9000), 70, 20)},
    // More than a block of record texts (2 MiB), long and NULL values among them.
    {"PastABlock", RowsWith(800, 3000, {{300, 70000}, {301, -1}, {302, 0}, {500, 40000}, {700, 5}})},
};

std::string Sized(int size)
{
    std::string text;
    for (int i = 0; static_cast<int>(text.size()) < size; ++i)
        text += "OBX|" + std::to_string(i) + "|TX|line " + std::to_string(i * 7) + "\r";
    text.resize(static_cast<size_t>(std::max(size, 0)));
    return text;
}

std::string TableScript()
{
    std::string sizes = "CREATE TABLE sizes (run TEXT, id INTEGER, v TEXT);\nBEGIN;\n";
    for (const SizesCase& run : kSizesCases)
        for (size_t i = 0; i < run.sizes.size(); ++i)
            sizes += "INSERT INTO sizes VALUES ('" + std::string(run.name) + "', " + std::to_string(i) + ", "
                     + (run.sizes[i] < 0 ? std::string("NULL") : "'" + Sized(run.sizes[i]) + "'") + ");\n";
    return sizes + "COMMIT;\n"
           "CREATE TABLE t (k TEXT, v TEXT);\n"
           "INSERT INTO t VALUES ('it''s \\ odd', 'match');\n"
           "INSERT INTO t VALUES ('it', 'no match');\n"
           "INSERT INTO t VALUES ('null', NULL);\n"
           "INSERT INTO t VALUES ('empty', '');\n"
           "INSERT INTO t VALUES ('long', '" + LongValue() + "');\n";
}

PostgresTestCluster& Cluster()
{
    auto& cluster = PostgresTestCluster::Instance();
    static const bool prepared = cluster.Running()
        && cluster.CreateUserAndDatabase(QStringLiteral("quill"), QStringLiteral("pa'ss\\word"), QStringLiteral("quilldb"))
        && cluster.RunSql(TableScript(), QStringLiteral("quilldb"))
        && cluster.RunSql("ALTER TABLE t OWNER TO quill;\nALTER TABLE sizes OWNER TO quill;\n"
                          "CREATE FUNCTION repeated(n text) RETURNS text AS $$ SELECT repeat('y', n::int) $$ "
                          "LANGUAGE sql;\n",
                          QStringLiteral("quilldb"));
    EXPECT_TRUE(prepared) << cluster.Error().toStdString();
    return cluster;
}

struct ConnectCase {
    const char* name;
    const char* dsn;  // "pg": the cluster's database; "dead": nothing listens at its port
    const char* password;
    bool connects;
    OdbcOutcome outcome;
};

class ConnectTest : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectTest, ReportsTheOutcome)
{
    ScratchOdbc odbc;
    auto& cluster = Cluster();
    const QString pg = cluster.AddDataSource(odbc, QStringLiteral("pg"), QStringLiteral("quilldb"));
    const QString dead = odbc.AddDataSource(QStringLiteral("dead"), QStringLiteral("PostgreSQL Unicode"),
                                            {{QStringLiteral("Servername"), QStringLiteral("127.0.0.1")},
                                             {QStringLiteral("Port"), QStringLiteral("1")},
                                             {QStringLiteral("Database"), QStringLiteral("quilldb")}});
    const QString dsn = QLatin1String(GetParam().dsn) == QLatin1String("pg")     ? pg
                        : QLatin1String(GetParam().dsn) == QLatin1String("dead") ? dead
                                                                                 : QString::fromLatin1(GetParam().dsn);
    OdbcConnection connection;
    EXPECT_EQ(connection.Connect(dsn, QStringLiteral("quill"), QString::fromLatin1(GetParam().password)),
              GetParam().connects)
        << connection.LastError().text.toStdString();
    EXPECT_EQ(connection.IsOpen(), GetParam().connects);
    EXPECT_EQ(connection.LastError().outcome, GetParam().outcome) << connection.LastError().text.toStdString();
    EXPECT_EQ(connection.LastError().text.isEmpty(), GetParam().connects);
    connection.Close();
    EXPECT_FALSE(connection.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Logons, ConnectTest,
    ::testing::Values(ConnectCase{"Accepted", "pg", "pa'ss\\word", true, OdbcOutcome::Ok},
                      ConnectCase{"WrongPassword", "pg", "wrong", false, OdbcOutcome::LogonRefused},
                      ConnectCase{"UnknownDataSource", "NoSuchSource", "x", false, OdbcOutcome::CannotConnect},
                      ConnectCase{"NoServer", "dead", "x", false, OdbcOutcome::CannotConnect}),
    [](const auto& info) { return std::string(info.param.name); });

struct QueryCase {
    const char* name;
    std::string key;
    std::vector<std::string> values;  // the v column of the rows found
};

// The same table in both databases; values go in as bound parameters and come back whole.
class QueryTest : public ::testing::TestWithParam<std::tuple<const char*, QueryCase>> {};

TEST_P(QueryTest, ReadsTheBoundRowsWhole)
{
    ScratchOdbc odbc;
    const bool sqlite = std::string(std::get<0>(GetParam())) == "SQLite";
    std::unique_ptr<SqliteTestDatabase> lite;
    QString dsn;
    if (sqlite) {
        lite = std::make_unique<SqliteTestDatabase>(odbc, TableScript());
        ASSERT_TRUE(lite->Ok()) << lite->Error().toStdString();
        dsn = lite->Dsn();
    } else {
        dsn = Cluster().AddDataSource(odbc, QStringLiteral("pg"), QStringLiteral("quilldb"));
    }
    OdbcConnection connection;
    ASSERT_TRUE(connection.Connect(dsn, QStringLiteral("quill"), QStringLiteral("pa'ss\\word")))
        << connection.LastError().text.toStdString();
    std::vector<OdbcRow> rows;
    ASSERT_TRUE(connection.Query(QStringLiteral("SELECT v, k FROM t WHERE k = ?"), {std::get<1>(GetParam()).key}, rows))
        << connection.LastError().text.toStdString();
    std::vector<std::string> values;
    for (const OdbcRow& row : rows) {
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(row[1], std::get<1>(GetParam()).key);
        values.push_back(row[0]);
    }
    EXPECT_EQ(values, std::get<1>(GetParam()).values);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, QueryTest,
    ::testing::Combine(::testing::Values("SQLite", "PostgreSQL"),
                       ::testing::Values(QueryCase{"QuoteAndBackslash", "it's \\ odd", {"match"}},
                                         QueryCase{"NullReadsEmpty", "null", {""}},
                                         QueryCase{"Empty", "empty", {""}},
                                         QueryCase{"Over64KB", "long", {LongValue()}},
                                         QueryCase{"NoRows", "it's", {}})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param)) + std::get<1>(info.param).name;
    });

// How the rows are fetched: as the driver allows (blocks of rows for PostgreSQL, one row for
// SQLite, both through bound buffers), one row through bound buffers, or row by row with every
// value read with SQLGetData, as for a driver that allows nothing else; and how they are taken:
// as strings, seen where they were read, or from there into the record texts of a load.
enum class Taking { Strings, Views, Records };

struct Fetching {
    const char* name;
    std::optional<size_t> rowsPerFetch;
    Taking taking;
};

void PrintTo(const Fetching& fetching, std::ostream* os) { *os << fetching.name; }

class SizesTest : public ::testing::TestWithParam<std::tuple<const char*, Fetching, SizesCase>> {
protected:
    void TearDown() override { OdbcConnection::RowsPerFetchLimit().reset(); }
};

TEST_P(SizesTest, RowsOfChangingSizesComeWhole)
{
    ScratchOdbc odbc;
    std::unique_ptr<SqliteTestDatabase> lite;
    QString dsn;
    if (std::string(std::get<0>(GetParam())) == "SQLite") {
        lite = std::make_unique<SqliteTestDatabase>(odbc, TableScript());
        ASSERT_TRUE(lite->Ok()) << lite->Error().toStdString();
        dsn = lite->Dsn();
    } else {
        dsn = Cluster().AddDataSource(odbc, QStringLiteral("pg"), QStringLiteral("quilldb"));
    }
    const Fetching& fetching = std::get<1>(GetParam());
    OdbcConnection::RowsPerFetchLimit() = fetching.rowsPerFetch;
    const SizesCase& run = std::get<2>(GetParam());
    OdbcConnection connection;
    ASSERT_TRUE(connection.Connect(dsn, QStringLiteral("quill"), QStringLiteral("pa'ss\\word")));
    if (fetching.taking == Taking::Records) {
        DatabaseMessages messages;
        ASSERT_TRUE(ReadMessages(connection, QStringLiteral("SELECT v FROM sizes WHERE run = ? ORDER BY id"),
                                 {run.name}, messages))
            << connection.LastError().text.toStdString();
        ASSERT_EQ(messages.Count(), run.sizes.size());
        // Laid out as a load leaves the store: slot 0 unused, 99 empty slots after the messages.
        const std::vector<RecordText> taken = messages.TakeSlots();
        EXPECT_EQ(messages.Count(), 0u);
        ASSERT_EQ(taken.size(), run.sizes.size() + 100);
        for (size_t i = 0; i < taken.size(); ++i) {
            const bool message = i >= 1 && i <= run.sizes.size();
            EXPECT_TRUE(taken[i] == (message ? Sized(run.sizes[i - 1]) : std::string()))
                << "slot " << i << " holds " << taken[i].size() << " bytes";
        }
        return;
    }
    // The value and a copy in capitals, so that each column must keep its own value while the row
    // is seen.
    const QString sql = QStringLiteral("SELECT v, id, upper(v) FROM sizes WHERE run = ? ORDER BY id");
    size_t row = 0;
    const auto check = [&](OdbcRowView values) {
        const int size = row < run.sizes.size() ? run.sizes[row] : 0;
        std::string capitals = Sized(size);
        std::transform(capitals.begin(), capitals.end(), capitals.begin(), [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        });
        EXPECT_TRUE(values[0] == Sized(size) && values[2] == capitals)
            << "row " << row << " of " << size << " bytes read as " << values[0].size() << " and "
            << values[2].size();
        EXPECT_EQ(values[1], std::to_string(row));
        ++row;
        return true;
    };
    const bool read = fetching.taking == Taking::Views ? connection.QueryViews(sql, {run.name}, check)
                                     : connection.Query(sql, {run.name}, [&](OdbcRow& values) {
                                           const std::vector<std::string_view> views(values.begin(), values.end());
                                           return check(views);
                                       });
    ASSERT_TRUE(read) << connection.LastError().text.toStdString();
    EXPECT_EQ(row, run.sizes.size());
}

INSTANTIATE_TEST_SUITE_P(Databases, SizesTest,
                         ::testing::Combine(::testing::Values("SQLite", "PostgreSQL"),
                                            ::testing::Values(Fetching{"", std::nullopt, Taking::Strings},
                                                              Fetching{"OneRow", 1, Taking::Strings},
                                                              Fetching{"RowByRow", 0, Taking::Strings},
                                                              Fetching{"Views", std::nullopt, Taking::Views},
                                                              Fetching{"ViewsOneRow", 1, Taking::Views},
                                                              Fetching{"ViewsRowByRow", 0, Taking::Views},
                                                              Fetching{"Records", std::nullopt, Taking::Records},
                                                              Fetching{"RecordsOneRow", 1, Taking::Records},
                                                              Fetching{"RecordsRowByRow", 0, Taking::Records}),
                                            ::testing::ValuesIn(kSizesCases)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + std::get<1>(info.param).name
                                    + std::get<2>(info.param).name;
                         });

TEST(OdbcQuery, FailuresAreReported)
{
    ScratchOdbc odbc;
    SqliteTestDatabase lite(odbc, TableScript());
    OdbcConnection connection;
    std::vector<OdbcRow> rows;
    EXPECT_FALSE(connection.Query(QStringLiteral("SELECT 1"), {}, rows));  // not connected
    EXPECT_EQ(connection.LastError().outcome, OdbcOutcome::Failed);
    ASSERT_TRUE(connection.Connect(lite.Dsn()));
    EXPECT_FALSE(connection.Query(QStringLiteral("SELECT k FROM nowhere"), {}, rows));
    EXPECT_EQ(connection.LastError().outcome, OdbcOutcome::Failed);
    EXPECT_TRUE(connection.LastError().text.contains(QLatin1String("nowhere")))
        << connection.LastError().text.toStdString() << "|" << connection.LastError().sqlState.toStdString();
    // The connection stays usable, and a row callback can stop the reading.
    int seen = 0;
    EXPECT_TRUE(connection.Query(QStringLiteral("SELECT k FROM t"), {}, [&](OdbcRow&) { return ++seen < 2; }));
    EXPECT_EQ(seen, 2);
}

struct CallCase {
    const char* name;
    std::string length;
    int outputSize;
    size_t expected;
};

class CallTest : public ::testing::TestWithParam<CallCase> {};

TEST_P(CallTest, ReturnsTheProcedureText)
{
    ScratchOdbc odbc;
    const QString dsn = Cluster().AddDataSource(odbc, QStringLiteral("ens"), QStringLiteral("quilldb"),
                                                QStringLiteral("InterSystems ODBC"));
    OdbcConnection connection;
    ASSERT_TRUE(connection.Connect(dsn, QStringLiteral("quill"), QStringLiteral("pa'ss\\word")));
    std::string result = "stale";
    ASSERT_TRUE(connection.CallReturningText(QStringLiteral("{? = call repeated(?)}"), {GetParam().length},
                                             GetParam().outputSize, &result))
        << connection.LastError().text.toStdString();
    EXPECT_EQ(result, std::string(GetParam().expected, 'y'));
}

INSTANTIATE_TEST_SUITE_P(Lengths, CallTest,
                         ::testing::Values(CallCase{"Full", "100000", 100000, 100000},
                                           CallCase{"Empty", "0", 100000, 0},
                                           CallCase{"OneCharacter", "1", 100000, 1},
                                           CallCase{"CutAtTheBuffer", "120000", 100000, 100000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OdbcDataSources, InterSystemsDriverSourceIsListed)
{
    ScratchOdbc odbc;
    auto& cluster = Cluster();
    cluster.AddDataSource(odbc, QStringLiteral("plain"), QStringLiteral("quilldb"));
    const QString ens = cluster.AddDataSource(odbc, QStringLiteral("ens"), QStringLiteral("quilldb"),
                                              QStringLiteral("InterSystems ODBC"));
    EXPECT_EQ(platform::DataSourcesWithDriver(QStringLiteral("InterSystems ODBC")), QStringList{ens});
    EXPECT_TRUE(platform::IsEnsembleOdbcDriverInstalled());
}

TEST(OdbcDataSources, EnsembleDialectFilterRewritesOnlyTheOperator)
{
    EXPECT_EQ(EnsembleDialectFilter::Rewrite(QStringLiteral(
                  "SELECT ('X' _ EnsLib_HL7.Message.ID), a_b FROM t WHERE n = '_ x _' AND m = ?")),
              QStringLiteral("SELECT ('X' || EnsLib_HL7.Message.ID), a_b FROM t WHERE n = '_ x _' AND m = ?"));
    {
        const EnsembleDialectFilter filter;
        ASSERT_TRUE(OdbcConnection::StatementFilter());
    }
    EXPECT_FALSE(OdbcConnection::StatementFilter());
}

}  // namespace
}  // namespace quillon::test
