#pragma once
// The Administration window: with the administrator password typed, the seven switches that
// lock commands of the program can be changed.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <functional>

#include "app/AppState.h"

namespace quillon {

class frmAdministration : public QDialog {
    Q_OBJECT
public:
    // `apply` brings new switches into force on the main window after OK.
    frmAdministration(AppState& st, std::function<void()> apply, QWidget* parent = nullptr);

    QLineEdit* txtPassword;
    std::array<QCheckBox*, AdminSwitchCount> chkDisable{};
    std::array<QPushButton*, 2> cmdCommand{};  // 0 OK, 1 Cancel

    static constexpr const char* kPassword = "lantern";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdOK_Click();

    AppState& st_;
    std::function<void()> apply_;
};

}  // namespace quillon
