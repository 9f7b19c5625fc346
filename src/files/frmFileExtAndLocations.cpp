#include "files/frmFileExtAndLocations.h"

#include <QDir>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Settings.h"
#include "app/WindowUtility.h"
#include "files/ExtensionList.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

frmFileExtAndLocations::frmFileExtAndLocations(AppState& st, platform::Dialogs& dlg,
                                               QWidget* parent)
    : QDialog(parent), st_(st), dlg_(dlg)
{
    setObjectName(QStringLiteral("frmFileExtAndLocations"));
    setWindowTitle(QStringLiteral("File Extensions and Locations"));
    setModal(true);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };

    // Initial default data directory: one tree of the folders from "/" down.
    auto* dirFrame = new QGroupBox(QStringLiteral("Initial Default Data Directory"), this);
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    folders_->setRootPath(QStringLiteral("/"));
    Dir1 = named(new QTreeView(dirFrame), "Dir1");
    Dir1->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column)
        Dir1->hideColumn(column);
    Dir1->setHeaderHidden(true);
    Dir1->setSelectionMode(QAbstractItemView::SingleSelection);
    Dir1->setMinimumSize(260, 220);
    cmdChangeDir = named(new QPushButton(QStringLiteral("Set Selected as Default"), dirFrame),
                         "cmdChangeDir");
    cmdChangeDir->setEnabled(false);
    lblDefaultDirectory = named(new QLabel(dirFrame), "lblDefaultDirectory");
    lblDefaultDirectory->setWordWrap(true);
    auto* dirLayout = new QVBoxLayout(dirFrame);
    dirLayout->addWidget(Dir1, 1);
    dirLayout->addWidget(cmdChangeDir);
    dirLayout->addWidget(new QLabel(QStringLiteral("Current Default:"), dirFrame));
    dirLayout->addWidget(lblDefaultDirectory);

    // Files of type list.
    auto* extFrame = new QGroupBox(QStringLiteral("Files of Type List"), this);
    lstExtensions = named(new QListWidget(extFrame), "lstExtensions");
    lstExtensions->setFont(QFont(QStringLiteral("Courier New")));
    lstExtensions->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdSetDefault = named(new QPushButton(QStringLiteral("Set Selected as Default"), extFrame),
                          "cmdSetDefault");
    cmdDelete = named(new QPushButton(QStringLiteral("Delete"), extFrame), "cmdDelete");
    cmdAdd = named(new QPushButton(QStringLiteral("Add"), extFrame), "cmdAdd");
    cmdSetDefault->setEnabled(false);
    cmdDelete->setEnabled(false);
    lblDefaultExtension = named(new QLabel(extFrame), "lblDefaultExtension");
    auto* extButtons = new QVBoxLayout;
    extButtons->addWidget(cmdSetDefault);
    extButtons->addWidget(cmdDelete);
    extButtons->addWidget(cmdAdd);
    extButtons->addStretch();
    auto* extLayout = new QGridLayout(extFrame);
    extLayout->addWidget(lstExtensions, 0, 0);
    extLayout->addLayout(extButtons, 0, 1);
    auto* current = new QHBoxLayout;
    current->addWidget(new QLabel(QStringLiteral("Current Default Extension:"), extFrame));
    current->addWidget(lblDefaultExtension, 1);
    extLayout->addLayout(current, 1, 0, 1, 2);

    lblDesc = named(new QLabel(this), "lblDesc");
    lblDesc->setWordWrap(true);
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");

    auto* frames = new QHBoxLayout;
    frames->addWidget(dirFrame, 1);
    frames->addWidget(extFrame, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(frames, 1);
    layout->addWidget(lblDesc);
    layout->addLayout(buttons);

    connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &frmFileExtAndLocations::Dir1_Change);
    connect(cmdChangeDir, &QPushButton::clicked, this, &frmFileExtAndLocations::cmdChangeDir_Click);
    connect(lstExtensions, &QListWidget::itemSelectionChanged, this,
            &frmFileExtAndLocations::lstExtensions_Click);
    connect(lstExtensions, &QListWidget::itemDoubleClicked, this,
            &frmFileExtAndLocations::cmdSetDefault_Click);
    connect(cmdSetDefault, &QPushButton::clicked, this,
            &frmFileExtAndLocations::cmdSetDefault_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmFileExtAndLocations::cmdDelete_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmFileExtAndLocations::cmdAdd_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmFileExtAndLocations::cmdOK_Click);
    // Esc rejects the dialog as the Cancel button does.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The patterns in force; a list with none gets the three everyone starts with.
    lblDefaultExtension->setText(st_.options.DefaultExtension);
    for (const QString& extension : st_.options.DefaultExtensions) {
        if (!extension.isEmpty())
            lstExtensions->addItem(extension);
    }
    if (lstExtensions->count() == 0) {
        lstExtensions->addItems({QStringLiteral("*.*"), QStringLiteral("*.dat"),
                                 QStringLiteral("*.txt")});
        lstExtensions->setCurrentRow(1);
        cmdSetDefault_Click();
    }

    // The data folder; moving the tree to it counts as a change of folder.
    lblDefaultDirectory->setText(st_.folders.DataFolder);
    SelectFolder(st_.folders.DataFolder);

    lblDesc->setText(
        QStringLiteral("The 'Files of Type' list shows the various file extensions that you can "
                       "choose from ")
        + QStringLiteral("when opening or saving files.  Examples are *.txt, *.dta, or even "
                         "EATER*.dat.  You can ")
        + QStringLiteral("manually specify other file extensions, but these are the ones that "
                         "you will be able to select from a drop-down list-box."));

    openingDataFolder_ = st_.folders.DataFolder;
    resize(640, 460);
    CenterForm(this);
}

bool frmFileExtAndLocations::SelectFolder(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    const QModelIndex index = folders_->index(QDir::cleanPath(folder));
    if (!index.isValid())
        return false;
    Dir1->setCurrentIndex(index);
    Dir1->scrollTo(index);
    return true;
}

QString frmFileExtAndLocations::Dir1Path() const
{
    const QModelIndex index = Dir1->currentIndex();
    return index.isValid() ? folders_->filePath(index) : QString();
}

void frmFileExtAndLocations::Dir1_Change()
{
    cmdChangeDir->setEnabled(true);
}

void frmFileExtAndLocations::cmdChangeDir_Click()
{
    QString folder = Dir1Path();
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    lblDefaultDirectory->setText(folder);
}

ExtensionList frmFileExtAndLocations::Extensions() const
{
    return {lstExtensions, lblDefaultExtension, cmdSetDefault, cmdDelete};
}

void frmFileExtAndLocations::lstExtensions_Click() { Extensions().Click(); }

void frmFileExtAndLocations::cmdSetDefault_Click() { Extensions().SetDefault(); }

void frmFileExtAndLocations::cmdAdd_Click()
{
    Extensions().Add(dlg_, QStringLiteral("Enter new file extension for HL7 data files:"));
}

void frmFileExtAndLocations::cmdDelete_Click() { Extensions().Delete(QStringLiteral("*.*")); }

void frmFileExtAndLocations::cmdOK_Click()
{
    Settings settings(st_.settings);
    // The folder acts for the rest of this run; the file dialogs follow it when it changed.
    st_.folders.DataFolder = lblDefaultDirectory->text();
    if (st_.folders.DataFolder != openingDataFolder_) {
        st_.options.LastFileOpenPath = st_.folders.DataFolder;
        st_.options.LastFileSavePath = st_.folders.DataFolder;
    }
    settings.SetDefaultDataDir(st_.folders.DataFolder);

    // Without a default pattern the list is left as it was stored.
    st_.options.DefaultExtension = lblDefaultExtension->text();
    if (!st_.options.DefaultExtension.isEmpty()) {
        settings.SetDefaultExtension(st_.options.DefaultExtension);
        for (int i = 0; i < static_cast<int>(st_.options.DefaultExtensions.size()); ++i) {
            const QString extension =
                i < lstExtensions->count() ? lstExtensions->item(i)->text() : QString();
            settings.SetDefaultExtensions(i, extension);
            st_.options.DefaultExtensions[static_cast<size_t>(i)] = extension;
        }
    }
    accept();
}

}  // namespace quillon
