// The TCP/IP server's receive engine: the events of the server socket Winsock1.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

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
}

void frmMain::DisplayServerWinsockState()
{
    lblState->setText(QStringLiteral("State: ") + platform::WinsockStateName(Winsock1->State()));
}

bool frmMain::StartListening(QString* error)
{
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
    DisplayServerWinsockState();
}

void frmMain::Winsock1_ConnectionRequest(int requestId)
{
    const bool trace = st.trace.LogTCPIP;
    DisplayServerWinsockState();
    if (trace)
        WriteLog(st, "TCPIP", "SERVER: Received _ConnectionRequest");
    if (Winsock1->State() != platform::winsock_state::Closed) {
        if (trace)
            WriteLog(st, "TCPIP", "SERVER: Connection already exists.  Closing existing connection.");
        Winsock1->Close();
    }
    Winsock1->Accept(requestId);
    if (trace)
        WriteLog(st, "TCPIP", "SERVER: Accepting new _ConnectionRequest.");
    DisplayServerWinsockState();
}

void frmMain::Winsock1_DataArrival(int)
{
    const bool trace = st.trace.LogTCPIP;
    std::string data;
    Winsock1->GetData(data);
    ServerState& server = st.server;
    server.RecordComplete = server.ReceiveBuffer.Append(data, st.envelope);
    if (trace) {
        WriteLog(st, "TCPIP",
                 "SERVER: Received following " + std::to_string(data.size())
                     + " characters of data in _DataArrival:");
        for (const auto& [category, line] : HexDumpLines(data, "TCPIP"))
            WriteLog(st, category, line);
        WriteLog(st, "TCPIP",
                 server.RecordComplete
                     ? "SERVER: EndOfDataChar/EndOfBlockChar found. Complete record received."
                     : "SERVER: EndOfDataChar/EndOfBlockChar NOT found. Incomplete record "
                       "received.  Waiting for more data.");
    }
    const std::vector<ReceivedRecord> received =
        server.ReceiveBuffer.CutRecords(st.envelope, st.delimiters);
    for (const ReceivedRecord& r : received) {
        if (server.SendAck)
            AcknowledgeRecord(r);
        st.records.Append(r.record);
        if (chkLogToDisk->isChecked() && !server.ServerLogFile.isEmpty())
            LogReceivedRecordToDisk(r.record);
        if (st.trace.LogMessage)
            WriteLog(st, "MSG", "SERVER: The following record has been received: " + r.record);
        if (st.trace.LogMessageASCII)
            for (const auto& [category, line] : HexDumpLines(r.piece, "ASCSV"))
                WriteLog(st, category, line);
        ShowReceivedRecord();
    }
    DisplayServerWinsockState();
}

void frmMain::AcknowledgeRecord(const ReceivedRecord& received)
{
    AckSettings& ack = st.ack;
    std::string reply;
    if (ack.UseAckBytes == 2 && ack.UserAckFile.isEmpty())
        ack.UseAckBytes = 0;  // no file chosen in this run: the generated ACK from now on
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
    // An empty ACK, or a connection that has gone, sends nothing.
    if (!reply.empty() && Winsock1->State() == platform::winsock_state::Connected)
        Winsock1->SendData(reply);
    if (st.trace.LogTCPIP) {
        WriteLog(st, "TCPIP",
                 "SERVER: Sent ACK '" + (ack.UseAckBytes == 0 ? ack.AckText : ack.AckBytes)
                     + "' to external system.");
        WriteLog(st, "TCPIP", "SERVER: ACK message sent is as follows:");
        for (const auto& [category, line] : HexDumpLines(reply, "TCPIP"))
            WriteLog(st, category, line);
    }
}

void frmMain::LogReceivedRecordToDisk(const std::string& record)
{
    QString target = st.server.ServerLogFile;
    if (!QFileInfo::exists(target)) {
        // The configured file is started when its folder exists; otherwise the records go to
        // the default log, which begins with a line holding one blank.
        QFile fresh(target);
        if (!QFileInfo(target).absoluteDir().exists() || !fresh.open(QIODevice::WriteOnly)) {
            target = st.folders.DataFolder + QStringLiteral("LoggedMessages.dat");
            if (!QFileInfo::exists(target)) {
                QFile start(target);
                if (start.open(QIODevice::WriteOnly))
                    start.write(" \r\n");
            }
        }
    }
    std::string bytes;
    AppendDiskRecord(bytes, record, st.envelope, st.options.DiskUseEnvelope);
    QFile file(target);
    if (!file.open(QIODevice::Append)
        || file.write(bytes.data(), static_cast<qint64>(bytes.size()))
            != static_cast<qint64>(bytes.size()))
        stsBar->showMessage(QStringLiteral("Received records cannot be logged to ") + target,
                            15000);
}

void frmMain::ShowReceivedRecord()
{
    const int32_t count = st.records.RecordCount;
    if (CurrentPage == 0)
        CurrentPage = 1;
    const QString host = Winsock1->RemoteHost();
    const QString ip = Winsock1->RemoteHostIP();
    const QString port = QString::number(Winsock1->RemotePort());
    if (PageOfRecord(count) <= CurrentPage) {
        if (count == 1) {
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
        } else {
            const QSignalBlocker block(lstRecords);
            AddItemToList(lstRecords, DisplayText(st.records.Record(count)));
        }
    }
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
}

void frmMain::Winsock1_Close()
{
    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP", "SERVER: Closing Winsock1 Connection");
    Winsock1->Close();
    Winsock1->Listen();
    DisplayServerWinsockState();
}

void frmMain::Winsock1_Error(int number, const QString& description)
{
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
    if (trace)
        WriteLog(st, "TCPIP", "SERVER: Stopped listening on TCP/IP port #" + port);
    stsPanels[3]->setText(QStringLiteral("Not Listening"));
    for (QWidget* w : std::initializer_list<QWidget*>{cboTCPIPNames, cmdStart, cmdEditConfig,
                                                      cmdNewConfig})
        w->setEnabled(true);
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
