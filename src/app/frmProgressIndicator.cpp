#include "app/frmProgressIndicator.h"

#include <QApplication>
#include <QVBoxLayout>

namespace quillon {

frmProgressIndicator::frmProgressIndicator(bool& cancelled, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), ProgressCancelled(cancelled)
{
    setWindowTitle(QStringLiteral("Progress Indicator"));
    progBar = new QProgressBar(this);
    progBar->setRange(0, 100);
    progBar->setValue(0);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progBar);
    layout->addWidget(cmdCancel, 0, Qt::AlignHCenter);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProgressIndicator::cmdCancel_Click);
    ProgressCancelled = false;
}

void frmProgressIndicator::StartRun(int maximum)
{
    setWindowModality(Qt::ApplicationModal);
    progBar->setRange(0, maximum);
    progBar->setValue(0);
    show();
    QApplication::processEvents();
}

void frmProgressIndicator::cmdCancel_Click()
{
    ProgressCancelled = true;
}

}  // namespace quillon
