// Views: creating one from the field list, the Views menu, applying and deleting saved views.
#include <QDir>
#include <QSignalBlocker>

#include "app/WindowUtility.h"
#include "app/frmMain.h"
#include "reports/ViewFiles.h"
#include "reports/frmViewsDelete.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

QString frmMain::AskDefinitionName(const QString& prompt, const QString& title, QString& lastTyped)
{
    for (;;) {
        const std::optional<QString> answer = dlg.InputBox(prompt, title, lastTyped);
        if (!answer)
            return {};
        QString name = *answer;
        const DefinitionNameCheck check = CheckDefinitionName(name);
        lastTyped = name;
        if (check == DefinitionNameCheck::Ok)
            return name;
        if (check == DefinitionNameCheck::Empty)
            return {};
        dlg.MsgBox(DefinitionNameMessage(check), MsgButtons::OKOnly, MsgIcon::Critical,
                   DefinitionNameTitle());
    }
}

void frmMain::RedisplayForView()
{
    const int index = lstRecords->currentRow();
    if (index < 0 || !lstRecords->item(index)->isSelected())
        return;
    lstRecords_Click();
    const QSignalBlocker block(lstRecords);
    lstRecords->item(index)->setSelected(true);
}

void frmMain::FillViewsMenu()
{
    const QStringList names = ListViews(st.folders.ViewsFolder);
    const size_t n = std::min(names.size(), static_cast<qsizetype>(mnuViewsView.size()));
    for (size_t i = 0; i < mnuViewsView.size(); ++i) {
        if (i < n)
            SetItemName(mnuViewsView[i], names[static_cast<qsizetype>(i)]);
        mnuViewsView[i]->setVisible(i < n);
    }
    mnuViewsDash1->setVisible(n > 0);
    mnuViewsDelete->setVisible(n > 0);
    mnuViewsDelete->setEnabled(n > 0);
}

void frmMain::mnuFieldListCreateView_Click()
{
    std::vector<int> rows;
    for (int i = 0; i < lstFields->count(); ++i)
        if (lstFields->item(i)->isSelected())
            rows.push_back(i);
    if (rows.empty())
        return;
    st.view.ViewFields.clear();
    const QString name = AskDefinitionName(
        QStringLiteral("If you want to save this view, then enter it's name and click [OK].  "
                       "Otherwise, click [Cancel]."),
        QStringLiteral("View Name"), LastViewName);
    for (const int row : rows) {
        const QString line = lstFields->item(row)->text();
        if (!line.trimmed().isEmpty())
            st.view.ViewFields.push_back(ViewDesignation(line.toLatin1().toStdString()));
    }
    if (!name.isEmpty()) {
        QString error;
        if (!SaveView(st.folders.ViewsFolder, name, st.view.ViewFields, &error)) {
            // The view stays active in memory; only its file is missing.
            const QString path = QDir(st.folders.ViewsFolder).filePath(name + kViewSuffix);
            if (!QDir(st.folders.ViewsFolder).exists())
                dlg.MsgBox(QStringLiteral("The directory structure:\r\n%1\r\ndoes not appear to be "
                                          "correct.  Please contact tech support.")
                               .arg(path),
                           MsgButtons::OKOnly, MsgIcon::Critical,
                           QStringLiteral("Bad Directory Structure"));
            else
                dlg.MsgBox(QStringLiteral("Error = %1\r\n%2").arg(error, path),
                           MsgButtons::OKOnly, MsgIcon::None,
                           QStringLiteral("Unanticipated Error"));
            return;
        }
        stsPanels[5]->setText(QStringLiteral("View: ") + name);
        FillViewsMenu();
    }
    RedisplayForView();
}

void frmMain::mnuViewsView_Click(int index)
{
    const QString name = NameOfItem(mnuViewsView[static_cast<size_t>(index)]);
    bool missing = false;
    QString error;
    const auto entries =
        ReadDefinitionFile(DefinitionPath(st.folders.ViewsFolder, name, kViewSuffix), &missing,
                           &error);
    if (!entries) {
        // The old view's designations are not kept half-replaced: no view is active.
        st.view.ViewFields.clear();
        stsPanels[5]->clear();
        if (missing) {
            dlg.MsgBox(QStringLiteral("The view definition file for '%1' does not appear to "
                                      "exist anymore in:\r\n%2\r\n")
                           .arg(name, st.folders.ViewsFolder),
                       MsgButtons::OKOnly, MsgIcon::Critical, QStringLiteral("Can't Find View"));
            FillViewsMenu();
        } else {
            dlg.MsgBox(QStringLiteral("Error: %1").arg(error), MsgButtons::OKOnly,
                       MsgIcon::None, QStringLiteral("Unanticipated Error"));
        }
        RedisplayForView();
        return;
    }
    st.view.ViewFields = *entries;
    stsPanels[5]->setText(QStringLiteral("View: ") + name);
    RedisplayForView();
}

void frmMain::mnuViews_Click()
{
    const bool records = lstRecords->count() > 0;
    mnuViewsDisable->setEnabled(records && st.view.ViewFieldCount() >= 1);
    mnuViewsDelete->setEnabled(mnuViewsView[0]->isVisible());
    mnuViewsCreate->setEnabled(!lstFields->selectedItems().empty());
    for (QAction* item : mnuViewsView)
        item->setEnabled(records);
}

void frmMain::mnuViewsDelete_Click()
{
    frmViewsDelete dialog(st.folders.ViewsFolder, [this] { FillViewsMenu(); }, this);
    dialog.exec();
}

}  // namespace quillon
