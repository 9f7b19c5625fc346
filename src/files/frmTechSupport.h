#pragma once
// The Technical Support window: how to reach technical support; a click on the address starts
// a new mail message.
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "platform/Process.h"

namespace quillon {

class frmTechSupport : public QDialog {
    Q_OBJECT
public:
    explicit frmTechSupport(platform::Desktop& desktop, QWidget* parent = nullptr);

    QLabel* lblTechSupport;
    QLabel* lblEmail;
    QPushButton* cmdOK;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    platform::Desktop& desktop_;
};

}  // namespace quillon
