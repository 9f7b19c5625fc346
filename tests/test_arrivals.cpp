// Records the server receives while a command runs: whatever the command, once it has ended the
// store holds every record the server acknowledged, once and as it was sent, after the records
// the command left. Real sockets on 127.0.0.1; each command reached through its menu item, its
// dialogs answered; the client writes as soon as the command lets window events run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

#include <array>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "BackgroundSupport.h"
#include "FtpTestServer.h"
#include "OdbcTestDatabases.h"
#include "TestSupport.h"
#include "editing/frmFilterRecords.h"
#include "editing/frmReplaceInRecordList.h"
#include "ftp/frmFTP.h"
#include "platform/WinsockControl.h"
#include "sources/frmCernerInterfaces.h"
#include "sources/frmCernerLogin.h"
#include "sources/frmEnsembleInterfaces.h"

namespace quillon::test {
namespace {

namespace wstate = platform::winsock_state;

const std::string kArrived = "MSH|^~\\&|SRV|X|||20200101||ADT^A01|ARRIVED|P|2.3\rPID|1||A9\r";

std::string Frame(const std::string& record)
{
    return "\x0b" + record + "\x1c\r";
}

std::string Records(int n)
{
    std::string bytes;
    for (int i = 1; i <= n; ++i)
        bytes += "MSH|^~\\&|A|B|||202601" + std::to_string(10 + (i * 7) % 20) + "||ADT^A01|"
                 + std::to_string(i) + "|P|2.3\r\nPID|1||ID" + std::to_string(i) + "||DOE^JOHN\r\n";
    return bytes;
}

std::string LogText(const AppState& st)
{
    std::string all;
    const QDir logs(st.folders.LogsFolder);
    for (const QString& name : logs.entryList(QDir::Files))
        all += ReadBytes(logs.filePath(name));
    return all;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A main window listening on a port of its own, one client connected to it.
struct Scene {
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;
    QTcpSocket client;
    std::unique_ptr<HeldWrites> disk;
    std::unique_ptr<FtpTestServer> ftp;
    std::unique_ptr<ScratchOdbc> odbc;
    std::unique_ptr<SqliteTestDatabase> sqlite;
    std::unique_ptr<EnsembleDialectFilter> dialect;
    QString dsn;
    std::string replies;

    bool LoadRecords(int n)
    {
        return w.LoadHL7File(f.WriteFile(QStringLiteral("in.hl7"), Records(n)));
    }
    // Undo points are written beside the window, behind a write that waits for the client: one
    // that passes for the next undo point's own, or one of its own.
    void UndoOnASlowDisk(bool asTheNextPoint)
    {
        st.undo.UndoEnabled = true;
        st.session.InstanceId = QStringLiteral("A1");
        st.undo.StartEmpty(st.folders.TempFolder, QStringLiteral("A1"));
        w.WriteBesideFrom = 0;
        const int tag = asTheNextPoint ? (st.undo.UndoLevel + 1) % UndoRing::Slots : 99;
        disk = std::make_unique<HeldWrites>(w.backgroundWrites_, std::chrono::seconds(20), tag);
    }
    bool DeleteRow(int row)
    {
        w.lstRecords->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        w.mnuOptionsPromptBeforeDeleting->setChecked(false);
        return ChooseMenuItem(w.mnuRecordListDelete);
    }

    bool Listen()
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return false;
            st.server.LocalPort = probe.serverPort();
            probe.close();
            w.Winsock1->setListenAddress(QStringLiteral("127.0.0.1"));
            if (w.StartListening(nullptr))
                return true;
        }
        return false;
    }
    // Connects `socket` and waits until the server has accepted it.
    bool Connect(QTcpSocket& socket)
    {
        socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(st.server.LocalPort));
        return QTest::qWaitFor([&] {
            return w.Winsock1->State() == wstate::Connected
                   && w.Winsock1->RemotePort() == socket.localPort();
        });
    }
    // Writes the record and returns once the server's side has seen it (taken it, or holds it).
    bool Write(QTcpSocket& socket)
    {
        socket.write(QByteArray::fromStdString(Frame(kArrived)));
        socket.flush();
        return QTest::qWaitFor(
            [&] { return w.Winsock1->BytesReceived() > 0 || socket.bytesAvailable() > 0; }, 3000);
    }
    // Reads the client's replies until `frames` of them ended (5 s at most), then 100 ms more.
    void AwaitReplies(QTcpSocket& socket, size_t frames, int timeoutMs = 5000)
    {
        static_cast<void>(QTest::qWaitFor(
            [&] {
                replies += socket.readAll().toStdString();
                return Occurrences(replies, "\x1c\r") >= frames;
            },
            timeoutMs));
        QTest::qWait(100);
        replies += socket.readAll().toStdString();
    }
    size_t Stored() const
    {
        size_t n = 0;
        for (int32_t i = 1; i <= st.records.RecordCount; ++i)
            n += st.records.Record(i) == kArrived ? 1 : 0;
        return n;
    }
};

using Step = std::function<bool(Scene&)>;  // true once it found its window and acted

// Works the windows a command waits for: each step is tried every 10 ms until it acted, never
// while the client writes; whatever besides the main window is still open after 20 s is closed,
// so that nothing hangs.
class Steps : public QObject {
public:
    Steps(Scene& s, std::vector<Step> steps, const bool& paused)
    {
        clock_.start();
        connect(&timer_, &QTimer::timeout, this, [this, &s, steps = std::move(steps), &paused] {
            if (!paused && next_ < steps.size() && steps[next_](s))
                ++next_;
            if (clock_.elapsed() > 20000)
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible() && !qobject_cast<frmMain*>(w))
                        w->close();
        });
        timer_.start(10);
    }

private:
    size_t next_ = 0;
    QTimer timer_;
    QElapsedTimer clock_;
};

template <class W>
W* Shown()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<W*>(w); found && found->isVisible())
            return found;
    return nullptr;
}

// Fills the replace (or assign) dialog once the command waits for it, and presses its button.
Step ReplaceInAll(const char* segment, const char* find, const char* replacement)
{
    return [=](Scene& s) {
        auto* d = Shown<ReplaceDialog>();
        if (!d || s.st.search.SearchDialogDone)
            return false;
        if (*segment)
            d->cboSegmentReplace->setEditText(QString::fromLatin1(segment));
        if (*find)
            d->txtFind->setText(QString::fromLatin1(find));
        d->txtReplace->setText(QString::fromLatin1(replacement));
        d->optScope[0]->setChecked(true);
        d->cmdCommand[0]->click();
        return true;
    };
}

const char* const kCernerTables = R"sql(
create table OEN_PROCINFO (PROC_NAME text, INTERFACEID integer, CONTROLLABLE integer);
create table OEN_PERSONALITY (INTERFACEID integer, NAME text, VALUE text);
create table OEN_TXLOG (INTERFACEID integer, TX_KEY text, MSG_TEXT text);
insert into OEN_PROCINFO values ('ADT IN', 12, 1);
insert into OEN_PERSONALITY values (12, 'TRANSACTION_LOG', 'Y');
insert into OEN_TXLOG values (12, ' 001282549255090001', 'MSH|^~\&|first' || char(13) || 'PID|1');
)sql";

const char* const kEnsembleSql = R"(
ALTER ROLE arrivals SET search_path = "$user", public, qm;
SET ROLE arrivals;
CREATE SCHEMA ens; CREATE SCHEMA enslib_hl7; CREATE SCHEMA qm;
CREATE TABLE enslib_hl7.message (id integer PRIMARY KEY, name text, rawcontent text, whole text);
CREATE TABLE ens.messageheader (messagebodyid integer, sourceconfigname text,
                                targetconfigname text, timecreated text);
CREATE FUNCTION qm.listinterfaces() RETURNS TABLE (name text, description text, enabled integer,
                                                   businesstype integer) AS $$
  VALUES ('ADT_IN', 'a', 1, 1)
$$ LANGUAGE sql;
CREATE FUNCTION qm.gethl7msg_gethl7(msgid text) RETURNS text AS $$
  SELECT whole FROM enslib_hl7.message WHERE id = msgid::integer
$$ LANGUAGE sql;
INSERT INTO enslib_hl7.message VALUES (1, 'ADT_A01', 'MSH|1' || chr(13), NULL);
INSERT INTO ens.messageheader VALUES (1, 'ADT_IN', 'ROUTER', '2024-02-01 08:00:00');
)";

QString Loaded(Scene& s, int records)
{
    return s.LoadRecords(records) ? QString() : QStringLiteral("no load");
}

std::function<QAction*(frmMain&)> Item(QAction* frmMain::*item)
{
    return [item](frmMain& w) { return w.*item; };
}

// Whether the command waits for the user now, given the title of the box or file dialog open.
using Waits = std::function<bool(const QString& box)>;
template <class W>
Waits Modal()
{
    return [](const QString&) { return qobject_cast<W*>(QApplication::activeModalWidget()); };
}
Waits Box(const char* title)
{
    return [title](const QString& box) { return box == QLatin1String(title); };
}

QString OpenFileBesidesThree(Scene& s)
{
    s.f.responder.QueueFiles({s.f.WriteFile(QStringLiteral("other.hl7"), Records(300))});
    return Loaded(s, 3);
}

TEST(ServerArrivals, ARecordAcknowledgedDuringACommandIsInTheStoreAfterIt)
{
    struct Command {
        const char* name;
        int32_t leaves;  // records the command leaves
        // Readies the scene before the server listens; a message when it cannot be readied here.
        std::function<QString(Scene&)> prepare;
        std::function<QAction*(frmMain&)> item;  // chosen from its menu
        std::vector<Step> steps = {};            // the dialogs it waits for, answered
        // The client writes at the command's first turn of window events, or, for a command
        // waiting for a dialog while the window stays in use, once it is at work (wait cursor).
        bool atWork = false;
        // Set: the client writes while the command waits for the user, and the ACK comes
        // within 0.5 s while the wait lasts (3 s at most).
        Waits waits = {};
    };
    const std::vector<Command> commands = {
        {"Edit > Undo", 300,
         [](Scene& s) {
             // The undo point's copy goes to a slow disk: its write is under way when Undo
             // stops it, and ends only at its next block, once the client has written.
             s.UndoOnASlowDisk(true);
             return s.LoadRecords(300) && s.DeleteRow(3) ? QString() : QStringLiteral("no edit");
         },
         Item(&frmMain::mnuEditUndo)},
        {"Tools > Sort on MSH-7", 300, [](Scene& s) { return Loaded(s, 300); },
         Item(&frmMain::mnuToolsSortMSH7)},
        {"Edit > Filter Record List",
         300,
         [](Scene& s) { return Loaded(s, 300); },
         Item(&frmMain::mnuEditFilterRecordList),
         {[](Scene&) {
             auto* d = qobject_cast<frmFilterRecords*>(QApplication::activeModalWidget());
             if (!d)
                 return false;
             d->cboFilterRecords->setEditText(QStringLiteral("DOE"));  // not in the new record
             d->optInclude[0]->setChecked(true);
             d->cmdApplyFilter->click();
             return true;
         }},
         false,
         Modal<frmFilterRecords>()},
        {"Record list > Replace",
         300,
         [](Scene& s) { return Loaded(s, 300); },
         Item(&frmMain::mnuRecordListReplace),
         {ReplaceInAll("", "DOE", "ROE")},
         true},
        {"Record list > Assign Value to Field",
         300,
         [](Scene& s) {
             s.st.dictionary.DescriptionKeys = {"PID-3", "PID-5"};
             s.st.dictionary.Descriptions = {"Patient ID", "Patient Name"};
             s.st.dictionary.SegmentNames = {"MSH", "PID"};
             return Loaded(s, 300);
         },
         Item(&frmMain::mnuRecordListAssignValueToField),
         {ReplaceInAll("PID", "", "X")},
         true},
        {"Record list > Delete this Record thru Last", 5,
         [](Scene& s) {
             s.w.mnuOptionsPromptBeforeDeleting->setChecked(true);
             s.f.responder.QueueAnswer(platform::MsgAnswer::Yes);
             const QString loaded = Loaded(s, 300);
             s.w.lstRecords->setCurrentRow(5, QItemSelectionModel::ClearAndSelect);
             return loaded;
         },
         Item(&frmMain::mnuRecordListDeleteThisThruLast),
         {},
         false,
         Box("OK to Delete Record?")},
        {"Edit > Paste Records from Clipboard", 6,
         [](Scene& s) {
             // The delete's undo copy still on its way to a slow disk: the paste first waits
             // for it, since a failed write would take the delete back.
             s.UndoOnASlowDisk(false);
             QGuiApplication::clipboard()->setText(QString::fromLatin1(Records(3)));
             return s.LoadRecords(300) && s.DeleteRow(3)
                        ? QString()
                        : QStringLiteral("no edit");
         },
         Item(&frmMain::mnuClipboardPaste)},
        {"Tools > Change Message Delimiters", 300,
         [](Scene& s) {
             s.f.responder.QueueInput(QStringLiteral("#^~\\&"));
             return Loaded(s, 300);
         },
         Item(&frmMain::mnuToolsChangeDelimiters),
         {},
         false,
         Box("Change Message Delimiters")},
        {"File > Open", 300, OpenFileBesidesThree, Item(&frmMain::mnuFileOpen)},
        {"File > Open, its file dialog", 300, OpenFileBesidesThree, Item(&frmMain::mnuFileOpen),
         {}, false, Box("File Open")},
        {"File > a recent file", 300,
         [](Scene& s) {
             s.w.AddToMRUList(s.f.WriteFile(QStringLiteral("recent.hl7"), Records(300)));
             return Loaded(s, 3);
         },
         [](frmMain& w) { return w.mnuMRU[0]; }},
        {"File > a compressed recent file", 300,
         [](Scene& s) {
             const QString plain = s.f.WriteFile(QStringLiteral("recent.hl7"), Records(300));
             if (QProcess::execute(QStringLiteral("gzip"), {QStringLiteral("-f"), plain}) != 0)
                 return QStringLiteral("no gzip");
             s.w.AddToMRUList(plain + QStringLiteral(".gz"));
             return Loaded(s, 3);
         },
         [](frmMain& w) { return w.mnuMRU[0]; }},
        {"File > Open from FTP",
         300,
         [](Scene& s) {
             s.ftp = std::make_unique<FtpTestServer>();
             if (!s.ftp->Start())
                 return s.ftp->Error();
             s.ftp->WriteFile(QStringLiteral("got.dat"), QByteArray::fromStdString(Records(300)));
             return Loaded(s, 3);
         },
         Item(&frmMain::mnuFileFTPReceive),
         {[](Scene& s) {
             auto* w = qobject_cast<frmFTP*>(QApplication::activeModalWidget());
             if (!w)
                 return false;
             w->cboHostNames->setEditText(QStringLiteral("127.0.0.1:%1").arg(s.ftp->Port()));
             w->txtUserName->setText(QStringLiteral("user"));
             w->txtPassword->setText(QStringLiteral("secret"));
             w->cmdConnect_Click();
             const auto found =
                 w->lvFileList->findItems(QStringLiteral("got.dat"), Qt::MatchExactly);
             if (found.isEmpty()) {
                 w->cmdCancel_Click();
                 return true;
             }
             w->lvFileList->setCurrentItem(found[0]);
             w->cmdOpen_Click();
             return true;
         }},
         false,
         Modal<frmFTP>()},
        {"File > Open from Cerner",
         1,
         [](Scene& s) {
             s.odbc = std::make_unique<ScratchOdbc>();
             s.sqlite = std::make_unique<SqliteTestDatabase>(*s.odbc, kCernerTables,
                                                             QStringLiteral("ArrivalsCerner"));
             return s.sqlite->Ok() ? Loaded(s, 300) : s.sqlite->Error();
         },
         Item(&frmMain::mnuFileOpenCerner),
         {[](Scene& s) {
              auto* w = qobject_cast<frmCernerLogin*>(QApplication::activeModalWidget());
              if (!w || w->Timer1->isActive())
                  return false;
              w->cboDataSource->setEditText(s.sqlite->Dsn());
              w->txtUserID->setText(QStringLiteral("clerk"));
              w->txtPassword->setText(QStringLiteral("pw"));
              w->chkSavePassword->setChecked(false);
              w->cmdCommand[0]->click();
              return true;
          },
          [](Scene&) {
              auto* w = Shown<frmCernerInterfaces>();
              if (!w || w->lstInterfaceName->count() == 0)
                  return false;
              w->lstInterfaceName->setCurrentRow(0);
              const std::array<const char*, 12> range = {"1", "2", "2026", "07", "05", "09",
                                                         "1", "3", "2026", "18", "00", "00"};
              const std::array<frmCernerInterfaces::PartBoxes*, 4> boxes = {
                  &w->txtStartDate, &w->txtStartTime, &w->txtEndDate, &w->txtEndTime};
              for (size_t k = 0; k < range.size(); ++k)
                  (*boxes[k / 3])[k % 3]->setText(QString::fromLatin1(range[k]));
              w->cmdCommand[0]->click();
              return true;
          }},
         false,
         Modal<frmCernerLogin>()},
        {"File > Open from Ensemble",
         1,
         [](Scene& s) {
             auto& cluster = PostgresTestCluster::Instance();
             if (!cluster.Running())
                 return cluster.Error();
             static const bool made = cluster.CreateUserAndDatabase("arrivals", "arr-pw", "arrdb")
                                      && cluster.RunSql(kEnsembleSql, "arrdb");
             if (!made)
                 return QStringLiteral("cannot set up the database");
             s.odbc = std::make_unique<ScratchOdbc>();
             s.dialect = std::make_unique<EnsembleDialectFilter>();
             s.dsn = cluster.AddDataSource(*s.odbc, "ArrivalsEns", "arrdb", "InterSystems ODBC",
                                           {{"Username", "arrivals"}, {"Password", "arr-pw"}});
             s.w.Form_Load();  // offers the command once such a data source exists
             return Loaded(s, 300);
         },
         Item(&frmMain::mnuOpenFromEnsemble),
         {[](Scene& s) {
             frmEnsembleInterfaces* p = s.w.EnsemblePicker;
             if (!p || !p->isVisible())
                 return false;
             const auto dsns = p->lstDSNs->findItems(s.dsn, Qt::MatchExactly);
             if (dsns.isEmpty())
                 return false;
             p->lstDSNs->setCurrentItem(dsns[0]);
             p->lstDSNs_Click();
             p->optBusinessServices->click();
             p->lstInterfaceName->setCurrentRow(0);
             p->dateStartDate->setDate(QDate(2024, 2, 1));
             p->dateStartTime->setTime(QTime(0, 0, 0));
             p->dateStopDate->setDate(QDate(2024, 2, 3));
             p->DateStopTime->setTime(QTime(18, 0, 0));
             p->cmdCommand_Click(0);
             return true;
         }},
         false,
         [](const QString&) { return Shown<frmEnsembleInterfaces>() != nullptr; }},
    };
    for (const Command& c : commands) {
        SCOPED_TRACE(c.name);
        Scene s;
        const QString unavailable = c.prepare(s);
        if (!unavailable.isEmpty()) {
            ADD_FAILURE() << "cannot set up: " << unavailable.toStdString();
            continue;
        }
        const int32_t before = s.st.records.RecordCount;
        ASSERT_TRUE(s.Listen());
        ASSERT_TRUE(s.Connect(s.client));
        ASSERT_EQ(s.st.records.RecordCount, before);

        bool inCommand = false, writing = false, written = false;
        QString box;  // the responder's box or file dialog open now
        qint64 ackAfter = 0;
        auto write = [&] {
            if (!inCommand || written || (c.atWork && QApplication::overrideCursor() == nullptr)
                || (c.waits && !c.waits(box)))
                return;
            written = writing = true;
            QElapsedTimer clock;
            clock.start();
            s.Write(s.client);
            if (c.waits) {
                s.AwaitReplies(s.client, 1, 3000);
                ackAfter = clock.elapsed();
            }
            writing = false;
            if (s.disk)
                s.disk->Release();
        };
        QTimer turn;  // times out at every turn of window events
        QObject::connect(&turn, &QTimer::timeout, [&] {
            write();
            if (written)
                turn.stop();
        });
        turn.start(0);
        s.f.responder.whileShown = [&](const platform::ScriptedResponder::Shown& open) {
            if (open.kind == platform::ScriptedResponder::Shown::Kind::File && !c.waits)
                return;
            box = open.title;
            write();
            box.clear();
        };
        {
            const Steps steps(s, c.steps, writing);
            inCommand = true;
            EXPECT_TRUE(ChooseMenuItem(c.item(s.w)));
            inCommand = false;
        }
        turn.stop();
        s.f.responder.whileShown = nullptr;
        EXPECT_TRUE(written) << "the command let no window events run";
        EXPECT_LE(ackAfter, 500);

        s.AwaitReplies(s.client, 1);
        EXPECT_EQ(Occurrences(s.replies, "MSA|AA|ARRIVED"), 1u);
        EXPECT_EQ(Occurrences(s.replies, "\x1c\r"), 1u);
        EXPECT_EQ(s.Stored(), 1u);
        EXPECT_EQ(s.st.records.RecordCount, c.leaves + 1);
        if (s.st.records.RecordCount > 0) {
            EXPECT_EQ(s.st.records.Record(s.st.records.RecordCount), kArrived);
        }
        s.client.abort();
        s.w.StopListening();
    }
}

// An undo puts back the records as they were before a command, and then every record received
// since that point: a record the server acknowledged stays, once, whether it came before the
// point, between two points or after both, and whether the point comes back from memory or from
// its file.
TEST(ServerArrivals, ARecordReceivedAfterAnUndoPointStaysThroughTheUndo)
{
    enum Step { Arrive, Delete, Undo };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"after the point, one undo", {Delete, Arrive, Undo}},
        {"between two points, two undos", {Delete, Arrive, Delete, Undo, Undo}},
        {"after two points, two undos", {Delete, Delete, Arrive, Undo, Undo}},
        {"before both points, two undos", {Arrive, Delete, Delete, Undo, Undo}},
        {"after two points, one undo, then a point and its undo",
         {Delete, Delete, Arrive, Undo, Delete, Undo}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.st.undo.UndoEnabled = true;
        s.st.session.InstanceId = QStringLiteral("A2");
        ASSERT_TRUE(s.LoadRecords(300));
        ASSERT_TRUE(s.Listen());
        ASSERT_TRUE(s.Connect(s.client));
        int deletes = 0, undos = 0;
        for (const Step step : c.steps) {
            if (step == Arrive) {
                ASSERT_TRUE(s.Write(s.client));
                ASSERT_TRUE(QTest::qWaitFor([&] { return s.Stored() == 1; }, 3000));
            } else if (step == Delete) {
                ASSERT_TRUE(s.DeleteRow(0));
                ++deletes;
            } else {
                ASSERT_TRUE(ChooseMenuItem(s.w.mnuEditUndo));
                ++undos;
            }
        }
        s.AwaitReplies(s.client, 1);
        EXPECT_EQ(Occurrences(s.replies, "MSA|AA|ARRIVED"), 1u);
        EXPECT_EQ(s.Stored(), 1u);
        EXPECT_EQ(s.st.records.RecordCount, 300 - (deletes - undos) + 1);
        EXPECT_EQ(s.st.records.Record(1).find("|1|P|") != std::string_view::npos,
                  deletes == undos);
        s.client.abort();
        s.w.StopListening();
    }
}

// The hold itself: nothing is taken or acknowledged while one lives (an inner one ending takes
// nothing up); what waited is taken up, in order, once the last has ended, whatever ended it and
// whatever the client did meanwhile. The trace says once that data waits.
TEST(ServerArrivals, WhatWaitedIsTakenUpWhenTheLastHoldEnds)
{
    enum class Meanwhile { Nothing, ExceptionEnds, ClientCloses, NewClientComes, ListeningStops };
    const struct {
        const char* name;
        Meanwhile meanwhile;
        size_t stored;  // records stored afterwards
        size_t acks;    // ACKs the first client got
    } cases[] = {
        {"held", Meanwhile::Nothing, 1, 1},
        {"the hold ends by an exception", Meanwhile::ExceptionEnds, 1, 1},
        {"the client closes: stored, nobody to answer", Meanwhile::ClientCloses, 1, 0},
        {"a new client replaces it: the first one's record first", Meanwhile::NewClientComes, 1, 1},
        {"listening stops: nothing taken, nothing answered", Meanwhile::ListeningStops, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        s.st.trace.LogTCPIP = true;
        ASSERT_TRUE(s.Listen());
        ASSERT_TRUE(s.Connect(s.client));
        QTcpSocket second;
        auto hold = std::make_unique<frmMain::ArrivalsHold>(s.w);
        {
            const frmMain::ArrivalsHold inner(s.w);
            s.Write(s.client);
            s.Write(s.client);
        }
        EXPECT_GT(s.w.Winsock1->BytesReceived(), 0);
        if (c.meanwhile == Meanwhile::ClientCloses) {
            s.client.disconnectFromHost();
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return s.w.Winsock1->State() == wstate::PeerClosing; }));
        } else if (c.meanwhile == Meanwhile::NewClientComes) {
            second.connectToHost(QHostAddress::LocalHost,
                                 static_cast<quint16>(s.st.server.LocalPort));
            EXPECT_TRUE(QTest::qWaitFor([&] { return s.w.Winsock1->PendingRequests() > 0; }));
        } else if (c.meanwhile == Meanwhile::ListeningStops) {
            s.w.StopListening();
        }
        QTest::qWait(100);
        EXPECT_EQ(s.st.records.RecordCount, 0);
        EXPECT_EQ(s.client.bytesAvailable(), 0);
        if (c.meanwhile == Meanwhile::ExceptionEnds) {
            try {
                const auto last = std::move(hold);
                throw std::runtime_error("the command failed");
            } catch (const std::runtime_error&) {
            }
        }
        hold.reset();
        s.AwaitReplies(s.client, 2 * c.acks);
        EXPECT_EQ(s.Stored(), 2 * c.stored);
        EXPECT_EQ(Occurrences(s.replies, "MSA|AA|ARRIVED"), 2 * c.acks);
        EXPECT_EQ(Occurrences(LogText(s.st), "Data arrived while a command changes the records"),
                  1u);
        if (c.meanwhile == Meanwhile::NewClientComes) {
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return s.w.Winsock1->RemotePort() == second.localPort(); }));
            s.Write(second);
            EXPECT_TRUE(QTest::qWaitFor([&] { return s.Stored() == 3; }));
        }
        if (c.meanwhile == Meanwhile::ClientCloses) {
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return s.w.Winsock1->State() == wstate::Listening; }));
        }
        second.abort();
        s.client.abort();
        s.w.StopListening();
    }
}

}  // namespace
}  // namespace quillon::test
