#include "reports/frmViewsDelete.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "reports/ViewFiles.h"

namespace quillon {

DefinitionsDeleteDialog::DefinitionsDeleteDialog(const QString& caption, const QString& label,
                                                 const QString& folder, const QString& suffix,
                                                 std::function<void()> refillMenu, QWidget* parent)
    : QDialog(parent), folder_(folder), suffix_(suffix), refillMenu_(std::move(refillMenu))
{
    setWindowTitle(caption);
    Label1 = new QLabel(label, this);
    lstNames = new QListWidget(this);
    lstNames->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdDelete = new QPushButton(QStringLiteral("Delete"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdDelete);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(lstNames);
    layout->addLayout(buttons);
    connect(cmdDelete, &QPushButton::clicked, this, &DefinitionsDeleteDialog::cmdDelete_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    LoadNames();
}

void DefinitionsDeleteDialog::LoadNames()
{
    lstNames->clear();
    lstNames->addItems(ListDefinitionNames(folder_, suffix_));
    if (refillMenu_)
        refillMenu_();
}

void DefinitionsDeleteDialog::cmdDelete_Click()
{
    if (lstNames->count() == 0)
        return;
    for (const QListWidgetItem* item : lstNames->selectedItems())
        DeleteDefinitionFile(folder_, item->text(), suffix_);
    LoadNames();
    if (lstNames->count() == 0)
        accept();
}

frmViewsDelete::frmViewsDelete(const QString& viewsFolder, std::function<void()> fillViewsMenu,
                               QWidget* parent)
    : DefinitionsDeleteDialog(QStringLiteral("Delete View"), QStringLiteral("Views:"),
                              viewsFolder, kViewSuffix, std::move(fillViewsMenu), parent)
{
}

}  // namespace quillon
