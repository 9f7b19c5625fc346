#include "analysis/frmMaximumFieldWidths.h"

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <algorithm>

#include "app/Settings.h"
#include "editing/WindowText.h"
#include "platform/Printer.h"
#include "reports/PrintPages.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

// Design sizes are in twips, 15 to a pixel.
constexpr int Px(int twips) { return twips / 15; }
constexpr int SortKeyRole = Qt::UserRole;
constexpr int ListTop = Px(480);

QFont CourierNew()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(9.75);
    return font;
}

}  // namespace

QString frmMaximumFieldWidths::Heading()
{
    return QStringLiteral("FIELD NAME        FIELD DESCRIPTION              MAX FIELD WIDTH");
}

frmMaximumFieldWidths::frmMaximumFieldWidths(platform::Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), dlg_(dialogs)
{
    setWindowTitle(QStringLiteral("Maximum Field Widths"));
    Label1 = new QLabel(Heading(), this);
    Label1->setFont(CourierNew());
    Label1->setGeometry(Px(120), Px(120), Px(9135), Px(255));
    lstMaxFieldWidth = new QListWidget(this);
    lstMaxFieldWidth->setFont(CourierNew());
    lstMaxFieldWidth->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstMaxFieldWidth->setGeometry(Px(120), ListTop, Px(8055), Px(4140));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(Px(8400), Px(480), Px(1215), Px(495));
    cmdPrint = new QPushButton(QStringLiteral("Print"), this);
    cmdPrint->setGeometry(Px(8400), Px(1080), Px(1215), Px(495));
    // The width stays as designed; the height may grow, down to 1500 twips.
    setFixedWidth(Px(9795));
    setMinimumHeight(Px(1500));
    resize(Px(9795), Px(4800));
    connect(cmdOK, &QPushButton::clicked, this, &frmMaximumFieldWidths::cmdOK_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmMaximumFieldWidths::cmdPrint_Click);
    connect(lstMaxFieldWidth, &QListWidget::itemDoubleClicked, this,
            &frmMaximumFieldWidths::lstMaxFieldWidth_DblClick);
}

void frmMaximumFieldWidths::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The design leaves 660 twips under the list in the window's outer height, about 180 of
    // them inside the client area.
    lstMaxFieldWidth->setFixedHeight(std::max(0, height() - ListTop - Px(180)));
}

void frmMaximumFieldWidths::AddRows(const std::vector<MaxWidthRow>& rows)
{
    // The rows already shown keep their places; each new row goes after the last row whose
    // sort key is not greater than its own.
    std::vector<QString> keys;
    keys.reserve(static_cast<size_t>(lstMaxFieldWidth->count()) + rows.size());
    for (int r = 0; r < lstMaxFieldWidth->count(); ++r)
        keys.push_back(lstMaxFieldWidth->item(r)->data(SortKeyRole).toString());
    for (const MaxWidthRow& row : rows) {
        const QString key = Text(row.sortKey);
        const auto at = std::upper_bound(keys.begin(), keys.end(), key);
        const int index = static_cast<int>(at - keys.begin());
        keys.insert(at, key);
        auto* item = new QListWidgetItem(Text(row.text));
        item->setData(SortKeyRole, key);
        lstMaxFieldWidth->insertItem(index, item);
    }
}

void frmMaximumFieldWidths::cmdOK_Click()
{
    close();
}

void frmMaximumFieldWidths::lstMaxFieldWidth_DblClick()
{
    const QListWidgetItem* item = lstMaxFieldWidth->currentItem();
    if (!item)
        return;
    const std::string row = item->text().toLatin1().toStdString();
    emit jumpRequested(Text(MaxWidthRowLabel(row)), MaxWidthRowWidth(row));
}

void frmMaximumFieldWidths::cmdPrint_Click()
{
    QListWidget* list = lstMaxFieldWidth;
    if (list->count() == 0) {
        dlg_.MsgBox(QStringLiteral("There are no Maximum Field Widths to print."), MsgButtons::OKOnly,
                    MsgIcon::None, kSettingsApp);
        return;
    }
    const int current = list->currentRow();
    platform::PrintDialogRequest request;
    request.preselectSelection = list->selectedItems().size() > 1;
    const std::optional<platform::PrintChoice> choice = dlg_.PrintDialog(request);
    if (!choice)
        return;
    const auto selected = list->selectedItems();
    if (selected.isEmpty() && choice->selection) {
        dlg_.MsgBox(QStringLiteral("No field widths were selected for printing."),
                    MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("No Field Widths to Print"));
        return;
    }
    const WaitCursor wait;
    const std::optional<PageLayout> layout = ListPageLayout(choice->orientation);
    if (!layout) {
        dlg_.MsgBox(QStringLiteral("Unexpected value of Orientation in PrintLstMaxFieldWidth. "
                                   "Please contact Tech Support."),
                    MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }
    ListPrintJob job;
    job.heading = {Heading().toStdString(), std::string()};
    job.selectionOnly = choice->selection;
    for (int r = 0; r < list->count(); ++r) {
        job.rows.push_back(list->item(r)->text().toLatin1().toStdString());
        job.selected.push_back(list->item(r)->isSelected());
    }
    const std::string title = kSettingsApp.toStdString();
    const int orientation = choice->orientation;
    job.footer = [&title, orientation](int page) {
        const QLocale locale = QLocale::system();
        const QDateTime now = QDateTime::currentDateTime();
        return ListPageFooter(title, orientation,
                              locale.toString(now.date(), QLocale::ShortFormat).toStdString(),
                              locale.toString(now.time(), QLocale::LongFormat).toStdString(), page);
    };
    platform::PrintOrSay(PaginateList(job, *layout), *choice, dlg_);
    list->setCurrentRow(current, QItemSelectionModel::NoUpdate);
}

}  // namespace quillon
