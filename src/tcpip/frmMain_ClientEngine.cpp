// The TCP/IP client's send engine and the events of the client socket `sock`.
//
// The engine runs inside the click handler that started it and keeps the window alive by
// letting window events run at every wait (WaitWithEvents). Socket events, Pause and Stop talk
// to it only through st.client.AckReceived, st.client.TCPIPPaused, st.client.StopAsked (the user
// stopped, the role was locked, or a socket error tidied the window) and the socket's state.
// Everything else the window does while a run waits must leave the records alone:
// st.client.Sending says a run is active, and the engine copies each record before it sends it
// and never reads beyond the record count.
//
// Per record the engine's own work must stay far below the 0.05 s it waits between records:
// trace lines are built only while tracing is on, and the panel's per-record labels are shown
// as the delay between records begins, so their repaint falls into the delay instead of holding
// up the next ACK.
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <vector>

#include "app/TraceLog.h"
#include "app/Utility.h"
#include "app/frmMain.h"
#include "platform/WinsockControl.h"
#include "records/Pages.h"
#include "tcpip/EventWait.h"
#include "tcpip/Framing.h"
#include "tcpip/NumberBase.h"
#include "tcpip/ServerEngine.h"

namespace quillon {

using namespace std::chrono_literals;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::WinsockControl;
namespace wst = platform::winsock_state;

namespace {

constexpr std::chrono::milliseconds kConnectTimeout = 5000ms;  // connecting, closing
constexpr std::chrono::milliseconds kResetPause = 5000ms;      // between close and reconnect
constexpr std::chrono::milliseconds kShortestRecordDelay = 50ms;
constexpr std::chrono::milliseconds kLabelLatest = 100ms;  // a label's text waits no longer
constexpr std::chrono::milliseconds kRefusedRetry = 250ms;  // between refused reconnects

// Dynamic property: a run is active in this window.
constexpr const char* kRunActive = "clientRunActive";
// Dynamic property: the engine reconnects and tries again itself when the server refuses.
constexpr const char* kRetryingRefusal = "clientRetryingRefusal";

std::string Utf8(const QString& s)
{
    const QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// "##,###": thousands separators, and no digits at all for 0.
QString CountText(int32_t n)
{
    return n == 0 ? QString() : QLocale::c().toString(n);
}

// The leading number of a typed text: blanks skipped, an optional sign, the digits up to the
// first other character; 0 when there are none.
int32_t LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    int64_t value = 0;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i)
        value = std::min<int64_t>(value * 10 + (text.at(i).unicode() - '0'),
                                  std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(negative ? -value : value);
}

char CodeChar(int16_t code)
{
    return static_cast<char>(static_cast<unsigned char>(code & 0xFF));
}

// A reply as its message box shows it: a leading control character and up to three trailing
// ones dropped.
std::string ViewableReply(std::string text)
{
    if (!text.empty() && static_cast<unsigned char>(text.front()) < 32)
        text.erase(0, 1);
    for (int i = 0; i < 3 && !text.empty() && static_cast<unsigned char>(text.back()) < 32; ++i)
        text.pop_back();
    return text;
}

void Trace(AppState& st, std::string_view text)
{
    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP", text);
}

// A trace line whose text is only built while tracing is on.
template <class MakeText>
void TraceLazy(AppState& st, MakeText&& make)
{
    if (st.trace.LogTCPIP)
        WriteLog(st, "TCPIP", make());
}

// The replies since the last send, so that an acknowledgement cut across two reads still
// counts. Only the tail that could begin a cut acknowledgement is kept (and nothing once one
// was found), so a server that talks a lot costs no memory.
//
// Every reply on the connection while a record waits answers that record's frame: a wait that
// ends without an ACK closes the connection before anything else is sent, so a late reply never
// reaches the connection that carries the next frame.
class ReplyAccumulator : public QObject {
public:
    explicit ReplyAccumulator(QObject* parent) : QObject(parent) {}

    // Largest piece taken from the socket per arrival event, so that tracing what arrives
    // never holds up a wait for long; the rest follows at the next round of events.
    static constexpr qint64 kPiece = qint64{256} << 10;
    bool morePosted = false;

    // A send: the replies start afresh.
    void Sending()
    {
        tail_.clear();
        acknowledged_ = false;
    }

    bool Add(std::string_view data, const AckSettings& ack)
    {
        if (acknowledged_)
            return true;
        tail_.append(data);
        acknowledged_ = IsAcknowledgement(tail_, ack.UseAckBytes, ack.AckText, ack.AckBytes);
        if (acknowledged_) {
            tail_.clear();
        } else {
            std::string bytes = ack.AckBytes;
            const size_t wanted =
                ack.UseAckBytes != 0 ? HexListToString(bytes).size() : ack.AckText.size();
            const size_t keep = wanted > 0 ? wanted - 1 : 0;
            if (tail_.size() > keep)
                tail_.erase(0, tail_.size() - keep);
        }
        return acknowledged_;
    }

private:
    std::string tail_;
    bool acknowledged_ = false;
};

// A label the engine writes once per record. The text is shown when the engine calls Show (as
// the delay between records begins, so the repaint costs the run nothing), after kLabelLatest
// when no Show comes sooner (a long ACK wait), and at the latest when the run ends. A text
// someone else wrote into the label meanwhile (Stop, a socket error, the summary) is newer and
// is never overwritten.
class DeferredLabel {
public:
    explicit DeferredLabel(QLabel* label) : label_(label)
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Show(); });
    }
    ~DeferredLabel() { Show(); }
    DeferredLabel(const DeferredLabel&) = delete;
    DeferredLabel& operator=(const DeferredLabel&) = delete;

    void Set(const QString& text)
    {
        pending_ = text;
        underneath_ = label_->text();
        hasPending_ = true;
        if (!timer_.isActive())
            timer_.start(kLabelLatest);
    }

    void Show()
    {
        timer_.stop();
        if (!hasPending_)
            return;
        hasPending_ = false;
        if (label_->text() == underneath_)
            label_->setText(pending_);
    }

private:
    QLabel* label_;
    QTimer timer_;
    QString pending_;
    QString underneath_;  // the label's text when pending_ was set
    bool hasPending_ = false;
};

void Dump(AppState& st, std::string_view text, std::string_view category)
{
    LogBatch batch(st);
    batch.AddHexDump(text, category);
    batch.Write();
}

// "localhost127.0.0.1 port 3000": host and address with nothing between them, as the traces
// that name the target write it.
std::string TargetForTrace(const ClientState& c)
{
    return Utf8(c.ClientServerHost) + Utf8(c.ClientServerAddress) + " port "
           + std::to_string(c.ClientServerPort);
}

// "localhost 127.0.0.1 on port 3000", as the status bar writes it.
QString TargetForPanel(const ClientState& c)
{
    return c.ClientServerHost + QLatin1Char(' ') + c.ClientServerAddress
           + QStringLiteral(" on port ") + QString::number(c.ClientServerPort);
}

// The window as it is after a socket error or a failed run: ready for another Start.
void TidyAfterFailure(frmMain& w)
{
    const ClientState& c = w.st.client;
    w.mnuClientStartSendingRecords->setText(
        QStringLiteral("Start Sending Records to ")
        + (c.ClientServerHost.isEmpty() ? c.ClientServerAddress : c.ClientServerHost)
        + QStringLiteral(", port ") + QString::number(c.ClientServerPort));
    w.sock->Close();
    w.st.client.StopAsked = true;
    w.stsPanels[3]->setText(QStringLiteral("Not Sending"));
    w.mnuClientSelectClientConfiguration->setEnabled(true);
    w.EnablePanelControls({w.cmdStart, w.cmdEditConfig, w.cmdNewConfig});
    w.cmdPause->setEnabled(false);
    w.cmdStop->setEnabled(false);
    Trace(w.st, "CLIENT: Stopped sending to " + TargetForTrace(c));
    w.EnablePanelControls({w.optClientOrServer[0], w.optClientOrServer[1], w.cmdDeleteConfig});
    w.DisplayClientWinsockState();
}

// A reply from the server. Whether the record is acknowledged is judged on all the replies since
// it was sent; the trace and the message box show this arrival.
void SockDataArrival(frmMain& w, ReplyAccumulator& replies)
{
    AppState& st = w.st;
    const bool trace = st.trace.LogTCPIP;
    Trace(st, "CLIENT: Data Arriving");
    std::string text;
    w.sock->GetData(text, ReplyAccumulator::kPiece);
    const bool ack = replies.Add(text, st.ack);
    st.client.AckReceived = ack;
    if (trace) {
        LogBatch batch(st);
        const char* kind = ack ? "ACK" : "NAK";
        batch.Add("TCPIP", std::string("CLIENT: ") + kind + " received from external system.");
        batch.Add("TCPIP", std::string("CLIENT: Received ") + kind + " message is as follows:");
        batch.AddHexDump(text, "TCPIP");
        batch.Write();
    }
    if (st.client.ViewReceivedAcks) {
        // The reply is a record: its text in its own encoding.
        const std::string reply = ViewableReply(text);
        const QString shown =
            BoundedQuote(DecodeText(reply, RecordEncoding(reply, st.envelope.EndOfBlockChar)));
        if (ack)
            w.dlg.MsgBox(shown, MsgButtons::OKOnly, MsgIcon::Information,
                         QStringLiteral("Received ACK Message from External"));
        else
            w.dlg.MsgBox(shown, MsgButtons::OKOnly, MsgIcon::Exclamation,
                         QStringLiteral("Received NAK Message from External"));
    }
    w.DisplayClientWinsockState();
    // What is left of a long reply is taken at the next round of events (after the box, when
    // one is shown, so the boxes come one after the other).
    if (w.sock->BytesReceived() > 0 && !replies.morePosted) {
        replies.morePosted = true;
        QTimer::singleShot(0, &replies, [&w, &replies] {
            replies.morePosted = false;
            if (w.sock->BytesReceived() > 0)
                SockDataArrival(w, replies);
        });
    }
}

void SockError(frmMain& w, int number, const QString& description)
{
    // A refused reconnect is the engine's to try again, and to report once it gives up.
    if (number == platform::winsock_error::ConnectionRefused
        && w.property(kRetryingRefusal).toBool())
        return;
    AppState& st = w.st;
    const ClientState& c = st.client;
    Trace(st, "CLIENT: Socket Error: " + std::to_string(number) + ": " + Utf8(description));
    QString message;
    if (number == platform::winsock_error::ConnectionAborted)
        message = QStringLiteral(
            "The server appears to have been terminated or quit due to "
            "timeout or other failure.");
    else if (number == platform::winsock_error::ConnectionRefused)
        message = QStringLiteral("The server at ") + w.sock->RemoteHost()
                  + QStringLiteral(" is not listening on port ")
                  + QString::number(w.sock->RemotePort()) + QStringLiteral(" for a connection.");
    else
        message = QStringLiteral("Socket Error: ") + QString::number(number) + QStringLiteral(": ")
                  + description + QStringLiteral(" in sock_Error.");
    w.dlg.MsgBox(message, MsgButtons::OKOnly, MsgIcon::Exclamation,
                 QStringLiteral("Server has Abruptly Stopped Listening"));
    Trace(st, "CLIENT: " + Utf8(message) + " - " + Utf8(c.ClientServerAddress) + " port "
                  + std::to_string(c.ClientServerPort));
    TidyAfterFailure(w);
}

void SockClose(frmMain& w)
{
    Trace(w.st, "CLIENT: Closing socket.");
    w.sock->Close();
    w.DisplayClientWinsockState();
}

// The socket's events reach the window from the first run on (the socket is idle before).
// Answers the socket's reply accumulator, made with the connections.
ReplyAccumulator& ConnectSocketEvents(frmMain& w)
{
    for (QObject* child : w.sock->children())
        if (auto* replies = dynamic_cast<ReplyAccumulator*>(child))
            return *replies;
    auto* replies = new ReplyAccumulator(w.sock);
    QObject::connect(w.sock, &WinsockControl::DataArrival, &w,
                     [&w, replies](int) { SockDataArrival(w, *replies); });
    QObject::connect(
        w.sock, &WinsockControl::Error, &w,
        [&w](int number, const QString& description) { SockError(w, number, description); });
    QObject::connect(w.sock, &WinsockControl::PeerClosed, &w, [&w] { SockClose(w); });
    return *replies;
}

// One run of the engine: its locals and its steps.
class ClientSendRun {
public:
    ClientSendRun(frmMain& window, ReplyAccumulator& replyAccumulator)
        : w(window), st(window.st), c(window.st.client), replies(replyAccumulator),
          panel3(window.stsPanels[3]), count(window.lblTCPIPcount)
    {
    }
    void Run();

private:
    // What a record's try loop ends in.
    enum class Outcome { NextRecord, Summary, EndRun };

    bool StopRequested() const { return c.StopAsked; }
    bool Connected() const { return w.sock->State() == wst::Connected; }
    // The connection attempt is over once the socket is connected, or closed or failed again.
    bool ConnectAttemptOver() const
    {
        const int s = w.sock->State();
        return s == wst::Connected || s == wst::Closed || s == wst::Error;
    }
    void Connect(bool again);
    bool Reset();
    bool Reconnected();
    void DropUnanswered();
    bool ReopenIfDropped();
    Outcome SendRecord(int32_t n, const QByteArray& packet);
    std::optional<Outcome> LastTryCheck(int32_t tryNumber);
    void StopSending();
    void Summary();
    void Fail(int number, const QString& description);
    QByteArray Packet(std::string_view record, const EnvelopeChars* program) const;

    frmMain& w;
    AppState& st;
    ClientState& c;
    ReplyAccumulator& replies;
    DeferredLabel panel3;  // "Sending record n ..."
    DeferredLabel count;   // "Count: n"
    EnvelopeChars client;
    int32_t acknowledged = 0;
    bool dropped = false;  // the engine closed the connection after a wait without an ACK
};

void ClientSendRun::Run()
{
    c.AckReceived = false;
    w.sock->Close();
    Trace(st, "CLIENT: Began socket initialization by closing socket.");
    if (w.sock->State() == wst::Closed)
        Connect(false);
    Trace(st, "CLIENT: There are " + std::to_string(st.records.RecordCount)
                  + " records to send to the server.");
    WaitWithEvents(kConnectTimeout, [this] { return ConnectAttemptOver(); });
    if (!Connected()) {
        w.dlg.MsgBox(QStringLiteral("Unable to connect to ") + w.sock->RemoteHost()
                         + QStringLiteral(" on port ") + QString::number(w.sock->RemotePort())
                         + QLatin1Char('.'),
                     MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Unable to Connect"));
        return;
    }
    Trace(st, "CLIENT: Connection successful.");
    c.TCPIPPaused = false;

    int32_t first = 1;
    int32_t last = st.records.RecordCount;
    if (!w.txtStartWithRecord->text().isEmpty() && !w.txtEndWithRecord->text().isEmpty()) {
        first = LeadingNumber(w.txtStartWithRecord->text());
        last = LeadingNumber(w.txtEndWithRecord->text());
    } else if (w.chkSendSelectedOnly->isChecked()) {
        const int32_t page = std::max(w.CurrentPage, 1);
        first = RecordAt(page, 0);
        last = std::min(RecordAt(page, PageSize - 1), st.records.RecordCount);
    }
    first = std::max(first, 1);

    acknowledged = 0;
    client = EnvelopeChars{CodeChar(c.ClientStartOfBlockCode), CodeChar(c.ClientEndOfBlockCode),
                           CodeChar(c.ClientEndOfDataCode)};
    const EnvelopeChars& program = st.envelope;
    const bool mapping = client.StartOfBlockChar != program.StartOfBlockChar
                         || client.EndOfBlockChar != program.EndOfBlockChar
                         || client.EndOfDataChar != program.EndOfDataChar;

    Trace(st, "CLIENT: Waiting " + std::to_string(c.ClientDelayAfterConnecting)
                  + " second(s) after connection to begin sending records.");
    WaitWithEvents(std::chrono::seconds(std::max<int16_t>(c.ClientDelayAfterConnecting, 0)), {},
                   [this] { return StopRequested(); });

    const auto stop = [this] { return StopRequested(); };
    for (int32_t n = first; n <= last; ++n) {
        // A stop while paused ends the pause; the closed socket then ends the run below.
        WaitWithEvents(
            -1ms, [this] { return !c.TCPIPPaused; }, stop);
        WaitWithEvents(0ms);

        // Only the selected rows of the page shown. A typed range may reach beyond the page:
        // rows before it are passed over at once, and past its last row nothing more is sent.
        if (w.chkSendSelectedOnly->isChecked()) {
            const int32_t pageStart = RecordAt(std::max(w.CurrentPage, 1), 0);
            const int32_t row = n - pageStart;
            if (row < 0) {
                n = pageStart - 1;
                continue;
            }
            if (row >= w.lstRecords->count())
                break;
            if (!w.lstRecords->item(row)->isSelected())
                continue;
        }

        // The records may change while the engine waits; it reads only slots in use, and sends
        // (and resends) the packet it built here from them.
        if (n > st.records.RecordCount || n > st.records.UpperBound()) {
            Fail(9, QStringLiteral("Subscript out of range"));
            return;
        }
        const std::string_view record = st.records.Record(n);
        const QByteArray packet = Packet(record, mapping ? &program : nullptr);

        if (!ReopenIfDropped())
            return;
        if (!Connected()) {
            Trace(st,
                  "CLIENT: There is data to send, but the socket is not connected.  Socket "
                  "state is "
                      + std::to_string(w.sock->State()));
            return;
        }
        Trace(st, "CLIENT: The socket is connected.  Ready to send record to the server.");

        const Outcome outcome = SendRecord(n, packet);
        // The delay follows the record: it counts from here, the bookkeeping below included.
        const auto recordDone = std::chrono::steady_clock::now();
        if (outcome == Outcome::EndRun)
            return;
        if (outcome == Outcome::Summary)
            break;

        c.AckReceived = false;
        const auto delay = c.ClientDelayBetweenRecords > 0
                               ? std::chrono::milliseconds(c.ClientDelayBetweenRecords * 1000)
                               : kShortestRecordDelay;
        TraceLazy(st, [this] {
            return "CLIENT: Waiting " + std::to_string(c.ClientDelayBetweenRecords)
                   + " seconds before sending next record (if any).";
        });
        panel3.Show();
        count.Show();
        WaitWithEventsUntil(recordDone + delay, {}, stop);
    }
    Summary();
}

void ClientSendRun::Connect(bool again)
{
    // An empty host name connects to the address (the captions then show the address).
    w.sock->setRemoteHost(c.ClientServerHost.isEmpty() ? c.ClientServerAddress
                                                       : c.ClientServerHost);
    w.sock->setRemotePort(c.ClientServerPort);
    Trace(st, "CLIENT: Set RemoteHost to " + Utf8(c.ClientServerAddress) + " and RemotePort to "
                  + std::to_string(c.ClientServerPort));
    Trace(st, again ? "CLIENT: Attempting to reconnect to server."
                    : "CLIENT: Attempting connection to server.");
    w.sock->Connect();
}

// Closes and reopens the connection; false when the run must end (reconnect failure or stop).
bool ClientSendRun::Reset()
{
    Trace(st, "CLIENT: ACK not received.  Resetting connection to server.");
    Trace(st, "CLIENT: Began socket initialization by closing socket.");
    w.sock->Close();
    // The pause gives the server time to see the close; a stop during it ends the run.
    if (WaitWithEvents(kResetPause, {}, [this] { return StopRequested(); }) == WaitEnd::Stopped)
        return false;
    if (w.sock->State() != wst::Closed)
        return true;
    Trace(st, "CLIENT: Socket closed.");
    return Reconnected();
}

// Connects again after a close; false when that fails (after its message) or a stop came.
//
// A server that serves one connection at a time refuses a reconnect until it has seen the
// close: a refused reconnect is tried again every kRefusedRetry for as long as the ACK wait
// lasts, and only then reported as the socket error it is.
bool ClientSendRun::Reconnected()
{
    w.setProperty(kRetryingRefusal, true);
    struct Unmark {
        frmMain& w;
        ~Unmark() { w.setProperty(kRetryingRefusal, false); }
    } unmark{w};
    const auto stop = [this] { return StopRequested(); };
    const auto attempt = [this, &stop] {
        return WaitWithEvents(kConnectTimeout, [this] { return ConnectAttemptOver(); }, stop)
               != WaitEnd::Stopped;
    };
    const auto refused = [this] {
        return w.sock->State() == wst::Error
               && w.sock->LastError() == platform::winsock_error::ConnectionRefused;
    };
    Connect(true);
    if (!attempt())
        return false;
    const int64_t retries =
        std::chrono::seconds(std::max<int16_t>(c.ClientMaxTimeWaitForAck, 0)) / kRefusedRetry;
    for (int64_t retry = 1; retry <= retries && refused(); ++retry) {
        if (WaitWithEvents(kRefusedRetry, {}, stop) == WaitEnd::Stopped)
            return false;
        Trace(st, "CLIENT: Connection refused.  Reconnect try # " + std::to_string(retry + 1));
        w.sock->Close();
        w.sock->Connect();
        if (!attempt())
            return false;
    }
    if (refused()) {
        w.setProperty(kRetryingRefusal, false);
        SockError(w, w.sock->LastError(), w.sock->LastErrorDescription());
        return false;
    }
    if (!Connected()) {
        const QString where = w.sock->RemoteHost() + QStringLiteral(" on port ")
                              + QString::number(w.sock->RemotePort());
        Trace(st,
              "CLIENT: Unable to connect to " + Utf8(where) + ".  Giving up on sending records.");
        w.dlg.MsgBox(QStringLiteral("Unable to connect to ") + where
                         + QStringLiteral(".  Giving up on sending records."),
                     MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Unable to Connect"));
        return false;
    }
    Trace(st, "CLIENT: Connection successful.");
    return true;
}

// A wait ended without an ACK: whatever the server still sends for that frame must not reach
// the frame sent next, so the connection goes now and a new one carries the next frame. A
// connection the server closed is left to the send, which reports it broken.
void ClientSendRun::DropUnanswered()
{
    if (!Connected())
        return;
    Trace(st, "CLIENT: Closing the connection so that a late reply cannot answer the next frame.");
    w.sock->Close();
    dropped = true;
}

// Before a send: a connection the engine dropped is opened again. False when the run must end
// (the reconnect failed, or a stop came meanwhile).
bool ClientSendRun::ReopenIfDropped()
{
    if (!dropped)
        return true;
    dropped = false;
    return !StopRequested() && Reconnected();
}

// The record as it goes on the wire: the client's start-of-block character, the record (the
// program's envelope characters in it replaced by the client's when `program` is given; a
// carriage return added when it does not end in one), the client's end-of-data and
// end-of-block characters. Built once and sent as it stands by every try.
QByteArray ClientSendRun::Packet(std::string_view record, const EnvelopeChars* program) const
{
    QByteArray packet;
    packet.reserve(static_cast<qsizetype>(record.size()) + 4);
    packet.append(client.StartOfBlockChar);
    packet.append(record.data(), static_cast<qsizetype>(record.size()));
    if (program != nullptr) {
        for (qsizetype i = 1; i < packet.size(); ++i) {
            char& ch = packet[i];
            // One character at a time in the order start-of-block, end-of-block, end-of-data,
            // each replacement seeing the result of the one before.
            if (ch == program->StartOfBlockChar)
                ch = client.StartOfBlockChar;
            if (ch == program->EndOfBlockChar)
                ch = client.EndOfBlockChar;
            if (ch == program->EndOfDataChar)
                ch = client.EndOfDataChar;
        }
    }
    if (!record.empty() && packet.back() != '\r')
        packet.append('\r');
    packet.append(client.EndOfDataChar);
    packet.append(client.EndOfBlockChar);
    return packet;
}

ClientSendRun::Outcome ClientSendRun::SendRecord(int32_t n, const QByteArray& packet)
{
    // Past ClientMaxTriesResend (at most 32767) the last-try check always decides, so the try
    // number never runs beyond 32768.
    for (int32_t tryNumber = 1;; ++tryNumber) {
        panel3.Set(QStringLiteral("Sending record ") + QString::number(n) + QStringLiteral(" to ")
                   + TargetForPanel(c));
        if (tryNumber > 1 && !ReopenIfDropped())
            return Outcome::EndRun;
        // Only replies to this sending count for it: a repeated ACK of an earlier one that came
        // before must not acknowledge it.
        c.AckReceived = false;
        replies.Sending();
        if (!w.sock->SendData(packet)) {
            Fail(w.sock->LastError(), w.sock->LastErrorDescription());
            return Outcome::EndRun;
        }
        TraceLazy(st, [tryNumber] {
            return "CLIENT: Record has been sent to the server - try # "
                   + std::to_string(tryNumber);
        });
        if (st.trace.LogMessageASCII)
            Dump(st, std::string_view(packet.constData(), static_cast<size_t>(packet.size())),
                 "ASCII");
        if (c.ClientWaitForAck == 0)
            c.AckReceived = true;
        TraceLazy(st, [this] {
            const std::string& expected =
                st.ack.UseAckBytes != 0 ? st.ack.AckBytes : st.ack.AckText;
            return "CLIENT: Waiting up to " + std::to_string(c.ClientMaxTimeWaitForAck)
                   + " seconds for ACK (" + expected + ") from Server.";
        });
        const WaitEnd wait = WaitWithEvents(
            std::chrono::seconds(std::max<int16_t>(c.ClientMaxTimeWaitForAck, 0)),
            [this] { return c.AckReceived; }, [this] { return StopRequested(); });
        if (wait == WaitEnd::Stopped)
            return Outcome::EndRun;

        if (c.AckReceived) {
            ++acknowledged;
            count.Set(QStringLiteral("Count: ") + CountText(acknowledged));
            WaitWithEvents(0ms);
            return Outcome::NextRecord;
        }

        Trace(st, "CLIENT: ACK '" + st.ack.AckText + "' not received from Server.");
        if (c.ClientNakAction == 1) {
            if (!Reset())
                return Outcome::EndRun;
            if (tryNumber + 1 <= c.ClientMaxTriesResend)
                continue;
            return LastTryCheck(tryNumber + 1).value_or(Outcome::NextRecord);
        }
        DropUnanswered();
        if (c.ClientNakAction == 2) {
            Trace(st, "CLIENT: ACK not received. Moving on to next record.");
            return Outcome::NextRecord;
        }
        if (auto end = LastTryCheck(tryNumber))
            return *end;
    }
}

// After the last try: give up on the record, stop the run, or report an unknown setting.
// Nothing while tries remain.
std::optional<ClientSendRun::Outcome> ClientSendRun::LastTryCheck(int32_t tryNumber)
{
    if (tryNumber < c.ClientMaxTriesResend)
        return std::nullopt;
    Trace(st, "CLIENT: Tried to send the record " + std::to_string(c.ClientMaxTriesResend)
                  + " times. Giving up on that record.");
    switch (c.ClientMaxNakAction) {
    case 0:
    case 1:
        return Outcome::NextRecord;
    case 2:
        StopSending();
        return Outcome::Summary;
    default:
        w.dlg.MsgBox(QStringLiteral("Unexpected case of ") + QString::number(c.ClientMaxNakAction)
                         + QStringLiteral(" in SendRecordsToServer."),
                     MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("Quillon"));
        return Outcome::Summary;
    }
}

void ClientSendRun::StopSending()
{
    Trace(st,
          "CLIENT: The server is not ACKing the records. Closing connection and stopping "
          "attempt to send records.");
    w.dlg.MsgBox(QStringLiteral("The server is not ACKing the records that are being sent to it.  "
                                "Per client configuration, no more attempts to send records will "
                                "be made."),
                 MsgButtons::OKOnly, MsgIcon::Critical,
                 QStringLiteral("Server Not ACKing Records"));
    w.sock->Close();
    WaitWithEvents(kConnectTimeout, [this] { return w.sock->State() == wst::Closed; });
    if (w.sock->State() != wst::Closed) {
        Trace(st, "CLIENT: Unable to close socket.");
        w.dlg.MsgBox(QStringLiteral("Unable to close the connection to the Server.  Please close "
                                    "the program and reload."),
                     MsgButtons::OKOnly, MsgIcon::Critical,
                     QStringLiteral("Can't Close Connection"));
    } else {
        Trace(st, "CLIENT: Socket closed.");
    }
}

void ClientSendRun::Summary()
{
    w.stsPanels[3]->setText(QStringLiteral("Sent ") + CountText(acknowledged)
                            + QStringLiteral(" records to ") + TargetForPanel(c));
    Trace(st, "CLIENT: No more records to send.");
    w.cmdPause->setEnabled(false);
    w.EnablePanelControls({w.optClientOrServer[0], w.optClientOrServer[1], w.cmdDeleteConfig});
}

// The end of a run that cannot go on (a broken connection, a record that is gone): no message
// box, a trace line, and the window tidied for another Start.
void ClientSendRun::Fail(int number, const QString& description)
{
    QString text;
    if (number == platform::winsock_error::WrongState) {
        text = QStringLiteral("The connection to the Server has been broken (Err=40006).");
        w.cmdPause->setText(QStringLiteral("Resume"));
    } else {
        text = QStringLiteral("Unanticipated error: ") + QString::number(number)
               + QStringLiteral(" - ") + description + QStringLiteral(" in SendRecordsToServer");
    }
    Trace(st, "CLIENT: " + Utf8(text) + " - " + TargetForTrace(c));
    TidyAfterFailure(w);
}

// Marks the window busy for the length of a run, whatever way it ends.
class RunScope {
public:
    explicit RunScope(frmMain& w) : w_(w), wasSending_(w.st.client.Sending)
    {
        w_.setProperty(kRunActive, true);
        w_.st.client.Sending = true;
    }
    ~RunScope()
    {
        w_.st.client.Sending = wasSending_;
        w_.setProperty(kRunActive, false);
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    frmMain& w_;
    bool wasSending_;
};

}  // namespace

void frmMain::SendRecordsToServer()
{
    // A run is already waiting further down this call stack: the window has one client socket.
    if (property(kRunActive).toBool())
        return;
    ReplyAccumulator& replies = ConnectSocketEvents(*this);
    st.client.StopAsked = false;
    const RunScope scope(*this);
    ClientSendRun(*this, replies).Run();
}

void frmMain::DisplayClientWinsockState()
{
    lblState->setText(QStringLiteral("State: ") + platform::WinsockStateName(sock->State()));
}

}  // namespace quillon
