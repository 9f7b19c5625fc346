#include "app/frmMain.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ListBox.h"
#include "app/ToolbarIcons.h"
#include "app/TraceLog.h"
#include "platform/Heap.h"
#include "records/RecordText.h"
#include "records/TextEncoding.h"
#include "editing/FindDialog.h"
#include "platform/WinsockControl.h"

namespace quillon {

frmMain::frmMain(AppState& state, platform::Dialogs& dialogs, platform::Desktop& desktop_,
                 QWidget* parent)
    : QMainWindow(parent),
      dialogsAside_(*this, dialogs),
      st(state),
      dlg(dialogsAside_),
      desktop(desktop_)
{
    setWindowTitle(QStringLiteral("Quillon"));
    BuildControls();
    CreateServerSocket();
    sock = new platform::WinsockControl(this);
    sock->setObjectName(QStringLiteral("sock"));
    BuildTCPIPPanel();
    // %N of the log name: the configuration picked in the TCP/IP panel while the panel shows.
    st.trace.ConfigurationName = [this] {
        return mnuViewTCPIPWindow->isChecked() ? cboTCPIPNames->currentText() : QString();
    };
    st.trace.WriteFailed = [this](const QString& path, const QString& reason) {
        QString text = QStringLiteral("The trace log cannot be written: ") + path;
        if (!reason.isEmpty())
            text += QStringLiteral(": ") + reason;
        stsBar->showMessage(text, 15000);
    };
    // A write that ended is looked at on this window's thread.
    backgroundWrites_.onEnded = [this] {
        QMetaObject::invokeMethod(this, [this] { ReportEndedWrites(); }, Qt::QueuedConnection);
    };
    // Once what a command left has been freed, the pages of the free space it leaves at the top
    // of the heap go back too (from this thread: it is this thread's heap), unless another
    // command runs by then, which does the same when it ends.
    backgroundFrees_.onEnded = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (changesRunning_ == 0)
                    platform::ReturnHeapTopPages();
            },
            Qt::QueuedConnection);
    };
    // Record blocks freed and not taken again go back to the system once they have lain unused
    // a while (beside the window: there may be hundreds).
    auto* unusedBlocks = new QTimer(this);
    connect(unusedBlocks, &QTimer::timeout, this, [this] {
        if (RecordBlocksKept() <= record_text::kKeptBlocks)
            return;
        backgroundFrees_.Add(0, [](const std::atomic<bool>&) {
            GiveBackUnusedRecordBlocks();
            return BackgroundWrites::Outcome{};
        });
    });
    unusedBlocks->start(1000);
    SetButtonEnabledStatus();
}

frmMain::~frmMain()
{
    // The lists and the other children are deleted after this part of the window is gone:
    // nothing they do on the way out may call back into it.
    DisconnectListEvents();
    // Writes still under way end first: they call back into this window when they do.
    backgroundWrites_.Stop([](int tag) { return tag < UndoRing::Slots; });
    backgroundWrites_.WaitUntilAtMost(0);
    // The find dialogs have no owner window: they go with this one.
    delete frmFindInRecordList.data();
    delete frmFindInFieldList.data();
    // The trace reaches its file before the program goes.
    FlushTraceWrites(st);
    st.trace.WriteFailed = nullptr;
    st.trace.ConfigurationName = nullptr;
}

void frmMain::BuildControls()
{
    BuildMenus();

    tbarTools = addToolBar(QStringLiteral("Tools"));
    tbarTools->setObjectName(QStringLiteral("tbarTools"));
    tbarTools->setMovable(false);
    // Small images keep the captioned buttons within the toolbar's designed height.
    tbarTools->setIconSize(QSize(16, 16));
    static const char* const buttons[19][2] = {
        {nullptr, nullptr},
        {"New", "New - blank HL7 panes"},
        {"Open", "Open a file containing HL7 records"},
        {"Save", "Save records to a file"},
        {"Print", "Print selected records"},
        {nullptr, nullptr},
        {"Undo", "Undo last action"},
        {nullptr, nullptr},
        {"FTP Get", "Open a file on a remote computer via FTP"},
        {"FTP Put", "Save records to a remote computer via FTP"},
        {"TCP/IP", "Send or receive HL7 records via TCP/IP"},
        {nullptr, nullptr},
        {"Filter", "Apply a filter to the list of records"},
        {"Rec(s)", "Find text with the records"},
        {nullptr, nullptr},
        {"Report", "Create a report from the selected fields."},
        {"View", "View only the selected fields."},
        {nullptr, nullptr},
        {"Ensemble", "Open from Ensemble"}};
    for (int i = 1; i <= 18; ++i) {
        if (!buttons[i][0]) {
            tbarTools->addSeparator();
            continue;
        }
        QAction* button =
            tbarTools->addAction(ToolbarIcon(i, *style()), QLatin1String(buttons[i][0]));
        button->setToolTip(QLatin1String(buttons[i][1]));
        connect(button, &QAction::triggered, this, [this, i] { tbarTools_ButtonClick(i); });
        tbarButtons[static_cast<size_t>(i)] = button;
    }
    SetToolbarCaptionStyle(*tbarTools, true, tbarButtons[18]);

    auto makeList = [this](const char* name) {
        auto* list = new ListBox(this);
        list->setObjectName(QLatin1String(name));
        return list;
    };
    lstRecords = makeList("lstRecords");
    lstRecords->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstSegments = makeList("lstSegments");
    lstSegments->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstFields = makeList("lstFields");
    lstFields->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QFont fixed(QStringLiteral("DejaVu Sans Mono"));
    fixed.setStyleHint(QFont::TypeWriter);
    for (ListBox* list : {lstRecords, lstSegments, lstFields})
        list->setFont(fixed);
    ConnectClick(lstRecords, &frmMain::lstRecords_Click, &recordClickSerial_);
    ConnectClick(lstSegments, &frmMain::lstSegments_Click, &segmentClickSerial_);
    ConnectClick(lstFields, &frmMain::lstFields_Click, &fieldClickSerial_);
    ConnectListEvents();

    auto makeButton = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(QLatin1String(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        b->setFixedWidth(36);
        return b;
    };
    cmdFirstPage = makeButton("cmdFirstPage", "|<");
    cmdPrevPage = makeButton("cmdPrevPage", "<");
    cmdNextPage = makeButton("cmdNextPage", ">");
    cmdLastPage = makeButton("cmdLastPage", ">|");
    connect(cmdFirstPage, &QPushButton::clicked, this, &frmMain::cmdFirstPage_Click);
    connect(cmdPrevPage, &QPushButton::clicked, this, &frmMain::cmdPrevPage_Click);
    connect(cmdNextPage, &QPushButton::clicked, this, &frmMain::cmdNextPage_Click);
    connect(cmdLastPage, &QPushButton::clicked, this, &frmMain::cmdLastPage_Click);
    lblFile = new QLabel(this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblPageOf = new QLabel(this);
    lblPageOf->setObjectName(QStringLiteral("lblPageOf"));
    lblPageOf->setMinimumWidth(80);

    // The TCP/IP panel's controls (laid out with the panel).
    chkLogToDisk = new QCheckBox(QStringLiteral("Log incoming records to disk"), this);
    connect(chkLogToDisk, &QCheckBox::clicked, this, &frmMain::chkLogToDisk_Click);
    lblTCPIPcount = new QLabel(QStringLiteral("Count:"), this);
    lblState = new QLabel(QStringLiteral("State: Closed"), this);
    cboTCPIPNames = new QComboBox(this);
    cmdStart = new QPushButton(QStringLiteral("Start"), this);
    cmdStop = new QPushButton(QStringLiteral("Stop"), this);
    cmdPause = new QPushButton(QStringLiteral("Pause"), this);
    cmdEditConfig = new QPushButton(QStringLiteral("Edit"), this);
    cmdNewConfig = new QPushButton(QStringLiteral("New"), this);
    connect(cmdEditConfig, &QPushButton::clicked, this, &frmMain::cmdEditConfig_Click);
    cmdDeleteConfig = new QPushButton(QStringLiteral("Delete"), this);
    chkViewRcvdACKs = new QCheckBox(QStringLiteral("View received ACKs"), this);
    optClientOrServer[0] = new QRadioButton(QStringLiteral("Client"), this);
    optClientOrServer[1] = new QRadioButton(QStringLiteral("Server"), this);
    optClientOrServer[0]->setChecked(true);
    lblStartAt[0] = new QLabel(QStringLiteral("Start at:"), this);
    lblStartAt[1] = new QLabel(QStringLiteral("End at:"), this);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdDeleteConfig, chkViewRcvdACKs,
                                                      optClientOrServer[0], optClientOrServer[1],
                                                      lblStartAt[0], lblStartAt[1]})
        w->hide();
    for (QWidget* w : std::initializer_list<QWidget*>{chkLogToDisk, lblTCPIPcount, lblState, cboTCPIPNames,
                                                      cmdStart, cmdStop, cmdPause, cmdEditConfig,
                                                      cmdNewConfig})
        w->hide();

    // The TCP/IP panel's range boxes, which a load resets.
    txtStartWithRecord = new QLineEdit(this);
    txtEndWithRecord = new QLineEdit(this);
    chkSendSelectedOnly = new QCheckBox(QStringLiteral("Send selected records only"), this);
    for (QWidget* w : {static_cast<QWidget*>(txtStartWithRecord),
                       static_cast<QWidget*>(txtEndWithRecord),
                       static_cast<QWidget*>(chkSendSelectedOnly)})
        w->hide();

    fraTCPIP = new QFrame(this);
    fraTCPIP->setObjectName(QStringLiteral("fraTCPIP"));
    fraTCPIP->hide();
    fraHSplitter = new QFrame(this);
    fraHSplitter->setObjectName(QStringLiteral("fraHSplitter"));
    fraVSplitter = new QFrame(this);
    fraVSplitter->setObjectName(QStringLiteral("fraVSplitter"));
    BuildLayout();

    stsBar = statusBar();
    for (size_t i = 1; i <= 5; ++i) {
        stsPanels[i] = new QLabel(this);
        stsBar->addPermanentWidget(stsPanels[i], i == 1 ? 1 : 0);
    }
}

int frmMain::ExecCmd(const QString& program, const QStringList& arguments, int timeoutMs)
{
    return platform::ExecCmd(program, arguments, timeoutMs);
}

void frmMain::mnuFTPReceive_Click()
{
    if (FtpGetCommand)
        FtpGetCommand();
}

QString frmMain::DisplayText(std::string_view record, char endOfBlock)
{
    return DecodeText(record, RecordEncoding(record, endOfBlock));
}

}  // namespace quillon
