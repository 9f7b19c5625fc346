#pragma once
#include <QPointer>
#include <QWidget>

#include "platform/Dialogs.h"

namespace quillon::platform {

// Message and input boxes as the user sees them: modal Qt boxes over `parent`.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title) override;
    MsgAnswer MsgBoxDefault(const QString& text, MsgButtons buttons, MsgIcon icon,
                            const QString& title, MsgAnswer defaultAnswer) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    QStringList FileDialog(const FileDialogRequest& request) override;
    std::optional<FontChoice> FontDialog(const FontChoice& preset) override;
    void MsgBoxWindow(const QString& text, const QString& caption) override;
    std::optional<PrintChoice> PrintDialog(const PrintDialogRequest& request) override;

private:
    MsgAnswer Box(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                  std::optional<MsgAnswer> defaultAnswer);

    QPointer<QWidget> parent_;
};

}  // namespace quillon::platform
