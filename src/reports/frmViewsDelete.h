#pragma once
// The dialogs that delete saved views and report definitions: a list of every saved name
// (several selectable), Delete and Cancel.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <functional>

namespace quillon {

class DefinitionsDeleteDialog : public QDialog {
    Q_OBJECT
public:
    // `refillMenu` brings the main window's menu up to date with the folder.
    DefinitionsDeleteDialog(const QString& caption, const QString& label, const QString& folder,
                            const QString& suffix, std::function<void()> refillMenu,
                            QWidget* parent = nullptr);

    QLabel* Label1;
    QListWidget* lstNames;
    QPushButton* cmdDelete;
    QPushButton* cmdCancel;

    void LoadNames();
    void cmdDelete_Click();

private:
    QString folder_;
    QString suffix_;
    std::function<void()> refillMenu_;
};

class frmViewsDelete : public DefinitionsDeleteDialog {
    Q_OBJECT
public:
    frmViewsDelete(const QString& viewsFolder, std::function<void()> fillViewsMenu,
                   QWidget* parent = nullptr);
    QListWidget*& lstViews = lstNames;
    void LoadViewNames() { LoadNames(); }
};

}  // namespace quillon
