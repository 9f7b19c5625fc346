#pragma once
// Message and input boxes behind one interface. The program uses the Qt implementation
// (QtDialogs, in the window library); tests queue answers in a ScriptedResponder, which
// records every box it is shown.
#include <QString>
#include <deque>
#include <optional>
#include <vector>

namespace quillon::platform {

enum class MsgButtons { OKOnly, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { OK, Cancel, Abort, Retry, Ignore, Yes, No };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                             const QString& title) = 0;
    // No value when the user cancelled.
    virtual std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
};

// The answer a box gives when nobody chooses: its first button.
MsgAnswer FirstButton(MsgButtons buttons);

class ScriptedResponder : public Dialogs {
public:
    struct Shown {
        enum class Kind { Message, Input } kind;
        QString text;
        QString title;
        MsgButtons buttons = MsgButtons::OKOnly;
        MsgIcon icon = MsgIcon::None;
        QString defaultText;
    };

    void QueueAnswer(MsgAnswer a) { answers_.push_back(a); }
    void QueueInput(std::optional<QString> text) { inputs_.push_back(std::move(text)); }

    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;

    const std::vector<Shown>& shown() const { return shown_; }
    // Boxes that found no queued answer (they got their first button, or Cancel).
    int unanswered() const { return unanswered_; }
    bool allAnswersUsed() const { return answers_.empty() && inputs_.empty(); }
    void Clear();

private:
    std::deque<MsgAnswer> answers_;
    std::deque<std::optional<QString>> inputs_;
    std::vector<Shown> shown_;
    int unanswered_ = 0;
};

}  // namespace quillon::platform
