// The Ensemble source: the query as shown and as sent, the picker, and loads from a real
// PostgreSQL database standing in for the server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTimeEdit>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>

#include "OdbcTestDatabases.h"
#include "TestSupport.h"
#include "sources/EnsembleSource.h"
#include "sources/frmEnsembleInterfaces.h"

namespace quillon::test {
namespace {

using platform::MsgIcon;
using Type = EnsembleBusinessType;

struct EnsembleServer;
EnsembleServer& Server();

TEST(EnsembleQuery, TimeBounds)
{
    EXPECT_EQ(EnsembleTodayBounds(QDate(2024, 3, 5)).start, "2024-03-05 00:00:00");
    EXPECT_EQ(EnsembleTodayBounds(QDate(2024, 3, 5)).end, "2024-03-05 23:59:59");
    EXPECT_EQ(EnsembleTimeBound(QDate(2024, 2, 1), QTime(7, 5, 9)), "2024-02-01 07:05:09");
    EXPECT_EQ(EnsembleTimeBound(QDate(2024, 2, 3), QTime(18, 0, 0)), "2024-02-03 18:00:00");
    EXPECT_EQ(EnsembleTimeBound(QDate(987, 12, 31), QTime(23, 59, 59)), "0987-12-31 23:59:59");
}

TEST(EnsembleQuery, ShownTextAndBoundStatement)
{
    const QString head =
        "SELECT ('X' _ EnsLib_HL7.Message.ID), EnsLib_HL7.Message.RawContent FROM "
        "EnsLib_HL7.Message WHERE EnsLib_HL7.Message.ID IN (SELECT DISTINCT "
        "Ens.MessageHeader.MessageBodyID FROM EnsLib_HL7.Message INNER JOIN Ens.MessageHeader ON "
        "EnsLib_HL7.Message.Id = Ens.MessageHeader.MessageBodyID WHERE (Ens.MessageHeader.";
    const QString source = "SourceConfigName = ";
    const QString target = "TargetConfigName = ";
    const QString tail = ") AND (EnsLib_HL7.Message.Name <> 'ACK'))";
    const EnsembleBounds bounds{"2024-02-01 07:05:09", "2024-02-03 18:00:00"};
    const struct {
        Type type;
        QString name;
        QString column;
    } cases[] = {{Type::Service, "ADT_IN", source},
                 {Type::Process, "P", target},
                 {Type::Operation, "O'Brien Out", target}};  // the name goes in unchanged
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(EnsembleQueryText(c.type, c.name, bounds),
                  head + c.column + "'" + c.name
                      + "') AND (Ens.MessageHeader.TimeCreated BETWEEN '2024-02-01 07:05:09' AND "
                        "'2024-02-03 18:00:00'"
                      + tail);
        EXPECT_EQ(EnsembleQueryStatement(c.type),
                  head + c.column + "?) AND (Ens.MessageHeader.TimeCreated BETWEEN ? AND ?" + tail);
    }
    EXPECT_TRUE(EnsembleQueryText(Type::None, "P", bounds).isEmpty());

    // The flags are tested services first, then operations, then processes.
    EnsembleState state;
    state.EnsembleBusinessServices = false;
    state.EnsembleBusinessProcesses = true;
    state.EnsembleBusinessOperations = true;
    EXPECT_EQ(EnsembleTypeOf(state), Type::Operation);
    state.EnsembleBusinessOperations = state.EnsembleBusinessProcesses = false;
    EXPECT_EQ(EnsembleTypeOf(state), Type::None);
}

TEST(EnsembleQuery, IdAndLongMessageRules)
{
    EXPECT_EQ(EnsembleMessageId("X123"), "123");
    EXPECT_EQ(EnsembleMessageId("123"), "123");
    EXPECT_EQ(EnsembleMessageId("XX7"), "X7");
    EXPECT_EQ(EnsembleMessageId(""), "");
    EXPECT_FALSE(EnsembleMessageCutShort(std::string(9998, 'a')));
    EXPECT_TRUE(EnsembleMessageCutShort(std::string(9999, 'a')));
    EXPECT_EQ(EnsembleLongMessageResult(""), "");
    EXPECT_EQ(EnsembleLongMessageResult("Z"), "");
    EXPECT_EQ(EnsembleLongMessageResult("MS"), "MS");
}

TEST(EnsemblePicker, LoadOptionsAndButtons)
{
    // The driver manager keeps the configuration it read first: let that be the test one.
    (void)Server();
    platform::ScriptedResponder responder;
    EnsembleState state;
    state.EnsembleBusinessServices = false;
    state.EnsembleBusinessOperations = true;
    frmEnsembleInterfaces picker(state, responder);
    EXPECT_EQ(picker.windowTitle(), "Select Ensemble Interface");
    EXPECT_TRUE(picker.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(picker.isModal());
    EXPECT_TRUE(state.EnsembleBusinessServices && !state.EnsembleBusinessOperations);
    EXPECT_TRUE(picker.optBusinessServices->isChecked());
    EXPECT_TRUE(picker.optDateTimeRange[1]->isChecked());
    EXPECT_EQ(picker.dateStartTime->time(), QTime(0, 0, 0));
    EXPECT_EQ(picker.dateStartTime->displayFormat(), "H:mm");
    EXPECT_EQ(picker.dateStartDate->date(), QDate::currentDate());

    // A business type chosen before any data source changes only the flags and the options.
    picker.optBusinessProcesses_Click();
    EXPECT_TRUE(state.EnsembleBusinessProcesses && !state.EnsembleBusinessServices
                && !state.EnsembleBusinessOperations);
    EXPECT_TRUE(picker.optBusinessProcesses->isChecked() && !picker.optBusinessServices->isChecked());
    EXPECT_EQ(picker.lstInterfaceName->count(), 0);

    // A date changed under "today" switches to the user range.
    picker.optDateTimeRange[0]->setChecked(true);
    EXPECT_EQ(picker.Bounds(QDate(2024, 3, 5)).end, "2024-03-05 23:59:59");
    picker.dateStopDate->setDate(QDate(2024, 2, 3));
    EXPECT_TRUE(picker.optDateTimeRange[1]->isChecked());
    picker.dateStartDate->setDate(QDate(2024, 2, 1));
    picker.dateStartTime->setTime(QTime(7, 5, 9));
    picker.DateStopTime->setTime(QTime(18, 0, 0));
    EXPECT_EQ(picker.Bounds(QDate(2024, 3, 5)).start, "2024-02-01 07:05:09");
    EXPECT_EQ(picker.Bounds(QDate(2024, 3, 5)).end, "2024-02-03 18:00:00");

    // OK with no interface: the message, and the picker is not done.
    picker.cmdCommand[0]->click();
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].text, "You have not selected an interface.");
    EXPECT_EQ(responder.shown()[0].title, "No Interface Selected");
    EXPECT_EQ(responder.shown()[0].icon, MsgIcon::Information);
    EXPECT_FALSE(state.EnsemblePickerDone);

    picker.lstInterfaceName->addItem("P1");
    picker.lstInterfaceName->setCurrentRow(0);
    picker.lstInterfaceName_DblClick();
    EXPECT_TRUE(state.EnsemblePickerDone && !state.EnsemblePickerCancelled);
    EXPECT_EQ(picker.InterfaceName(), "P1");
    state.EnsemblePickerDone = false;
    picker.show();
    picker.close();  // closing is Cancel
    EXPECT_TRUE(state.EnsemblePickerDone && state.EnsemblePickerCancelled);
}

// A stand-in Ensemble server: PostgreSQL folds the query's unquoted names to lower case.
// TimeCreated holds the server's own "yyyy-mm-dd hh:mm:ss" text. psqlODBC looks a called
// function up among the visible ones, so qm is on the search path.
const char* const kServerSql = R"(
ALTER ROLE ens SET search_path = "$user", public, qm;
SET ROLE ens;
CREATE SCHEMA ens; CREATE SCHEMA enslib_hl7; CREATE SCHEMA qm;
CREATE TABLE enslib_hl7.message (id integer PRIMARY KEY, name text, rawcontent text, whole text);
CREATE TABLE ens.messageheader (messagebodyid integer, sourceconfigname text,
                                targetconfigname text, timecreated text);
CREATE FUNCTION qm.listinterfaces() RETURNS TABLE (name text, description text, enabled integer,
                                                   businesstype integer) AS $$
  VALUES ('ADT_IN', 'a', 1, 1), ('ROUTER', 'b', 1, 2), ('LAB_OUT', 'c', 1, 3),
         ('ODD', 'd', 1, 4), ('RAD_IN', 'e', 1, 1), ('../../escaped', 'f', 1, 3)
$$ LANGUAGE sql;
CREATE FUNCTION qm.gethl7msg_gethl7(msgid text) RETURNS text AS $$
  SELECT whole FROM enslib_hl7.message WHERE id = msgid::integer
$$ LANGUAGE sql;
INSERT INTO enslib_hl7.message VALUES
  (1, 'ADT_A01', 'MSH|1' || chr(13), NULL),
  (2, 'ACK', 'MSH|ack' || chr(13), NULL),
  (3, 'ADT_A08', 'MSH|two headers' || chr(13), NULL),
  (4, 'ADT_A01', NULL, NULL),
  (5, 'ADT_A01', 'MSH|' || repeat('5', 9994), 'not fetched'),
  (6, 'ADT_A01', 'MSH|' || repeat('6', 9995), 'MSH|' || repeat('6', 9995)),
  (7, 'ADT_A01', 'MSH|' || repeat('7', 9995), 'MSH|' || repeat('7', 11996)),
  (8, 'ADT_A01', 'MSH|' || repeat('8', 9995), ''),
  (9, 'ADT_A01', 'MSH|' || repeat('9', 9995), 'Z'),
  (10, 'ADT_A01', 'MSH|late', NULL),
  (11, 'ADT_A01', 'MSH|routed', NULL),
  (12, 'ADT_A01', 'MSH|escaped' || chr(13), NULL);
INSERT INTO ens.messageheader VALUES
  (1, 'ADT_IN', 'ROUTER', '2024-02-01 07:05:09'), (2, 'ADT_IN', 'ROUTER', '2024-02-01 08:00:00'),
  (3, 'ADT_IN', 'ROUTER', '2024-02-01 09:00:00'), (3, 'ADT_IN', 'LAB_OUT', '2024-02-01 09:00:01'),
  (4, 'ADT_IN', 'ROUTER', '2024-02-02 00:00:00'), (5, 'ADT_IN', 'ROUTER', '2024-02-02 01:00:00'),
  (6, 'ADT_IN', 'ROUTER', '2024-02-02 02:00:00'), (7, 'ADT_IN', 'ROUTER', '2024-02-02 03:00:00'),
  (8, 'ADT_IN', 'ROUTER', '2024-02-02 04:00:00'), (9, 'ADT_IN', 'ROUTER', '2024-02-03 18:00:00'),
  (10, 'ADT_IN', 'ROUTER', '2024-02-03 18:00:01'), (11, 'RAD_IN', 'ADT_IN', '2024-02-02 05:00:00'),
  (12, 'RAD_IN', '../../escaped', '2024-02-02 06:00:00');
)";

// Texts beyond ASCII, one long; the LATIN1 database has RAD_IN's messages under a name beyond ASCII.
const char* const kStoredSql = R"(
SET client_encoding TO 'UTF8'; SET ROLE ens;
INSERT INTO enslib_hl7.message VALUES (13, 'ADT_A01', 'MSH|8859/1' || chr(13) || 'PID|1||2||Gößner^Zoë', NULL),
  (14, 'ADT_A01', 'MSH|' || repeat('ß', 9995), 'MSH|' || repeat('ü', 2));
INSERT INTO ens.messageheader VALUES (13, 'RAD_IN', 'X', '2024-02-02 07:00:00'), (14, 'RAD_IN', 'X', '2024-02-02 08:00:00');
)";

// The cluster, its databases and the data sources, made once for the process.
struct EnsembleServer {
    ScratchOdbc odbc;
    QString dsn, refusedDsn, downDsn, otherDriverDsn, latin1Dsn;
    QString error;
    EnsembleServer()
    {
        auto& cluster = PostgresTestCluster::Instance();
        if (!cluster.Running()) {
            error = cluster.Error();
            return;
        }
        if (!cluster.CreateUserAndDatabase("ens", "ens-pw", "ensdb")
            || !cluster.RunSql(kServerSql, "ensdb") || !cluster.RunSql(kStoredSql, "ensdb")
            || !cluster.RunSql("CREATE DATABASE enslatin1 OWNER ens ENCODING 'LATIN1' TEMPLATE template0 "
                               "LOCALE 'C';")
            || !cluster.RunSql(QString("SET client_encoding TO 'UTF8';" + QString(kServerSql) + kStoredSql)
                                   .replace("RAD_IN", "RÖNTGEN").toStdString(), "enslatin1")) {
            error = "cannot set up the database";
            return;
        }
        const QString driver = "InterSystems ODBC";
        dsn = cluster.AddDataSource(odbc, "EnsProd", "ensdb", driver,
                                    {{"Username", "ens"}, {"Password", "ens-pw"}});
        refusedDsn = cluster.AddDataSource(odbc, "EnsRefused", "ensdb", driver,
                                           {{"Username", "ens"}, {"Password", "wrong"}});
        otherDriverDsn = cluster.AddDataSource(odbc, "PlainPg", "ensdb");
        latin1Dsn = cluster.AddDataSource(odbc, "EnsLatin1", "enslatin1", driver,
                                          {{"Username", "ens"}, {"Password", "ens-pw"}});
        QTcpServer probe;  // a port nobody listens on once the probe is closed
        probe.listen(QHostAddress::LocalHost, 0);
        const int closedPort = probe.serverPort();
        probe.close();
        downDsn = odbc.AddDataSource(
            "EnsDown", driver,
            {{"Driver", driver}, {"Servername", "127.0.0.1"}, {"Port", QString::number(closedPort)},
             {"Database", "ensdb"}, {"Username", "ens"}, {"Password", "ens-pw"}});
    }
};

EnsembleServer& Server()
{
    static EnsembleServer server;
    return server;
}

#define REQUIRE_SERVER()                                                                 \
    if (!Server().error.isEmpty())                                                       \
    GTEST_SKIP() << Server().error.toStdString()

// Works the picker while a load waits for it: each step runs once the load waits (the picker
// shows and is not done); after the last step, or 20 s at the latest, Cancel ends the load.
// The timer stops with the returned object.
std::unique_ptr<QTimer> DrivePicker(frmMain& window,
                                    std::vector<std::function<void(frmEnsembleInterfaces&)>> steps)
{
    auto timer = std::make_unique<QTimer>();
    auto queue = std::make_shared<std::deque<std::function<void(frmEnsembleInterfaces&)>>>(
        steps.begin(), steps.end());
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer.get(), &QTimer::timeout, [timer = timer.get(), queue, ticks, &window] {
        frmEnsembleInterfaces* picker = window.EnsemblePicker;
        if (++*ticks > 2000) {
            if (picker)
                picker->cmdCommand_Click(1);
            timer->stop();
            return;
        }
        if (!picker || !picker->isVisible() || window.Ensemble.EnsemblePickerDone)
            return;
        if (queue->empty()) {
            picker->cmdCommand_Click(1);
            timer->stop();
            return;
        }
        auto step = std::move(queue->front());
        queue->pop_front();
        step(*picker);
    });
    timer->start(10);
    return timer;
}

void Choose(frmEnsembleInterfaces& picker, const QString& dsn, QRadioButton* type,
            const QString& name)
{
    const auto found = picker.lstDSNs->findItems(dsn, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    picker.lstDSNs->setCurrentItem(found[0]);
    picker.lstDSNs_Click();
    type->click();
    const auto interfaces = picker.lstInterfaceName->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(interfaces.size(), 1);
    picker.lstInterfaceName->setCurrentItem(interfaces[0]);
    picker.dateStartDate->setDate(QDate(2024, 2, 1));
    picker.dateStartTime->setTime(QTime(7, 5, 9));
    picker.dateStopDate->setDate(QDate(2024, 2, 3));
    picker.DateStopTime->setTime(QTime(18, 0, 0));
}

QStringList Lines(const QListWidget* list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

TEST(EnsembleServer, PickerListsDataSourcesAndInterfaces)
{
    REQUIRE_SERVER();
    const EnsembleServer& s = Server();
    platform::ScriptedResponder responder;
    EnsembleState state;
    frmEnsembleInterfaces picker(state, responder);
    const QStringList dsns = Lines(picker.lstDSNs);
    EXPECT_TRUE(dsns.contains(s.dsn) && dsns.contains(s.downDsn));
    EXPECT_FALSE(dsns.contains(s.otherDriverDsn));
    EXPECT_TRUE(platform::IsEnsembleOdbcDriverInstalled());
    {
        // Start-up enables the command and its toolbar button when such a data source exists.
        test::MainWindowFixture f;
        f.window->Form_Load();
        EXPECT_TRUE(f.window->mnuOpenFromEnsemble->isEnabled());
        EXPECT_TRUE(f.window->tbarButtons[18]->isEnabled());
    }

    picker.lstDSNs->setCurrentItem(picker.lstDSNs->findItems(s.dsn, Qt::MatchExactly).value(0));
    picker.lstDSNs_Click();
    EXPECT_EQ(state.EnsembleDSN, s.dsn);
    const struct {
        QRadioButton* option;
        QStringList names;
    } cases[] = {{picker.optBusinessProcesses, {"ROUTER"}},
                 {picker.optBusinessOperations, {"LAB_OUT", "../../escaped"}},
                 {picker.optBusinessServices, {"ADT_IN", "RAD_IN"}}};
    for (const auto& c : cases) {
        c.option->click();
        EXPECT_EQ(Lines(picker.lstInterfaceName), c.names);
        EXPECT_EQ(picker.lstInterfaceName->currentRow(), 0);
    }
    EXPECT_TRUE(responder.shown().empty());

    const struct {
        QString dsn;
        QString text;
    } failures[] = {{s.downDsn, "Can't connect to Cache DSN '" + s.downDsn + "'"},
                    {s.refusedDsn, "The Cache DSN '" + s.refusedDsn + "' refused the logon."}};
    for (const auto& f : failures) {
        responder.Clear();
        state.EnsembleDSN = f.dsn;
        picker.GetInterfaceList();
        EXPECT_EQ(picker.lstInterfaceName->count(), 0);
        ASSERT_EQ(responder.shown().size(), 1u);
        EXPECT_EQ(responder.shown()[0].text, f.text);
    }
}

TEST(EnsembleServer, LoadReadsEveryMessageOfTheInterface)
{
    REQUIRE_SERVER();
    const EnsembleDialectFilter dialect;
    const std::string m5 = "MSH|" + std::string(9994, '5');
    const std::string m6 = "MSH|" + std::string(9995, '6');
    const std::string m7 = "MSH|" + std::string(11996, '7');
    const struct {
        bool target;  // an operation or process: matched on the target
        QString name;
        std::vector<std::string> records;  // in id order
        QString file;  // the records' file in the temp folder
        bool latin1 = false;  // from the LATIN1 database
    } cases[] = {
        // Texts as the database holds them: UTF-8 here, Latin-1 there.
        {false, "RAD_IN", {"MSH|routed", "MSH|escaped\r", "MSH|8859/1\rPID|1||2||G\xC3\xB6\xC3\x9Fner^Zo\xC3\xAB",
                           "MSH|\xC3\xBC\xC3\xBC"}, "RAD_IN.dat"},
        {false, "RÖNTGEN", {"MSH|routed", "MSH|escaped\r", "MSH|8859/1\rPID|1||2||G\xF6\xDFner^Zo\xEB", "MSH|\xFC\xFC"},
         "RÖNTGEN.dat", true},
        // Not the ACK, the late one nor RAD_IN's; message 3 once for its two headers; NULL and a
        // procedure result of 0 or 1 character give "".
        {false, "ADT_IN", {"MSH|1\r", "MSH|two headers\r", "", m5, m6, m7, "", ""}, "ADT_IN.dat"},
        {true, "ROUTER", {"MSH|1\r", "MSH|two headers\r", "", m5, m6, m7, "", ""}, "ROUTER.dat"},
        {true, "LAB_OUT", {"MSH|two headers\r"}, "LAB_OUT.dat"},
        // A name that would climb out of the temp folder is cleaned as a remote file name is.
        {true, "../../escaped", {"MSH|escaped\r"}, "..-..-escaped.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        MainWindowFixture f;
        const auto driver = DrivePicker(*f.window, {[&](frmEnsembleInterfaces& picker) {
                        Choose(picker, c.latin1 ? Server().latin1Dsn : Server().dsn,
                               !c.target                ? picker.optBusinessServices
                               : c.name == "ROUTER" ? picker.optBusinessProcesses
                                                    : picker.optBusinessOperations,
                               c.name);
                        picker.cmdCommand_Click(0);
                    }});
        f.window->mnuOpenFromEnsemble_Click();
        EXPECT_TRUE(f.responder.shown().empty());
        EXPECT_TRUE(f.window->EnsemblePicker.isNull());
        const auto& records = f.state.records;
        ASSERT_EQ(records.RecordCount, static_cast<int32_t>(c.records.size()));
        EXPECT_EQ(records.Records.size(), c.records.size() + 100);
        std::vector<std::string> loaded(records.Records.begin() + 1,
                                        records.Records.begin() + 1 + records.RecordCount);
        std::vector<std::string> expected = c.records;
        std::sort(loaded.begin(), loaded.end());  // the server decides the order
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(loaded, expected);
        EXPECT_EQ(f.window->windowTitle(), "Quillon - Data from " + c.name);
        EXPECT_EQ(f.state.session.CurrentFileName, f.state.folders.TempFolder + c.file);
        ExpectSaveStaysInTheTempFolder(f);
    }
}

TEST(EnsembleServer, FailuresLeaveTheRecords)
{
    REQUIRE_SERVER();
    const EnsembleDialectFilter dialect;
    const EnsembleServer& s = Server();
    const auto pick = [](QString dsn, QString name, QDate day) {
        return [=](frmEnsembleInterfaces& picker) {
            picker.lstInterfaceName->clear();
            picker.lstInterfaceName->addItem(name);
            picker.lstInterfaceName->setCurrentRow(0);
            picker.optDateTimeRange[1]->setChecked(true);
            picker.dateStartDate->setDate(day);
            picker.dateStopDate->setDate(day);
            picker.DateStopTime->setTime(QTime(23, 59, 59));
            // The data source as a click on it sets it, without listing again.
            static_cast<frmMain*>(picker.parentWidget())->Ensemble.EnsembleDSN = dsn;
            picker.cmdCommand_Click(0);
        };
    };
    const auto cancelled = [](frmEnsembleInterfaces& picker) {
        EXPECT_EQ(picker.InterfaceName(), "ADT_IN");  // the choices kept for another try
        picker.cmdCommand_Click(1);
    };
    const struct {
        const char* what;
        std::vector<std::function<void(frmEnsembleInterfaces&)>> steps;
        QStringList messages;
    } cases[] = {
        {"no rows", {pick(s.dsn, "ADT_IN", QDate(2023, 1, 1)), cancelled},
         {"There are no HL7 messages in ADT_IN during that time frame."}},
        {"cannot connect", {pick(s.downDsn, "ADT_IN", QDate(2024, 2, 2)), cancelled},
         {"Can't connect to Cache."}},
        {"logon refused", {pick(s.refusedDsn, "ADT_IN", QDate(2024, 2, 2))},
         {"The Cache DSN '" + s.refusedDsn + "' refused the logon."}},
        {"cancel", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MainWindowFixture f;
        DatabaseMessages earlier;
        earlier.Add("MSH|OLD\r");
        f.window->ShowDatabaseRecords(std::move(earlier), "Earlier");
        const auto driver = DrivePicker(*f.window, c.steps);
        f.window->mnuOpenFromEnsemble_Click();
        QStringList messages;
        for (const auto& shown : f.responder.shown())
            messages << shown.text;
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(f.state.records.RecordCount, 1);
        EXPECT_EQ(f.state.records.Records[1], "MSH|OLD\r");
        EXPECT_EQ(f.window->windowTitle(), "Quillon - Data from Earlier");
        delete f.window->EnsemblePicker.data();
    }
}

}  // namespace
}  // namespace quillon::test
