#include "files/frmAbout.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/WindowUtility.h"
#include "files/frmAdministration.h"

#ifndef QUILLON_VERSION
#error "QUILLON_VERSION must name the program's version"
#endif

namespace quillon {

namespace {

// A quill over an inkwell.
QPixmap QuillPicture()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 40, 90));
    p.drawRoundedRect(QRectF(14, 46, 26, 14), 3, 3);
    QPainterPath feather;
    feather.moveTo(24, 50);
    feather.cubicTo(26, 30, 40, 10, 58, 4);
    feather.cubicTo(52, 18, 42, 34, 24, 50);
    p.setBrush(QColor(200, 160, 60));
    p.setPen(QPen(QColor(120, 80, 20), 1.2));
    p.drawPath(feather);
    p.drawLine(QPointF(24, 50), QPointF(50, 14));
    return pixmap;
}

}  // namespace

QString ProgramVersion()
{
    return QStringLiteral(QUILLON_VERSION);
}

QString VersionCaption(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    auto part = [&parts](qsizetype i) {
        return i < parts.size() ? QString::number(parts[i].toInt()) : QStringLiteral("0");
    };
    // Four numbers are major.minor.build.revision; three or fewer are major.minor.revision.
    const QString revision = parts.size() >= 4 ? part(3) : part(2);
    return QStringLiteral("for HL7 v") + part(0) + QLatin1Char('.') + part(1) + QLatin1Char('.')
           + revision;
}

frmAbout::frmAbout(AppState& st, platform::Dialogs& dialogs, platform::Desktop& desktop,
                   std::function<void()> applyAdmin, QWidget* parent)
    : QDialog(parent), st_(st), dlg_(dialogs), desktop_(desktop), applyAdmin_(std::move(applyAdmin))
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillon"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QuillPicture());
    Image1->setFixedSize(64, 64);
    Image1->installEventFilter(this);

    lblTitle = new QLabel(QStringLiteral("Quillon"), this);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = new QLabel(VersionCaption(ProgramVersion()), this);

    auto* contacts = new QGridLayout;
    const struct {
        QLabel** label;
        const char* caption;
        QString text, target;
    } links[] = {
        {&lblSales, "Sales:", QLatin1String(kSalesAddress),
         QStringLiteral("mailto:") + QLatin1String(kSalesAddress)},
        {&lblSupport, "Support:", QLatin1String(kSupportAddress),
         QStringLiteral("mailto:") + QLatin1String(kSupportAddress)},
        {&lblWeb, "Web:", QLatin1String(kWebAddress), QLatin1String(kWebAddress)},
    };
    int row = 0;
    for (const auto& l : links) {
        *l.label = MakeLink(QLatin1String(l.caption), l.text, l.target);
        contacts->addWidget(new QLabel(QLatin1String(l.caption), this), row, 0);
        contacts->addWidget(*l.label, row++, 1);
    }

    txtNotice = new QPlainTextEdit(this);
    txtNotice->setObjectName(QStringLiteral("txtNotice"));
    txtNotice->setReadOnly(true);
    txtNotice->setPlainText(QStringLiteral(
        "Quillon is a workbench for HL7 version 2 messages. It is provided as is, without "
        "warranty of any kind. Check every record it changes or sends before relying on it in "
        "a clinical system."));
    txtNotice->setFixedHeight(txtNotice->fontMetrics().lineSpacing() * 5);
    txtNotice->installEventFilter(this);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto* heading = new QVBoxLayout;
    heading->addWidget(lblTitle);
    heading->addWidget(lblVersion);
    heading->addSpacing(8);
    heading->addLayout(contacts);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(heading, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(txtNotice);
    layout->addLayout(buttons);

    setMinimumWidth(420);
    adjustSize();
    CenterForm(this);
}

QLabel* frmAbout::MakeLink(const QString& caption, const QString& text, const QString& target)
{
    auto* label = new QLabel(QStringLiteral("<a href=\"#\">") + text.toHtmlEscaped()
                                 + QStringLiteral("</a>"),
                             this);
    label->setAccessibleName(caption);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    links_.insert(label, target);
    return label;
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            links_.contains(watched)) {
            desktop_.OpenDocument(QStringLiteral("Open"), links_.value(watched));
            return true;
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == Image1) {
            Image1_DblClick();
            return true;
        }
        break;
    case QEvent::FocusIn:
        // The notice only shows text: no caret in it, the focus goes on to OK.
        if (watched == txtNotice)
            cmdOK->setFocus(Qt::OtherFocusReason);
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::Image1_DblClick()
{
    frmAdministration admin(st_, applyAdmin_, this);
    admin.exec();
}

void frmAbout::StartSysInfo()
{
    dlg_.MsgBox(QStringLiteral("System Information Is Unavailable At This Time"),
                platform::MsgButtons::OKOnly, platform::MsgIcon::None, QString());
}

}  // namespace quillon
