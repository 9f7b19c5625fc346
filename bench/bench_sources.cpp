// Loading 100,000 messages (about 57 MB) through the ODBC connection into a record store, as
// the Cerner source does (each row's text written by the driver straight into its record text
// where it fetches one row at a time, else copied once from the driver's buffer; the list of them
// then made the store's), from a SQLite data source and from a PostgreSQL one, each
// next to the database's own command-line client selecting the same column to /dev/null in the
// same run.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "OdbcTestDatabases.h"
#include "platform/Heap.h"
#include "platform/Odbc.h"
#include "records/RecordStore.h"
#include "sources/DatabaseMessages.h"

using namespace quillon;

namespace {

constexpr int kMessages = 100000;
const QString kSelect = QStringLiteral("SELECT msg FROM messages");

// CREATE TABLE and the generated messages as multi-row INSERTs, one transaction.
std::string Script(size_t& bytes)
{
    std::string sql = "CREATE TABLE messages (id INTEGER PRIMARY KEY, msg TEXT);\nBEGIN;\n";
    bytes = 0;
    for (int i = 1; i <= kMessages; ++i) {
        const std::string message = bench::GeneratedRecord(i);
        bytes += message.size();
        sql += (i % 500 == 1 ? "INSERT INTO messages VALUES (" : ",\n(") + std::to_string(i) + ", '" + message + "')";
        if (i % 500 == 0 || i == kMessages)
            sql += ";\n";
    }
    return sql + "COMMIT;\n";
}

// While alive, the process and the programs it starts run on the core it is on. On a shared
// virtual machine one core can run a third slower than another for minutes; the program and
// the reference client meet the same core this way, and the ratio does not depend on where
// each happened to be placed.
class SameCore {
public:
    SameCore()
    {
        const int core = sched_getcpu();
        if (core < 0 || sched_getaffinity(0, sizeof saved_, &saved_) != 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(core, &one);
        pinned_ = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~SameCore()
    {
        if (pinned_)
            sched_setaffinity(0, sizeof saved_, &saved_);
    }
    SameCore(const SameCore&) = delete;
    SameCore& operator=(const SameCore&) = delete;

private:
    cpu_set_t saved_;
    bool pinned_ = false;
};

struct Timing {
    double best = 1e9;
    double first = 0;
    void Add(double seconds, int run)
    {
        if (run == 0)
            first = seconds;
        best = std::min(best, seconds);
    }
};

// A load through the connection into a record store; `count` and `bytes` check the result.
double LoadThroughOdbc(const QString& dsn, const QString& user, const QString& password, int& count, size_t& bytes)
{
    QElapsedTimer t;
    t.start();
    platform::OdbcConnection connection;
    if (!connection.Connect(dsn, user, password)) {
        std::printf("connect failed: %s\n", qPrintable(connection.LastError().text));
        return 1e9;
    }
    DatabaseMessages messages;
    const bool ok = ReadMessages(connection, kSelect, {}, messages);
    connection.Close();
    if (!ok) {
        std::printf("query failed: %s\n", qPrintable(connection.LastError().text));
        return 1e9;
    }
    // As frmMain::ShowDatabaseRecords takes them.
    RecordStore store;
    store.RecordCount = static_cast<int32_t>(messages.Count());
    store.Records = messages.TakeSlots();
    const double seconds = bench::Seconds(t);
    count = store.RecordCount;
    bytes = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i)
        bytes += store.Record(i).size();
    return seconds;
}

// Reading the rows through the connection and keeping nothing: what the driver and the reading
// cost before any record is taken into memory.
double ReadOnly(const QString& dsn, const QString& user, const QString& password)
{
    QElapsedTimer t;
    t.start();
    platform::OdbcConnection connection;
    size_t bytes = 0;
    if (!connection.Connect(dsn, user, password)
        || !connection.QueryViews(kSelect, {}, [&bytes](platform::OdbcRowView row) {
               bytes += row[0].size();
               return true;
           }))
        return 1e9;
    return bench::Seconds(t);
}

// A client program writing the column to /dev/null.
double Client(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitCode() != 0) {
        std::printf("%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return 1e9;
    }
    return bench::Seconds(t);
}

struct Figures {
    Timing load;  // the first is the process's first load, into memory it has not used yet
    Timing read;
    Timing client;
    int count = 0;
    size_t bytes = 0;
};

// Five rounds of a load, a reading that keeps nothing and the client, one after the other, so
// that a slower stretch of the machine meets them alike; best of five each.
Figures Measure(const QString& dsn, const QString& user, const QString& password, const QString& client,
                const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    const SameCore core;
    Figures figures;
    for (int run = 0; run < 5; ++run) {
        figures.load.Add(LoadThroughOdbc(dsn, user, password, figures.count, figures.bytes), run);
        figures.read.Add(ReadOnly(dsn, user, password), run);
        figures.client.Add(Client(client, arguments, environment), run);
    }
    return figures;
}

void Print(const char* source, const Figures& f, const char* client, double goal, size_t expectedBytes)
{
    const double ratio = f.load.best / f.client.best;
    const double firstRatio = f.load.first / f.client.best;
    const bool right = f.count == kMessages && f.bytes == expectedBytes;
    std::printf("%-10s %d messages (%.0f MB) loaded in %7.1f ms (first load %7.1f ms), %s to /dev/null %7.1f ms, "
                "ratio %5.2f (first %5.2f; goal %.1fx)%s%s\n"
                "%-10s read and kept nothing in %7.1f ms, ratio %5.2f\n",
                source, f.count, static_cast<double>(f.bytes) / 1e6, f.load.best * 1e3, f.load.first * 1e3, client,
                f.client.best * 1e3, ratio, firstRatio, goal, std::max(ratio, firstRatio) <= goal ? "" : "  MISSED",
                right ? "" : "  WRONG RESULT", "", f.read.best * 1e3, f.read.best / f.client.best);
}

}  // namespace

int main(int argc, char** argv)
{
    platform::PrepareHeapForLargeLoads();  // as the program does at start
    QCoreApplication app(argc, argv);
    size_t expectedBytes = 0;
    const std::string script = Script(expectedBytes);
    test::ScratchOdbc odbc;

    test::SqliteTestDatabase lite(odbc, script, QStringLiteral("BenchLite"));
    if (!lite.Ok()) {
        std::printf("SQLite database: %s\n", qPrintable(lite.Error()));
        return 1;
    }
    Print("SQLite",
          Measure(lite.Dsn(), {}, {}, QStringLiteral("sqlite3"), {lite.Path(), kSelect}), "sqlite3", 1.5,
          expectedBytes);

    // The server starts before the process keeps to one core, so that it runs beside the clients.
    auto& cluster = test::PostgresTestCluster::Instance();
    const QString password = QStringLiteral("bench-pw");
    if (!cluster.Running() || !cluster.CreateUserAndDatabase(QStringLiteral("bench"), password, QStringLiteral("benchdb"))
        || !cluster.RunSql(script, QStringLiteral("benchdb"))
        || !cluster.RunSql("ALTER TABLE messages OWNER TO bench; VACUUM ANALYZE messages;\n", QStringLiteral("benchdb"))) {
        std::printf("PostgreSQL: %s\n", qPrintable(cluster.Error()));
        return 1;
    }
    const QString dsn = cluster.AddDataSource(odbc, QStringLiteral("BenchPg"), QStringLiteral("benchdb"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), password);
    Print("PostgreSQL",
          Measure(dsn, QStringLiteral("bench"), password, QStringLiteral("psql"),
                  {QStringLiteral("-X"), QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-h"),
                   QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(cluster.Port()),
                   QStringLiteral("-U"), QStringLiteral("bench"), QStringLiteral("-d"), QStringLiteral("benchdb"),
                   QStringLiteral("-c"), kSelect},
                  environment),
          "psql", 1.0, expectedBytes);
    return 0;
}
