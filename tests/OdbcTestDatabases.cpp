#include "OdbcTestDatabases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <set>
#include <unistd.h>

#include "platform/Odbc.h"

namespace quillon::test {

namespace {

bool WriteText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

// Runs a program to its end within `seconds`; `input` goes to its standard input.
bool RunProgram(const QString& program, const QStringList& arguments, const QByteArray& input,
                QByteArray* output, QString* error, int seconds = 60)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        *error = program + QStringLiteral(": ") + process.errorString();
        return false;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(seconds * 1000)) {
        process.kill();
        process.waitForFinished(5000);
        *error = program + QStringLiteral(" did not finish");
        return false;
    }
    const QByteArray out = process.readAllStandardOutput();
    if (output)
        *output = out;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = program + QStringLiteral(" ") + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ")
            + QString::fromLocal8Bit(process.readAllStandardError() + out);
        return false;
    }
    return true;
}

bool ProcessAlive(qint64 pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// Waits (bounded) until a process that is not our child has gone.
bool WaitGone(qint64 pid, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 20) {
        if (!ProcessAlive(pid))
            return true;
        ::usleep(20000);
    }
    return !ProcessAlive(pid);
}

int FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

QString ScratchOdbc::DriverLibrary(const QString& file)
{
    for (const QString& folder : {QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc"),
                                  QStringLiteral("/usr/lib/aarch64-linux-gnu/odbc"),
                                  QStringLiteral("/usr/lib/odbc"), QStringLiteral("/usr/local/lib")}) {
        const QString path = folder + QLatin1Char('/') + file;
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

ScratchOdbc::ScratchOdbc()
{
    // unixODBC remembers the configuration paths it first read from the environment for the
    // rest of the process, so every scratch configuration of a process lives at the same paths:
    // a process-wide folder whose user odbc.ini each new configuration starts afresh.
    static QTemporaryDir folder;
    folder_ = folder.path();
    const QString system = folder_ + QStringLiteral("/system");
    QDir().mkpath(system);
    const QByteArray sqlite = DriverLibrary(QStringLiteral("libsqlite3odbc.so")).toLocal8Bit();
    const QByteArray psql = DriverLibrary(QStringLiteral("psqlodbcw.so")).toLocal8Bit();
    WriteText(system + QStringLiteral("/odbcinst.ini"),
              "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" + sqlite + "\n\n"
              "[PostgreSQL Unicode]\nDescription=PostgreSQL ODBC driver (Unicode version)\nDriver=" + psql + "\n\n"
              "[InterSystems ODBC]\nDescription=psqlODBC standing in for the InterSystems driver\nDriver=" + psql + "\n");
    WriteText(system + QStringLiteral("/odbc.ini"), "");
    userIni_ = folder_ + QStringLiteral("/odbc.ini");
    WriteText(userIni_, "");
    for (const char* name : {"ODBCSYSINI", "ODBCINI", "ODBCINSTINI"}) {
        if (qEnvironmentVariableIsSet(name))
            saved_.emplace_back(name, qgetenv(name));
        else
            unset_.push_back(name);
    }
    qunsetenv("ODBCINSTINI");
    qputenv("ODBCSYSINI", system.toLocal8Bit());
    qputenv("ODBCINI", userIni_.toLocal8Bit());
}

ScratchOdbc::~ScratchOdbc()
{
    for (const auto& [name, value] : saved_)
        qputenv(name, value);
    for (const char* name : unset_)
        qunsetenv(name);
}

QString ScratchOdbc::AddDataSource(const QString& name, const QString& driver, const OdbcSettings& settings)
{
    static std::set<QString> used;
    QString unique = name;
    for (int n = 2; used.count(unique.toLower()); ++n)
        unique = name + QLatin1Char('_') + QString::number(n);
    used.insert(unique.toLower());
    QFile file(userIni_);
    if (file.open(QIODevice::Append)) {
        QByteArray text = "[" + unique.toUtf8() + "]\nDriver=" + driver.toUtf8() + "\n";
        for (const auto& [key, value] : settings)
            text += key.toUtf8() + "=" + value.toUtf8() + "\n";
        file.write(text + "\n");
    }
    return unique;
}

// ---------------------------------------------------------------------------------------------

SqliteTestDatabase::SqliteTestDatabase(ScratchOdbc& odbc, const std::string& script, const QString& dsnName)
    : path_(dir_.filePath(QStringLiteral("test.sqlite")))
{
    if (Run(script))
        dsn_ = odbc.AddDataSource(dsnName, QStringLiteral("SQLite3"),
                                  {{QStringLiteral("Database"), path_}, {QStringLiteral("Timeout"), QStringLiteral("5000")},
                                   // Rows one by one, as a user's data source would be set up
                                   // for large tables: without it the driver first copies the
                                   // whole result into memory.
                                   {QStringLiteral("StepAPI"), QStringLiteral("1")}});
}

bool SqliteTestDatabase::Run(const std::string& script)
{
    error_.clear();
    return RunProgram(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), path_},
                      QByteArray::fromStdString(script), nullptr, &error_, 300);
}

// ---------------------------------------------------------------------------------------------

QString PostgresTestCluster::BinFolder()
{
    QDir base(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = base.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& version : versions) {
        const QString bin = base.filePath(version + QStringLiteral("/bin"));
        if (QFileInfo::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return {};
}

PostgresTestCluster& PostgresTestCluster::Instance()
{
    static PostgresTestCluster cluster;
    return cluster;
}

PostgresTestCluster::PostgresTestCluster()
{
    for (int attempt = 0; attempt < 3 && !Start(); ++attempt) {
        Stop();
    }
}

PostgresTestCluster::~PostgresTestCluster() { Stop(); }

bool PostgresTestCluster::Start()
{
    const QString bin = BinFolder();
    if (bin.isEmpty()) {
        error_ = QStringLiteral("PostgreSQL is not installed");
        return false;
    }
    char pattern[] = "/tmp/quillon-pgtest-XXXXXX";
    if (!::mkdtemp(pattern)) {
        error_ = QStringLiteral("no scratch folder");
        return false;
    }
    root_ = QString::fromLocal8Bit(pattern);
    const bool root = ::geteuid() == 0;
    // The server refuses to run as root: under root the cluster belongs to the postgres account.
    const auto as = [&](const QString& program, QStringList arguments) {
        if (!root)
            return std::make_pair(program, arguments);
        arguments.prepend(program);
        arguments = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + arguments;
        return std::make_pair(QStringLiteral("/usr/sbin/runuser"), arguments);
    };
    if (root && !RunProgram(QStringLiteral("chown"), {QStringLiteral("postgres:postgres"), root_}, {}, nullptr, &error_))
        return false;
    const QString data = root_ + QStringLiteral("/data");
    {
        const auto [program, arguments] =
            as(bin + QStringLiteral("/initdb"),
               {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"),
                QStringLiteral("--locale=C"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"),
                QStringLiteral("--no-sync")});
        if (!RunProgram(program, arguments, {}, nullptr, &error_, 120))
            return false;
    }
    port_ = FreePort();
    {
        const auto [program, arguments] =
            as(bin + QStringLiteral("/pg_ctl"),
               {QStringLiteral("-D"), data, QStringLiteral("-l"), root_ + QStringLiteral("/server.log"),
                QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"), QStringLiteral("-o"),
                QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(port_).arg(root_),
                QStringLiteral("start")});
        if (!RunProgram(program, arguments, {}, nullptr, &error_, 45)) {
            QFile log(root_ + QStringLiteral("/server.log"));
            if (log.open(QIODevice::ReadOnly))
                error_ += QString::fromLocal8Bit(log.readAll());
            return false;
        }
    }
    QFile pidFile(data + QStringLiteral("/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("no postmaster.pid");
        return false;
    }
    pid_ = pidFile.readLine().trimmed().toLongLong();
    // Should this process die without stopping the server, the watchdog does.
    const QString script =
        QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; kill -INT %2 2>/dev/null; "
                       "i=0; while kill -0 %2 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; "
                       "kill -KILL %2 2>/dev/null; rm -rf '%3'")
            .arg(::getpid())
            .arg(pid_)
            .arg(root_);
    QProcess::startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, {}, &watchdog_);
    return pid_ > 0;
}

void PostgresTestCluster::Stop()
{
    if (watchdog_ > 0) {
        ::kill(static_cast<pid_t>(watchdog_), SIGKILL);
        watchdog_ = 0;
    }
    if (pid_ > 0) {
        ::kill(static_cast<pid_t>(pid_), SIGINT);  // fast shutdown
        if (!WaitGone(pid_, 10000)) {
            ::kill(static_cast<pid_t>(pid_), SIGKILL);
            WaitGone(pid_, 5000);
        }
        pid_ = 0;
    }
    if (!root_.isEmpty()) {
        QDir(root_).removeRecursively();
        root_.clear();
    }
}

bool PostgresTestCluster::RunSql(const std::string& sql, const QString& database, QByteArray* output)
{
    if (!Running())
        return false;
    QString error;
    const bool ok = RunProgram(
        QStringLiteral("psql"),
        {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
         QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), root_,
         QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"), QStringLiteral("postgres"),
         QStringLiteral("-d"), database},
        QByteArray::fromStdString(sql), output, &error, 300);
    if (!ok)
        error_ = error;
    return ok;
}

bool PostgresTestCluster::CreateUserAndDatabase(const QString& user, const QString& password, const QString& database)
{
    QString quotedPassword = password;
    quotedPassword.replace(QLatin1Char('\''), QStringLiteral("''"));
    return RunSql(QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2';\n").arg(user, quotedPassword).toStdString())
        && RunSql(QStringLiteral("CREATE DATABASE \"%1\" OWNER \"%2\";\n").arg(database, user).toStdString());
}

QString PostgresTestCluster::AddDataSource(ScratchOdbc& odbc, const QString& name, const QString& database,
                                           const QString& driver, const OdbcSettings& extra)
{
    OdbcSettings settings{{QStringLiteral("Servername"), QStringLiteral("127.0.0.1")},
                          {QStringLiteral("Port"), QString::number(port_)},
                          {QStringLiteral("Database"), database},
                          // psqlODBC's server-side prepare loses the input arguments of a
                          // "{? = call NAME(?)}" whose first parameter is an output.
                          {QStringLiteral("UseServerSidePrepare"), QStringLiteral("0")}};
    settings.insert(settings.end(), extra.begin(), extra.end());
    return odbc.AddDataSource(name, driver, settings);
}

// ---------------------------------------------------------------------------------------------

EnsembleDialectFilter::EnsembleDialectFilter() { platform::OdbcConnection::StatementFilter() = &Rewrite; }
EnsembleDialectFilter::~EnsembleDialectFilter() { platform::OdbcConnection::StatementFilter() = nullptr; }

QString EnsembleDialectFilter::Rewrite(const QString& sql)
{
    const auto word = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.'); };
    QString out;
    out.reserve(sql.size() + 8);
    bool quoted = false;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('_') && (i == 0 || !word(sql[i - 1]))
            && (i + 1 == sql.size() || !word(sql[i + 1])))
            out += QStringLiteral("||");
        else
            out += c;
    }
    return out;
}

}  // namespace quillon::test
