#include "files/ExtensionList.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <optional>

#include "platform/Dialogs.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

int ExtensionList::SelectedRow() const
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

void ExtensionList::Click() const
{
    if (SelectedRow() >= 0) {
        remove->setEnabled(true);
        setDefault->setEnabled(true);
    }
}

void ExtensionList::SetDefault() const
{
    const int row = SelectedRow();
    if (row >= 0)
        defaultLabel->setText(list->item(row)->text());
}

void ExtensionList::Add(platform::Dialogs& dialogs, const QString& prompt) const
{
    if (list->count() >= kMaxEntries) {
        dialogs.MsgBox(QStringLiteral("Only ten extensions are allowed in the list.  Please remove "
                                      "an extension before adding another."),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Can't Add Extension"));
        return;
    }
    const std::optional<QString> answer =
        dialogs.InputBox(prompt, QStringLiteral("Add Extension"), QString());
    if (!answer || answer->isEmpty())
        return;
    // Only an exact twin (letter case counts) is refused.
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text() == *answer) {
            dialogs.MsgBox(QStringLiteral("That extension already exists in the file extension "
                                          "list."),
                           MsgButtons::OKOnly, MsgIcon::Information,
                           QStringLiteral("Invalid Extension"));
            return;
        }
    }
    list->addItem(*answer);
}

void ExtensionList::Delete(const QString& allFiles) const
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    if (list->item(row)->text() == defaultLabel->text())
        defaultLabel->setText(allFiles);
    delete list->takeItem(row);
    if (list->count() == 0) {
        remove->setEnabled(false);
        setDefault->setEnabled(false);
        return;
    }
    list->setCurrentRow(std::min(row, list->count() - 1));
}

}  // namespace quillon
