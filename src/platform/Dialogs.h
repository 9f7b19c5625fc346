#pragma once
// Message and input boxes behind one interface. The program uses the Qt implementation
// (QtDialogs, in the window library); tests queue answers in a ScriptedResponder, which
// records every box it is shown.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace quillon::platform {

enum class MsgButtons { OKOnly, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { OK, Cancel, Abort, Retry, Ignore, Yes, No };

// An open or save dialog as the caller describes it.
struct FileDialogRequest {
    bool save = false;
    bool multiple = false;   // open: several files may be chosen
    QString title;
    QString folder;          // shown first
    QString fileName;        // save: the name proposed
    bool confirmOverwrite = true;  // save: ask before replacing an existing file
    QStringList patterns;    // file types, each its own description ("*.dat")
    int selectedPattern = 0; // index into patterns
};

// A font as the font dialog presets and answers it.
struct FontChoice {
    QString name;
    bool bold = false;
    bool italic = false;
    double size = 10;
    bool operator==(const FontChoice&) const = default;
};

// The print dialog as the caller presets it.
struct PrintDialogRequest {
    bool selectionAllowed = true;     // the Selection option can be chosen
    bool preselectSelection = false;  // Selection rather than All is chosen when it opens
};

// What the print dialog answers.
struct PrintChoice {
    int copies = 1;
    int orientation = 1;  // 1 portrait, 2 landscape
    bool selection = false;  // Selection chosen
    QString printerName;  // empty: the system's default printer
    QString outputPdf;    // not empty: a PDF file instead of a printer
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                             const QString& title) = 0;
    // The same box with the button of `defaultAnswer` chosen when it opens, so that Enter gives
    // that answer (No to a question about a long job).
    virtual MsgAnswer MsgBoxDefault(const QString& text, MsgButtons buttons, MsgIcon icon,
                                    const QString& title, MsgAnswer defaultAnswer) = 0;
    // No value when the user cancelled.
    virtual std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
    // The chosen files as full paths; empty when the user cancelled.
    virtual QStringList FileDialog(const FileDialogRequest& request) = 0;
    // Screen fonts of fixed pitch only. No value when the user cancelled.
    virtual std::optional<FontChoice> FontDialog(const FontChoice& preset) = 0;
    // The program's own message window: `text` above an OK button, titled `caption`, modal and
    // above every other window of the program (the top-most find dialogs too).
    virtual void MsgBoxWindow(const QString& text, const QString& caption) = 0;
    // No value when the user cancelled.
    virtual std::optional<PrintChoice> PrintDialog(const PrintDialogRequest& request) = 0;
};

// The answer a box gives when nobody chooses: its first button.
MsgAnswer FirstButton(MsgButtons buttons);

class ScriptedResponder : public Dialogs {
public:
    struct Shown {
        enum class Kind { Message, Input, Window, File } kind;
        QString text;
        QString title;
        MsgButtons buttons = MsgButtons::OKOnly;
        MsgIcon icon = MsgIcon::None;
        QString defaultText;
        std::optional<MsgAnswer> defaultAnswer;  // the button chosen when the box opened
    };

    void QueueAnswer(MsgAnswer a) { answers_.push_back(a); }
    // Runs while a message or input box or a file dialog is "open", before it is answered (what
    // a user could do meanwhile). File dialogs are not kept in shown().
    std::function<void(const Shown&)> whileShown;
    void QueueInput(std::optional<QString> text) { inputs_.push_back(std::move(text)); }
    // An empty list answers Cancel.
    void QueueFiles(QStringList files) { files_.push_back(std::move(files)); }
    // No value answers Cancel.
    void QueueFont(std::optional<FontChoice> font) { fonts_.push_back(std::move(font)); }
    // No value answers Cancel.
    void QueuePrint(std::optional<PrintChoice> choice) { prints_.push_back(std::move(choice)); }

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

    const std::vector<Shown>& shown() const { return shown_; }
    const std::vector<PrintDialogRequest>& printDialogs() const { return printDialogs_; }
    const std::vector<FileDialogRequest>& fileDialogs() const { return fileDialogs_; }
    const std::vector<FontChoice>& fontDialogs() const { return fontDialogs_; }
    // Boxes that found no queued answer (they got their first button, or Cancel).
    int unanswered() const { return unanswered_; }
    bool allAnswersUsed() const
    {
        return answers_.empty() && inputs_.empty() && files_.empty() && fonts_.empty()
               && prints_.empty();
    }
    void Clear();

private:
    MsgAnswer Show(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                   std::optional<MsgAnswer> defaultAnswer);

    std::deque<MsgAnswer> answers_;
    std::deque<std::optional<QString>> inputs_;
    std::deque<QStringList> files_;
    std::deque<std::optional<FontChoice>> fonts_;
    std::vector<FileDialogRequest> fileDialogs_;
    std::vector<FontChoice> fontDialogs_;
    std::deque<std::optional<PrintChoice>> prints_;
    std::vector<PrintDialogRequest> printDialogs_;
    std::vector<Shown> shown_;
    int unanswered_ = 0;
};

}  // namespace quillon::platform
