#include "files/frmTechSupport.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "app/WindowUtility.h"
#include "files/frmAbout.h"

namespace quillon {

frmTechSupport::frmTechSupport(platform::Desktop& desktop, QWidget* parent)
    : QDialog(parent), desktop_(desktop)
{
    setObjectName(QStringLiteral("frmTechSupport"));
    setWindowTitle(QStringLiteral("Technical Support"));

    lblTechSupport =
        new QLabel(QStringLiteral("Technical support is available via e-mail at: "), this);
    lblEmail = new QLabel(QStringLiteral("<a href=\"#\">") + QLatin1String(kSupportAddress)
                              + QStringLiteral("</a>"),
                          this);
    lblEmail->setObjectName(QStringLiteral("lblEmail"));
    lblEmail->setTextFormat(Qt::RichText);
    lblEmail->setTextInteractionFlags(Qt::NoTextInteraction);
    lblEmail->setCursor(Qt::PointingHandCursor);
    lblEmail->installEventFilter(this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* address = new QHBoxLayout;
    address->addWidget(lblTechSupport);
    address->addWidget(lblEmail);
    address->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(address);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    adjustSize();
    CenterForm(this);
}

bool frmTechSupport::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblEmail && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        desktop_.OpenDocument(QStringLiteral("Open"),
                              QStringLiteral("mailto:") + QLatin1String(kSupportAddress));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quillon
