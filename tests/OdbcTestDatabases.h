#pragma once
// Real databases for the ODBC tests and benchmarks: a scratch unixODBC configuration, SQLite
// files behind the SQLite3 ODBC driver, and a throwaway PostgreSQL cluster behind psqlODBC.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

using OdbcSettings = std::vector<std::pair<QString, QString>>;  // key = value lines of a data source

// Points the driver manager (ODBCSYSINI, ODBCINI) at a scratch folder for the object's life,
// restoring the environment afterwards. One at a time: each new one starts with no data sources. Drivers: "SQLite3", "PostgreSQL Unicode" and
// "InterSystems ODBC" (psqlODBC as well, so a PostgreSQL data source passes for Ensemble).
class ScratchOdbc {
public:
    ScratchOdbc();
    ~ScratchOdbc();
    ScratchOdbc(const ScratchOdbc&) = delete;
    ScratchOdbc& operator=(const ScratchOdbc&) = delete;

    // Adds a user data source and returns its name: `name` itself the first time the process
    // uses it, else `name` with a suffix. The driver manager keeps odbc.ini values for 20 s
    // keyed by data source name only, so a reused name could be answered with an earlier
    // test's settings; always use the returned name.
    QString AddDataSource(const QString& name, const QString& driver, const OdbcSettings& settings);

    QString Folder() const { return folder_; }
    // A driver library of the system's ODBC folder ("" when not installed).
    static QString DriverLibrary(const QString& file);

private:
    QString folder_;
    QString userIni_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
    std::vector<const char*> unset_;
};

// A SQLite file built by the sqlite3 program from an SQL script, as a "SQLite3" data source.
class SqliteTestDatabase {
public:
    SqliteTestDatabase(ScratchOdbc& odbc, const std::string& script,
                       const QString& dsnName = QStringLiteral("QuillonLite"));
    bool Ok() const { return error_.isEmpty(); }
    QString Error() const { return error_; }
    QString Dsn() const { return dsn_; }
    QString Path() const { return path_; }
    // Runs more SQL on the file through sqlite3; false with Error() on failure.
    bool Run(const std::string& script);

private:
    QTemporaryDir dir_;
    QString path_;
    QString dsn_;
    QString error_;
};

// One throwaway PostgreSQL cluster per process: initdb --locale=C -E UTF8 (psqlODBC's Unicode
// driver talks UTF-8 to the server, so no conversion stands between the stored bytes and the
// client), password (scram) logons over TCP on 127.0.0.1 only at a port picked free, the
// superuser "postgres" trusted on the cluster's own Unix socket. Started on first use and
// stopped by its PID at exit; a watchdog process stops it and removes its folder should the
// test process die first. Under root, initdb and the server run as the postgres account.
class PostgresTestCluster {
public:
    // The process's cluster, started if need be. Check Running() (Error() says why not).
    static PostgresTestCluster& Instance();

    bool Running() const { return pid_ > 0; }
    QString Error() const { return error_; }
    int Port() const { return port_; }
    qint64 Pid() const { return pid_; }

    // Runs SQL as the superuser through psql (stopping at the first error); `output` gets
    // psql's unaligned, tuples-only output.
    bool RunSql(const std::string& sql, const QString& database = QStringLiteral("postgres"),
                QByteArray* output = nullptr);
    // Creates a login with the password and a database it owns.
    bool CreateUserAndDatabase(const QString& user, const QString& password, const QString& database);
    // A data source for `database` under `driver` ("PostgreSQL Unicode" or "InterSystems ODBC"):
    // Servername 127.0.0.1, Port, Database, UseServerSidePrepare=0 (else psqlODBC drops the
    // arguments of a text-returning call), and `extra` lines; no password unless `extra` has one.
    QString AddDataSource(ScratchOdbc& odbc, const QString& name, const QString& database,
                          const QString& driver = QStringLiteral("PostgreSQL Unicode"),
                          const OdbcSettings& extra = {});
    // The folder of initdb, pg_ctl and postgres ("" when PostgreSQL is not installed).
    static QString BinFolder();

    ~PostgresTestCluster();

private:
    PostgresTestCluster();
    bool Start();
    void Stop();

    QString root_;  // holds data/, the socket and the log
    int port_ = 0;
    qint64 pid_ = 0;
    qint64 watchdog_ = 0;
    QString error_;
};

// While alive, statements have the Ensemble "_" concatenation operator rewritten to "||" so
// PostgreSQL can run the Ensemble queries (the program itself never rewrites them).
class EnsembleDialectFilter {
public:
    EnsembleDialectFilter();
    ~EnsembleDialectFilter();
    EnsembleDialectFilter(const EnsembleDialectFilter&) = delete;
    EnsembleDialectFilter& operator=(const EnsembleDialectFilter&) = delete;
    // " _ " between operands becomes " || "; underscores inside names and quoted text stay.
    static QString Rewrite(const QString& sql);
};

}  // namespace quillon::test
