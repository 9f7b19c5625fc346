#pragma once
// The message window the find commands report through: a caption, a message and OK, above every
// other window of the program, the top-most find dialogs included.
#include <QDialog>

class QPushButton;

namespace quillon {

class TextAsGiven;

class frmMsgBox : public QDialog {
    Q_OBJECT
public:
    frmMsgBox(const QString& msgBoxText, const QString& msgBoxCaption);

    TextAsGiven* lblMessageBox;
    QPushButton* cmdOK;

    // Shows a fresh window modally until OK (or Esc, or its close box).
    static void Show(const QString& msgBoxText, const QString& msgBoxCaption);

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace quillon
