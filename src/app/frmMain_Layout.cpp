// The main window's geometry.
#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/frmMain.h"

namespace quillon {

void frmMain::BuildLayout()
{
    auto* left = new QSplitter(Qt::Vertical);
    left->addWidget(lstRecords);
    left->addWidget(lstSegments);
    left->setStretchFactor(0, 3);
    left->setStretchFactor(1, 2);
    auto* lists = new QSplitter(Qt::Horizontal);
    lists->addWidget(left);
    lists->addWidget(lstFields);
    lists->setStretchFactor(0, 1);
    lists->setStretchFactor(1, 1);

    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(cmdFirstPage);
    pageRow->addWidget(cmdPrevPage);
    pageRow->addWidget(lblPageOf);
    pageRow->addWidget(cmdNextPage);
    pageRow->addWidget(cmdLastPage);
    pageRow->addSpacing(12);
    pageRow->addWidget(lblFile, 1);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->addWidget(lists, 1);
    column->addLayout(pageRow);
    setCentralWidget(central);

}

void frmMain::ResizeForm() {}
void frmMain::Form_Resize() {}
void frmMain::MoveHSplitter() {}
void frmMain::MoveVSplitter() {}
void frmMain::SaveFrmPos(QWidget*, const QString&) {}
void frmMain::GetlastFormpos(QWidget*, const QString&, bool) {}
void frmMain::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }
void frmMain::changeEvent(QEvent* event) { QMainWindow::changeEvent(event); }
bool frmMain::eventFilter(QObject* watched, QEvent* event) { return QMainWindow::eventFilter(watched, event); }

}  // namespace quillon
