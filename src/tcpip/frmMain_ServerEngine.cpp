// The TCP/IP server's receive engine: the events of the server socket Winsock1.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <utility>

#include "app/TraceLog.h"
#include "app/frmMain.h"
#include "files/SaveRecords.h"
#include "platform/WinsockControl.h"
#include "records/Pages.h"
#include "tcpip/Framing.h"
#include "tcpip/NumberBase.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

QString Grouped(int32_t n)
{
    return QLocale::c().toString(n);  // "##,###": 1,234
}

// Runs `flush` before user input reaches any widget, so a command never sees a list that
// lacks rows already received.
class InputFlush : public QObject {
public:
    InputFlush(QObject* parent, std::function<void()> flush)
        : QObject(parent), flush_(std::move(flush))
    {
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            flush_();
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::function<void()> flush_;
};

}  // namespace

void frmMain::CreateServerSocket()
{
    Winsock1 = new platform::WinsockControl(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    connect(Winsock1, &platform::WinsockControl::ConnectionRequest, this,
            &frmMain::Winsock1_ConnectionRequest);
    connect(Winsock1, &platform::WinsockControl::DataArrival, this, &frmMain::Winsock1_DataArrival);
    connect(Winsock1, &platform::WinsockControl::PeerClosed, this, &frmMain::Winsock1_Close);
    connect(Winsock1, &platform::WinsockControl::Error, this, &frmMain::Winsock1_Error);
    connect(Winsock1, &platform::WinsockControl::Connected, this, &frmMain::Winsock1_Connect);
    connect(Winsock1, &platform::WinsockControl::SendComplete, this,
            &frmMain::Winsock1_SendComplete);
    receivedShowTimer_ = new QTimer(this);
    receivedShowTimer_->setSingleShot(true);
    receivedShowTimer_->setInterval(50);
    connect(receivedShowTimer_, &QTimer::timeout, this, &frmMain::FlushReceivedRows);
    receivedInputFlush_ = new InputFlush(this, [this] { FlushReceivedRows(); });
}

void frmMain::DisplayServerWinsockState()
{
    lblState->setText(QStringLiteral("State: ") + platform::WinsockStateName(Winsock1->State()));
}

bool frmMain::StartListening(QString* error)
{
    // Nothing of an earlier run is continued or still waiting to be listed.
    st.server.ReceiveBuffer.Clear();
    ForgetHeldArrivals();
    receivedPending_ = false;
    receivedShowTimer_->stop();
    Winsock1->setLocalPort(st.server.LocalPort);
    if (Winsock1->Listen())
        return true;
    if (error)
        *error = Winsock1->LastErrorDescription();
    return false;
}

void frmMain::StopListening()
{
    Winsock1->Close();
    ForgetHeldArrivals();  // what waited went with the connection, unacknowledged
    FlushReceivedRows();
    CloseServerLog();
    DisplayServerWinsockState();
}

frmMain::ArrivalsHold::ArrivalsHold(frmMain& w) : w_(w)
{
    ++w_.arrivalHolds_;
}

frmMain::ArrivalsHold::~ArrivalsHold()
{
    --w_.arrivalHolds_;
    if (!w_.ArrivalsWait()
        && (w_.arrivalsWaiting_ || !w_.heldServerEvents_.empty()
            || (w_.arrivalHolds_ == 0 && !w_.arrivalsSetAside_.empty())))
        w_.ScheduleTakeUp();
}

frmMain::ArrivalsAside::ArrivalsAside(frmMain& w) : w_(w), outer_(w.asideAtHolds_)
{
    w_.asideAtHolds_ = w_.arrivalHolds_;
    // What waited since the hold began is taken while the user is being waited for.
    if (w_.arrivalHolds_ > 0 && (w_.arrivalsWaiting_ || !w_.heldServerEvents_.empty()))
        w_.ScheduleTakeUp();
}

frmMain::ArrivalsAside::~ArrivalsAside()
{
    w_.asideAtHolds_ = outer_;
}

// Each box waits for the user with the arrivals set aside.
platform::MsgAnswer frmMain::DialogsAside::MsgBox(const QString& text, platform::MsgButtons buttons,
                                                  platform::MsgIcon icon, const QString& title)
{
    const ArrivalsAside aside(w_);
    return shown_.MsgBox(text, buttons, icon, title);
}

platform::MsgAnswer frmMain::DialogsAside::MsgBoxDefault(const QString& text,
                                                         platform::MsgButtons buttons,
                                                         platform::MsgIcon icon,
                                                         const QString& title,
                                                         platform::MsgAnswer defaultAnswer)
{
    const ArrivalsAside aside(w_);
    return shown_.MsgBoxDefault(text, buttons, icon, title, defaultAnswer);
}

std::optional<QString> frmMain::DialogsAside::InputBox(const QString& prompt, const QString& title,
                                                       const QString& defaultText)
{
    const ArrivalsAside aside(w_);
    return shown_.InputBox(prompt, title, defaultText);
}

QStringList frmMain::DialogsAside::FileDialog(const platform::FileDialogRequest& request)
{
    const ArrivalsAside aside(w_);
    return shown_.FileDialog(request);
}

std::optional<platform::FontChoice> frmMain::DialogsAside::FontDialog(
    const platform::FontChoice& preset)
{
    const ArrivalsAside aside(w_);
    return shown_.FontDialog(preset);
}

void frmMain::DialogsAside::MsgBoxWindow(const QString& text, const QString& caption)
{
    const ArrivalsAside aside(w_);
    shown_.MsgBoxWindow(text, caption);
}

std::optional<platform::PrintChoice> frmMain::DialogsAside::PrintDialog(
    const platform::PrintDialogRequest& request)
{
    const ArrivalsAside aside(w_);
    return shown_.PrintDialog(request);
}

bool frmMain::PutOffWhileHeld(std::function<void()> event)
{
    if (std::exchange(takingUpEvent_, false))
        return false;
    // Behind events already put off, a later one waits too, so that they keep their order.
    if (!ArrivalsWait() && heldServerEvents_.empty())
        return false;
    heldServerEvents_.push_back(std::move(event));
    ScheduleTakeUp();
    return true;
}

void frmMain::ScheduleTakeUp()
{
    // Run from the event loop, never from the end of a command (an error path or an
    // exception may be ending it).
    if (ArrivalsWait() || std::exchange(takeUpScheduled_, true))
        return;
    QMetaObject::invokeMethod(this, &frmMain::TakeUpHeldArrivals, Qt::QueuedConnection);
}

void frmMain::TakeUpHeldArrivals()
{
    takeUpScheduled_ = false;
    if (ArrivalsWait())
        return;  // a command holds them again; its end takes them up
    JoinArrivalsSetAside();
    arrivalsWaiting_ = false;
    // The bytes waiting came before the close or the new client that was put off after them.
    if (Winsock1->BytesReceived() > 0)
        Winsock1_DataArrival(Winsock1->BytesReceived());
    while (!ArrivalsWait() && !heldServerEvents_.empty()) {
        const std::function<void()> event = std::move(heldServerEvents_.front());
        heldServerEvents_.pop_front();
        takingUpEvent_ = true;
        event();
        takingUpEvent_ = false;
    }
}

void frmMain::ForgetHeldArrivals()
{
    heldServerEvents_.clear();
    arrivalsWaiting_ = false;
}

void frmMain::Winsock1_ConnectionRequest(int requestId)
{
    // Accepting closes the connection, and with it what waits there.
    if (PutOffWhileHeld([this, requestId] { Winsock1_ConnectionRequest(requestId); }))
        return;
    const bool trace = st.trace.LogTCPIP;
    DisplayServerWinsockState();
    if (trace)
        WriteLog(st, "TCPIP", "SERVER: Received _ConnectionRequest");
    if (Winsock1->State() != platform::winsock_state::Closed) {
        if (trace)
            WriteLog(st, "TCPIP", "SERVER: Connection already exists.  Closing existing connection.");
        Winsock1->Close();
    }
    // A record the dropped client left unfinished must not become the start of the new one's.
    st.server.ReceiveBuffer.Clear();
    Winsock1->Accept(requestId);
    if (trace)
        WriteLog(st, "TCPIP", "SERVER: Accepting new _ConnectionRequest.");
    DisplayServerWinsockState();
}

void frmMain::Winsock1_DataArrival(int)
{
    if (ArrivalsWait()) {
        if (!std::exchange(arrivalsWaiting_, true) && st.trace.LogTCPIP)
            WriteLog(st, "TCPIP",
                     "SERVER: Data arrived while a command changes the records; it is taken "
                     "when the command ends.");
        return;
    }
    // The socket reports data once: what came in while a message box of this handler was open
    // is taken here too, or it would wait for the next arrival.
    do {
        std::string data;
        Winsock1->GetData(data);
        ReceiveData(data);
    } while (Winsock1->BytesReceived() > 0);
    DisplayServerWinsockState();
}

void frmMain::ReceiveData(const std::string& data)
{
    const bool trace = st.trace.LogTCPIP;
    ServerState& server = st.server;
    server.RecordComplete = server.ReceiveBuffer.Append(data, st.envelope);
    if (trace) {
        LogBatch batch(st);
        batch.Add("TCPIP", "SERVER: Received following " + std::to_string(data.size())
                               + " characters of data in _DataArrival:");
        batch.AddHexDump(data, "TCPIP");
        batch.Add("TCPIP",
                  server.RecordComplete
                      ? "SERVER: EndOfDataChar/EndOfBlockChar found. Complete record received."
                      : "SERVER: EndOfDataChar/EndOfBlockChar NOT found. Incomplete record "
                        "received.  Waiting for more data.");
        batch.Write();
    }
    const std::vector<ReceivedRecord> received =
        server.ReceiveBuffer.CutRecords(st.envelope, st.delimiters);
    if (server.ReceiveBuffer.Overfull()) {
        const size_t dropped = server.ReceiveBuffer.Text().size();
        server.ReceiveBuffer.DropUnfinished();
        WriteLog(st, "TCPIP",
                 "SERVER: Receive buffer full: " + std::to_string(dropped)
                     + " characters without an end of record dropped.");
    }
    // While a command waits for the user the records are kept apart, untouched by it.
    const bool aside = arrivalHolds_ > 0;
    if (!aside)
        JoinArrivalsSetAside();
    for (const ReceivedRecord& r : received) {
        // The record is kept (stored or set aside, and logged) before it is acknowledged.
        if (aside)
            arrivalsSetAside_.push_back(r.record);
        else
            StoreReceivedRecord(r.record);
        if (chkLogToDisk->isChecked() && !server.ServerLogFile.isEmpty())
            LogReceivedRecordToDisk(r.record);
        if (st.trace.LogMessage)
            WriteLog(st, "MSG", "SERVER: The following record has been received: " + r.record);
        if (st.trace.LogMessageASCII) {
            LogBatch batch(st);
            batch.AddHexDump(r.piece, "ASCSV");
            batch.Write();
        }
        if (server.SendAck)
            AcknowledgeRecord(r);
        if (!aside)
            ShowReceivedRecord();
    }
}

void frmMain::StoreReceivedRecord(const std::string& record)
{
    st.records.Append(record);
    st.undo.NoteReceived(st.records.Records[static_cast<size_t>(st.records.RecordCount)]);
}

void frmMain::JoinArrivalsSetAside()
{
    if (arrivalHolds_ > 0 || arrivalsSetAside_.empty())
        return;
    const std::vector<std::string> records = std::move(arrivalsSetAside_);
    arrivalsSetAside_.clear();
    for (const std::string& record : records) {
        StoreReceivedRecord(record);
        ShowReceivedRecord();
    }
}

void frmMain::AcknowledgeRecord(const ReceivedRecord& received)
{
    AckSettings& ack = st.ack;
    const bool trace = st.trace.LogTCPIP;
    std::string reply;
    if (ack.UseAckBytes == 2 && ack.UserAckFile.isEmpty())
        ack.UseAckBytes = 0;  // no file chosen: the generated ACK from now on
    switch (ack.UseAckBytes) {
    case 1:
        reply = HexListToString(ack.AckBytes);
        break;
    case 2:
        if (QFileInfo::exists(ack.UserAckFile)) {
            QFile file(ack.UserAckFile);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray text = file.readAll();
                reply = ReadFirstItem(std::string_view(text.constData(),
                                                       static_cast<size_t>(text.size())));
            }
        } else {
            dlg.MsgBox(QStringLiteral("Unable to find the file containing the user defined ACK.  "
                                      "This message will be ACK'd with a null"),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Unable to Find ACK Definition"));
        }
        break;
    default:
        reply = GenerateAck(received.ackSource, received.headerName, st.delimiters, st.envelope,
                            ack.AckText);
        break;
    }
    if (reply.empty()) {
        if (trace)
            WriteLog(st, "TCPIP", "SERVER: No ACK sent (empty ACK).");
        return;
    }
    if (Winsock1->State() != platform::winsock_state::Connected || !Winsock1->SendData(reply)) {
        if (trace)
            WriteLog(st, "TCPIP", "SERVER: No ACK sent (the connection is gone).");
        return;
    }
    if (trace) {
        LogBatch batch(st);
        batch.Add("TCPIP", "SERVER: Sent ACK '"
                               + (ack.UseAckBytes == 0 ? ack.AckText : ack.AckBytes)
                               + "' to external system.");
        batch.Add("TCPIP", "SERVER: ACK message sent is as follows:");
        batch.AddHexDump(reply, "TCPIP");
        batch.Write();
    }
}

void frmMain::LogReceivedRecordToDisk(const std::string& record)
{
    QString target = st.server.ServerLogFile;
    // Each record goes to the file that has the log's name now: one saved over it or put in its
    // place from outside is opened afresh, and appended to.
    const bool reuse =
        serverLog_.IsOpen() && serverLog_.Path() == target && serverLog_.StillNamed();
    if (!reuse) {
        CloseServerLog();
        // The configured file is started when its folder exists; otherwise the records go to
        // the default log, which begins with a line holding one blank.
        if (!serverLog_.Open(target) && !QFileInfo::exists(target)) {
            target = st.folders.DataFolder + QStringLiteral("LoggedMessages.dat");
            serverLog_.Open(target, " \r\n");
        }
    }
    std::string bytes;
    AppendDiskRecord(bytes, record, st.envelope, st.options.DiskUseEnvelope);
    // Each record reaches the file before it is acknowledged; the file stays open for the next.
    // A record that does not fit is taken back whole.
    if (serverLog_.IsOpen() && serverLog_.Append(bytes)) {
        if (serverLogFailed_) {
            serverLogFailed_ = false;
            stsPanels[4]->setText(QStringLiteral("Logging to: ") + st.server.ServerLogFile);
        }
        return;
    }
    const QString reason = serverLog_.ErrorString();
    CloseServerLog();
    serverLogFailure_ = QStringLiteral("Received records cannot be logged to ") + target;
    if (!reason.isEmpty())
        serverLogFailure_ += QStringLiteral(": ") + reason;
    if (!serverLogFailed_)
        WriteLog(st, "TCPIP", "SERVER: " + serverLogFailure_.toStdString());
    serverLogFailed_ = true;
    stsPanels[4]->setText(serverLogFailure_);
}

void frmMain::CloseServerLog()
{
    serverLog_.Close();
}

void frmMain::ShowReceivedRecord()
{
    const int32_t count = st.records.RecordCount;
    if (CurrentPage == 0)
        CurrentPage = 1;
    if (count == 1 && PageOfRecord(count) <= CurrentPage) {
        const QString host = Winsock1->RemoteHost();
        const QString ip = Winsock1->RemoteHostIP();
        const QString port = QString::number(Winsock1->RemotePort());
        CurrentPage = 1;
        DisplayPage(CurrentPage);
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(0);
        }
        lstRecords_Click();
        const QString source = QStringLiteral("Data from TCP/IP Client ") + host
                               + QStringLiteral(" at ") + ip + QStringLiteral(" Port: ") + port;
        setWindowTitle(QStringLiteral("Quillon - ") + source);
        st.session.CurrentFileName = source;
        SetButtonEnabledStatus();
    }
    // Later rows and the labels follow at most every 50 ms, however fast records come.
    if (!receivedPending_) {
        receivedPending_ = true;
        qApp->installEventFilter(receivedInputFlush_);
        receivedShowTimer_->start();
    }
}

void frmMain::FlushReceivedRows()
{
    if (!receivedPending_)
        return;
    receivedPending_ = false;
    receivedShowTimer_->stop();
    qApp->removeEventFilter(receivedInputFlush_);
    const int32_t count = st.records.RecordCount;
    if (CurrentPage == 0)
        CurrentPage = 1;
    // The list holds the start of the shown page; the received records after it are added.
    // A page shown again meanwhile is complete already and gets nothing twice.
    const int32_t first = RecordAt(CurrentPage, 0) + lstRecords->count();
    const int32_t last = std::min(count, RecordAt(CurrentPage, 0) + PageSize - 1);
    if (first <= last) {
        const QSignalBlocker block(lstRecords);
        for (int32_t i = first; i <= last; ++i)
            AddItemToList(lstRecords, DisplayText(st.records.Record(i), st.envelope.EndOfBlockChar));
    }
    const QString host = Winsock1->RemoteHost();
    const QString ip = Winsock1->RemoteHostIP();
    const QString port = QString::number(Winsock1->RemotePort());
    lblFile->setText(QStringLiteral("Rec %1/%2")
                         .arg((CurrentPage - 1) * PageSize + lstRecords->currentRow() + 1)
                         .arg(count));
    lblPageOf->setText(QStringLiteral("Pg %1/%2").arg(CurrentPage).arg(PageCount(count)));
    SetButtonEnabledStatus();
    lblTCPIPcount->setText(QStringLiteral("Count: ") + Grouped(count));
    auto known = [](const QString& s) { return s.isEmpty() ? QStringLiteral("<unknown>") : s; };
    stsPanels[3]->setText(QStringLiteral("Rcvd record ") + Grouped(count) + QStringLiteral(" from ")
                          + known(host) + QStringLiteral(" at ") + known(ip)
                          + QStringLiteral(" Port: ") + port);
    // Showing a record writes its lengths there; a failing log stays in sight.
    if (serverLogFailed_)
        stsPanels[4]->setText(serverLogFailure_);
}

void frmMain::Winsock1_Close()
{
    if (PutOffWhileHeld([this] { Winsock1_Close(); }))
        return;
    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP", "SERVER: Closing Winsock1 Connection");
    Winsock1->Close();
    Winsock1->Listen();
    DisplayServerWinsockState();
}

void frmMain::Winsock1_Error(int number, const QString& description)
{
    if (PutOffWhileHeld([this, number, description] { Winsock1_Error(number, description); }))
        return;
    const bool trace = st.trace.LogTCPIP;
    DisplayServerWinsockState();
    if (number == 10053) {
        dlg.MsgBox(QStringLiteral("The client sending Quillon data appears to have gone down, "
                                  "timed out, or otherwise failed."),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Error with Client"));
        if (trace)
            WriteLog(st, "TCPIP",
                     "SERVER: The client sending data to Quillon appears to have gone down, "
                     "timed out, or otherwise failed.");
    } else {
        dlg.MsgBox(QStringLiteral("Socket Error: %1: %2").arg(number).arg(description),
                   MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("Quillon"));
    }
    const std::string port = " " + std::to_string(st.server.LocalPort);
    if (trace)
        WriteLog(st, "TCPIP",
                 "SERVER: Socket Error: " + std::to_string(number) + ": "
                     + description.toStdString() + " on port" + port);
    mnuServerStartListeningForRecords->setText(
        QStringLiteral("Start Listening for Records on TCP/IP Port #")
        + QString::fromStdString(port));
    Winsock1->Close();
    ForgetHeldArrivals();
    FlushReceivedRows();
    CloseServerLog();
    if (trace)
        WriteLog(st, "TCPIP", "SERVER: Stopped listening on TCP/IP port #" + port);
    stsPanels[3]->setText(QStringLiteral("Not Listening"));
    // Idle again as after Stop, so the mode can be switched; a role the administrator
    // switched off stays off.
    EnablePanelControls({cboTCPIPNames, cmdStart, cmdEditConfig, cmdNewConfig, cmdDeleteConfig,
                         optClientOrServer[0], optClientOrServer[1]});
    mnuServerSelectServerConfiguration->setEnabled(true);
    cmdPause->setEnabled(false);
    cmdStop->setEnabled(false);
    DisplayServerWinsockState();
}

void frmMain::Winsock1_Connect()
{
    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP", "SERVER: Winsock1_Connect()");
    DisplayServerWinsockState();
}

void frmMain::Winsock1_SendComplete()
{
    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP", "CLIENT: _SendComplete");
}

}  // namespace quillon
