// The TCP/IP panel: client or server mode, the configuration list and its buttons, Start, Pause
// and Stop.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QTimer>

#include "app/Layout.h"
#include "app/TraceLog.h"
#include "app/frmMain.h"
#include "platform/WinsockControl.h"
#include "tcpip/frmClientConfig.h"
#include "tcpip/frmServerConfig.h"

namespace quillon {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

void PlaceTwips(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                   TwipsToPixels(height));
}

// Range boxes take digits only, never a leading 0; any key typed there replaces the selection.
class RangeKeyFilter : public QObject {
public:
    RangeKeyFilter(QCheckBox* sendSelectedOnly, QObject* parent)
        : QObject(parent), sendSelectedOnly_(sendSelectedOnly)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.isEmpty())
            return false;  // arrows, Delete and the like
        sendSelectedOnly_->setChecked(false);
        const int code = text.at(0).unicode();
        if (code == 8)
            return false;
        auto* box = qobject_cast<QLineEdit*>(watched);
        const bool empty = box && box->text().isEmpty();
        return code >= 58 || code < (empty ? 49 : 48);
    }

private:
    QCheckBox* sendSelectedOnly_;
};

std::string Port(int32_t port)
{
    return " " + std::to_string(port);
}

}  // namespace

bool frmMain::ClientMode() const
{
    return optClientOrServer[0]->isChecked();
}

void frmMain::BuildTCPIPPanel()
{
    auto* group = new QGroupBox(QStringLiteral("TCP/IP"), fraTCPIP);
    PlaceTwips(group, 0, 0, 5295, 3255);
    Label1 = new QLabel(QStringLiteral("Select Connection:"), group);
    lblConfigPrompt = new QLabel(QStringLiteral("Select Config:"), group);
    auto* frame = new QGroupBox(QStringLiteral("Control && Status"), group);
    Frame1 = frame;
    const struct {
        QWidget* w;
        QWidget* parent;
        int left, top, width, height;
    } places[] = {
        {Label1, group, 120, 240, 1890, 210},
        {optClientOrServer[0], group, 240, 600, 1695, 210},
        {optClientOrServer[1], group, 240, 840, 1815, 210},
        {lblConfigPrompt, group, 2520, 240, 2655, 210},
        {cboTCPIPNames, group, 2520, 480, 2655, 330},
        {cmdNewConfig, group, 2520, 840, 855, 375},
        {cmdEditConfig, group, 3360, 840, 855, 375},
        {cmdDeleteConfig, group, 4200, 840, 855, 375},
        {Frame1, group, 240, 1200, 4815, 1575},
        {chkLogToDisk, group, 240, 2880, 3615, 255},
        {cmdStart, Frame1, 240, 360, 735, 375},
        {cmdPause, Frame1, 1080, 360, 855, 375},
        {cmdStop, Frame1, 2040, 360, 735, 375},
        {lblTCPIPcount, Frame1, 3000, 240, 1700, 210},
        {lblState, Frame1, 3000, 480, 1700, 210},
        {chkSendSelectedOnly, Frame1, 240, 840, 2295, 210},
        {chkViewRcvdACKs, Frame1, 2880, 840, 1815, 210},
        {lblStartAt[0], Frame1, 240, 1200, 1365, 210},
        {txtStartWithRecord, Frame1, 1680, 1140, 735, 315},
        {lblStartAt[1], Frame1, 2520, 1200, 735, 210},
        {txtEndWithRecord, Frame1, 3360, 1140, 735, 315},
    };
    for (const auto& p : places) {
        p.w->setParent(p.parent);
        PlaceTwips(p.w, p.left, p.top, p.width, p.height);
        p.w->show();
    }
    optClientOrServer[0]->setText(QStringLiteral("Client (send)"));
    optClientOrServer[1]->setText(QStringLiteral("Server (recv)"));
    chkSendSelectedOnly->setText(QStringLiteral("Send selected only."));
    chkViewRcvdACKs->setText(QStringLiteral("View rcvd ACKs"));
    lblStartAt[0]->setText(QStringLiteral("Send Record #"));
    lblStartAt[1]->setText(QStringLiteral("through"));
    lblState->setText(QStringLiteral("State:"));
    cmdStop->setEnabled(false);
    cmdPause->setEnabled(false);

    // Sending the selection replaces a typed range.
    connect(chkSendSelectedOnly, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            txtStartWithRecord->clear();
            txtEndWithRecord->clear();
        }
    });
    connect(chkViewRcvdACKs, &QCheckBox::clicked, this,
            [this] { st.client.ViewReceivedAcks = chkViewRcvdACKs->isChecked(); });
    auto* filter = new RangeKeyFilter(chkSendSelectedOnly, this);
    txtStartWithRecord->installEventFilter(filter);
    txtEndWithRecord->installEventFilter(filter);
    connect(optClientOrServer[0], &QRadioButton::clicked, this, [this] { optClientOrServer_Click(0); });
    connect(optClientOrServer[1], &QRadioButton::clicked, this, [this] { optClientOrServer_Click(1); });
    connect(cboTCPIPNames, qOverload<int>(&QComboBox::activated), this, [this] { cboTCPIPNames_Click(); });
    connect(cmdNewConfig, &QPushButton::clicked, this, &frmMain::cmdNewConfig_Click);
    connect(cmdDeleteConfig, &QPushButton::clicked, this, &frmMain::cmdDeleteConfig_Click);
    connect(cmdPause, &QPushButton::clicked, this, &frmMain::cmdPause_Click);
    connect(cmdStart, &QPushButton::clicked, this, &frmMain::cmdStart_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmMain::cmdStop_Click);
}

void frmMain::mnuTCPIPShowFrame_Click()
{
    const auto& admin = st.session.AdminSwitches;
    if (admin[AdminTcpClient] && admin[AdminTcpServer])
        return;
    mnuViewTCPIPWindow_Click();
}

void frmMain::mnuViewTCPIPWindow_Click()
{
    mnuViewTCPIPWindow->setChecked(!mnuViewTCPIPWindow->isChecked());
    const bool shown = mnuViewTCPIPWindow->isChecked();
    fraTCPIP->setVisible(shown);
    if (shown) {
        SetHSplitterTop(mnuOptionsDisplayToolbar->isChecked() ? 3700 : 2990);
        MoveHSplitter();
        if (cboTCPIPNames->currentText().isEmpty())
            optClientOrServer_Click(ClientMode() ? 0 : 1);
    }
    Form_Resize();
}

void frmMain::FillConfigurationList()
{
    const bool client = ClientMode();
    const QString folder = client ? st.folders.ClientsFolder : st.folders.ServersFolder;
    const QString pattern = client ? QStringLiteral("*.client") : QStringLiteral("*.server");
    const QSignalBlocker block(cboTCPIPNames);
    cboTCPIPNames->clear();
    for (const QString& file :
         QDir(folder).entryList({pattern}, QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted))
        cboTCPIPNames->addItem(file.left(file.size() - 7));
    cboTCPIPNames->setCurrentIndex(-1);
}

void frmMain::optClientOrServer_Click(int index)
{
    if (index != 0 && index != 1) {
        dlg.MsgBox(QStringLiteral("Unexpected value of %1 in optClientOrServer_Click. Please "
                                  "contact Tech Support.")
                       .arg(index),
                   MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Unexpected Value"));
        return;
    }
    const bool client = index == 0;
    optClientOrServer[static_cast<size_t>(index)]->setChecked(true);
    lblConfigPrompt->setText(client ? QStringLiteral("Select Client Config:")
                                    : QStringLiteral("Select Server Config:"));
    chkSendSelectedOnly->setVisible(client);
    chkLogToDisk->setVisible(!client);
    txtStartWithRecord->setEnabled(client);
    txtEndWithRecord->setEnabled(client);
    chkViewRcvdACKs->setVisible(client);
    if (client)
        chkViewRcvdACKs->setChecked(false);
    lblStartAt[0]->setEnabled(client);
    lblStartAt[1]->setEnabled(client);
    FillConfigurationList();
    const int found = cboTCPIPNames->findText(QStringLiteral("default"), Qt::MatchExactly);
    if (found >= 0) {
        cboTCPIPNames->setCurrentIndex(found);
        cboTCPIPNames_Click();
    }
}

void frmMain::cboTCPIPNames_Click()
{
    if (ClientMode()) {
        st.client.ClientConfigName = cboTCPIPNames->currentText() + QStringLiteral(".client");
        QString path = st.folders.ClientsFolder + st.client.ClientConfigName;
        LoadClientConfiguration(path);
    } else {
        st.server.ServerConfigName = cboTCPIPNames->currentText() + QStringLiteral(".server");
        QString path = st.folders.ServersFolder + st.server.ServerConfigName;
        LoadServerConfiguration(path);
    }
    EnablePanelControls({cmdEditConfig, cmdDeleteConfig, cmdStart, cmdNewConfig});
    if (ClientMode())
        DisplayClientWinsockState();
    else
        DisplayServerWinsockState();
}

namespace {

// Shows the editor of the panel's mode on the configuration file `name`, then loads the
// configuration the editor saved last (or `name`); answers its file name.
QString EditConfiguration(frmMain& w, const QString& name)
{
    AppState& st = w.st;
    const bool client = w.optClientOrServer[0]->isChecked();
    const QString& folder = client ? st.folders.ClientsFolder : st.folders.ServersFolder;
    QString& current = client ? st.client.ClientConfigName : st.server.ServerConfigName;
    current = name;
    QString saved;
    if (client) {
        frmClientConfig editor(st, w.dlg, folder + current, &w);
        editor.exec();
        saved = editor.SavedPath();
    } else {
        frmServerConfig editor(st, w.dlg, folder + current, &w);
        editor.exec();
        saved = editor.SavedPath();
    }
    if (!saved.isEmpty())
        current = QFileInfo(saved).fileName();
    QString path = folder + current;
    if (client)
        w.LoadClientConfiguration(path);
    else
        w.LoadServerConfiguration(path);
    return current;
}

}  // namespace

void frmMain::cmdNewConfig_Click()
{
    const QString saved = EditConfiguration(
        *this, ClientMode() ? QStringLiteral("default.client") : QStringLiteral("default.server"));
    FillConfigurationList();
    const int found = cboTCPIPNames->findText(saved.left(saved.lastIndexOf(QLatin1Char('.'))),
                                              Qt::MatchExactly);
    if (found >= 0) {
        cboTCPIPNames->setCurrentIndex(found);
        cboTCPIPNames_Click();
    }
}

void frmMain::cmdEditConfig_Click()
{
    const QString extension = ClientMode() ? QStringLiteral(".client") : QStringLiteral(".server");
    const QString saved = EditConfiguration(
        *this, ClientMode() ? st.client.ClientConfigName : st.server.ServerConfigName);
    FillConfigurationList();
    cboTCPIPNames->setCurrentIndex(
        cboTCPIPNames->findText(saved.left(saved.indexOf(extension)), Qt::MatchExactly));
}

void frmMain::cmdDeleteConfig_Click()
{
    const bool client = ClientMode();
    const QString name = client ? st.client.ClientConfigName : st.server.ServerConfigName;
    if (mnuOptionsPromptBeforeDeleting->isChecked()
        && dlg.MsgBox(QStringLiteral("Are you sure that you want to delete the configuration file '")
                          + name + QStringLiteral("' ?"),
                      MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("OK to Delete Record?"))
            != MsgAnswer::Yes)
        return;
    const QString path = (client ? st.folders.ClientsFolder : st.folders.ServersFolder) + name;
    QFile file(path);
    if (!file.remove()) {
        dlg.MsgBox(QStringLiteral("Unanticipated error 53 - ") + file.errorString()
                       + QStringLiteral(" in cmdDeleteConfig. Please contact Tech Support."),
                   MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("Quillon"));
        return;
    }
    const int index = cboTCPIPNames->findText(cboTCPIPNames->currentText(), Qt::MatchExactly);
    if (index >= 0) {
        cboTCPIPNames->removeItem(index);
        if (cboTCPIPNames->count() > 0) {
            cboTCPIPNames->setCurrentIndex(0);
            cboTCPIPNames_Click();
        } else {
            cboTCPIPNames->setCurrentIndex(-1);
        }
    }
}

void frmMain::cmdPause_Click()
{
    if (cmdPause->text() == QLatin1String("Pause")) {
        st.client.TCPIPPaused = true;
        cmdPause->setText(QStringLiteral("Resume"));
    } else {
        st.client.TCPIPPaused = false;
        cmdPause->setText(QStringLiteral("Pause"));
    }
}

void frmMain::LockForRun(bool running)
{
    st.client.Sending = running;
    for (QAction* a : {mnuFileNew, mnuFileOpen, mnuFileFTPReceive, mnuOpenFromEnsemble,
                       mnuFileOpenCerner, mnuEditUndo})
        a->setEnabled(!running && (a != mnuOpenFromEnsemble || tbarButtons[18]->isEnabled()));
    for (QAction* a : mnuMRU)
        a->setEnabled(!running);
    for (int b : {1, 2, 6, 8})
        tbarButtons[static_cast<size_t>(b)]->setEnabled(!running);
    if (!running) {
        tbarButtons[6]->setEnabled(mnuEditUndo->isEnabled());
        // What the administrator switched off stays off after the run.
        const auto& admin = st.session.AdminSwitches;
        for (QAction* a : {mnuFileOpen, tbarButtons[2]})
            a->setEnabled(!admin[AdminFileOpen]);
        for (QAction* a : mnuMRU)
            a->setEnabled(!admin[AdminFileOpen]);
        for (QAction* a : {mnuFileFTPReceive, tbarButtons[8]})
            a->setEnabled(!admin[AdminFtpGet]);
    }
}

void frmMain::cmdStart_Click()
{
    // A role the administrator switched off is not started (Start is disabled then).
    if (RoleLocked(ClientMode()))
        return;
    st.ftp.FtpSourceDescription.clear();
    cboTCPIPNames_Click();
    st.client.ViewReceivedAcks = chkViewRcvdACKs->isChecked();
    const bool trace = st.trace.LogTCPIP;
    if (!ClientMode()) {
        const int32_t port = st.server.LocalPort;
        if (trace)
            WriteLog(st, "TCPIP", "User request to start listening on port " + std::to_string(port));
        mnuServerStartListeningForRecords->setText(
            QStringLiteral("Stop Listening for Records on TCP/IP Port #%1").arg(port));
        stsPanels[3]->setText(QStringLiteral("Listening on Port %1").arg(port));
        st.session.LockedFieldName.clear();
        if (!stsPanels[4]->text().contains(QLatin1String("Logging")))
            stsPanels[4]->clear();
        lstRecords->setEnabled(true);
        ClearListsAndRange();
        lblFile->clear();
        lblPageOf->clear();
        st.records.RecordCount = 0;
        CurrentPage = 0;
        setWindowTitle(QStringLiteral("Quillon - TCP/IP Server"));
        SetButtonEnabledStatus();
        QString error;
        if (!StartListening(&error)) {
            if (Winsock1->LastError() == platform::winsock_error::AddressInUse)
                dlg.MsgBox(QStringLiteral("Port %1 is already in use. Please edit the server "
                                          "configuration and select a different port")
                               .arg(port),
                           MsgButtons::OKOnly, MsgIcon::Exclamation,
                           QStringLiteral("Port Already in Use"));
            stsPanels[3]->setText(QStringLiteral("Not Listening"));
            return;
        }
        if (trace)
            WriteLog(st, "TCPIP", "SERVER: Started listening on TCP/IP port #" + Port(port));
        for (QWidget* w : std::initializer_list<QWidget*>{cmdStart, cmdPause, cmdNewConfig,
                                                          cmdEditConfig, cmdDeleteConfig,
                                                          optClientOrServer[0],
                                                          optClientOrServer[1], cboTCPIPNames})
            w->setEnabled(false);
        cmdStop->setEnabled(true);
        mnuServerSelectServerConfiguration->setEnabled(false);
        lblTCPIPcount->setText(QStringLiteral("Count:"));
        DisplayServerWinsockState();
        return;
    }

    if (st.records.RecordCount == 0) {
        dlg.MsgBox(QStringLiteral("There are no records to send."), MsgButtons::OKOnly,
                   MsgIcon::Information, QStringLiteral("No Records"));
        return;
    }
    if (!txtStartWithRecord->text().isEmpty() || !txtEndWithRecord->text().isEmpty()) {
        const long first = txtStartWithRecord->text().toLong();
        const long last = txtEndWithRecord->text().toLong();
        if (first > last) {
            dlg.MsgBox(QStringLiteral("The beginning record must be less than or equal to the "
                                      "ending record."),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Invalid Beginning or Ending Record"));
            return;
        }
        if (first == 0) {
            dlg.MsgBox(QStringLiteral("Please specify a starting record of at least 1."),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Invalid Starting Record"));
            return;
        }
    }
    for (QWidget* w : std::initializer_list<QWidget*>{cmdNewConfig, cmdEditConfig, cmdDeleteConfig})
        w->setEnabled(false);
    cmdPause->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{chkSendSelectedOnly, txtStartWithRecord,
                                                      txtEndWithRecord, lblStartAt[0],
                                                      lblStartAt[1]})
        w->setEnabled(false);
    const ClientState& c = st.client;
    const std::string target = c.ClientServerHost.toStdString() + c.ClientServerAddress.toStdString()
        + " port " + std::to_string(c.ClientServerPort);
    if (trace)
        WriteLog(st, "TCPIP", "CLIENT: User request to start sending to " + target);
    stsPanels[3]->setText(QStringLiteral("Sending to %1 %2 on port %3")
                              .arg(c.ClientServerHost, c.ClientServerAddress)
                              .arg(c.ClientServerPort));
    setWindowTitle(QStringLiteral("Quillon - TCP/IP Server"));
    mnuClientSelectClientConfiguration->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{optClientOrServer[0], optClientOrServer[1],
                                                      cmdStart})
        w->setEnabled(false);
    cmdPause->setEnabled(true);
    cmdStop->setEnabled(true);

    LockForRun(true);
    QApplication::processEvents();
    SendRecordsToServer();
    LockForRun(false);

    sock->Close();
    if (trace)
        WriteLog(st, "TCPIP", "CLIENT: Closing connection to " + target);
    stsPanels[3]->setText(QStringLiteral("Connection Closed"));
    EnablePanelControls({cmdStart, cmdNewConfig, cmdEditConfig, cmdDeleteConfig,
                         optClientOrServer[0], optClientOrServer[1], chkSendSelectedOnly,
                         txtStartWithRecord, txtEndWithRecord, lblStartAt[0], lblStartAt[1]});
    cmdStop->setEnabled(false);
    cmdPause->setEnabled(false);
    DisplayClientWinsockState();
    // The client role was switched off during the run (which stopped it): the panel now goes
    // over to what the switches leave.
    if (RoleLocked(true))
        SetMenuAndToolbarState();
    // A close or exit asked for during the run goes ahead now that the run is over.
    if (pendingExit_) {
        pendingExit_ = false;
        QTimer::singleShot(0, this, &frmMain::mnuFileExit_Click);
    } else if (pendingClose_) {
        pendingClose_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void frmMain::cmdStop_Click()
{
    const bool trace = st.trace.LogTCPIP;
    if (!ClientMode()) {
        const std::string port = Port(st.server.LocalPort);
        if (trace)
            WriteLog(st, "TCPIP", "SERVER: User request to stop listening on port " + port);
        mnuServerStartListeningForRecords->setText(
            QStringLiteral("Start Listening for Records on TCP/IP Port #")
            + QString::fromStdString(port));
        StopListening();
        if (trace)
            WriteLog(st, "TCPIP", "SERVER: Stopped listening on TCP/IP port #" + port);
        stsPanels[3]->setText(QStringLiteral("Not Listening"));
        EnablePanelControls({cmdStart, cmdNewConfig, cmdEditConfig, cmdDeleteConfig,
                             optClientOrServer[0], optClientOrServer[1], cboTCPIPNames});
        cmdStop->setEnabled(false);
        cmdPause->setEnabled(false);
        mnuServerSelectServerConfiguration->setEnabled(true);
        DisplayServerWinsockState();
    } else {
        const ClientState& c = st.client;
        const std::string target = c.ClientServerHost.toStdString()
            + c.ClientServerAddress.toStdString() + " port " + std::to_string(c.ClientServerPort);
        if (trace)
            WriteLog(st, "TCPIP", "CLIENT: User request to stop sending to " + target);
        mnuClientStartSendingRecords->setText(
            QStringLiteral("Start Sending Records to %1, port %2")
                .arg(c.ClientServerHost.isEmpty() ? c.ClientServerAddress : c.ClientServerHost)
                .arg(c.ClientServerPort));
        sock->Close();
        st.client.StopAsked = true;
        if (trace)
            WriteLog(st, "TCPIP", "CLIENT: Stopped sending to " + target);
        stsPanels[3]->setText(QStringLiteral("Not Sending"));
        EnablePanelControls({cmdStart, optClientOrServer[0], optClientOrServer[1]});
        cmdStop->setEnabled(false);
        cmdPause->setEnabled(false);
        mnuClientSelectClientConfiguration->setEnabled(true);
    }
    EnablePanelControls({cmdDeleteConfig, cmdNewConfig, cmdEditConfig});
}

}  // namespace quillon
