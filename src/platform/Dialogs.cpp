#include "platform/Dialogs.h"

namespace quillon::platform {

MsgAnswer FirstButton(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OKOnly:
    case MsgButtons::OKCancel:
        return MsgAnswer::OK;
    case MsgButtons::AbortRetryIgnore:
        return MsgAnswer::Abort;
    case MsgButtons::YesNoCancel:
    case MsgButtons::YesNo:
        return MsgAnswer::Yes;
    case MsgButtons::RetryCancel:
        return MsgAnswer::Retry;
    }
    return MsgAnswer::OK;
}

MsgAnswer ScriptedResponder::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                                    const QString& title)
{
    return Show(text, buttons, icon, title, std::nullopt);
}

MsgAnswer ScriptedResponder::MsgBoxDefault(const QString& text, MsgButtons buttons, MsgIcon icon,
                                           const QString& title, MsgAnswer defaultAnswer)
{
    return Show(text, buttons, icon, title, defaultAnswer);
}

MsgAnswer ScriptedResponder::Show(const QString& text, MsgButtons buttons, MsgIcon icon,
                                  const QString& title, std::optional<MsgAnswer> defaultAnswer)
{
    shown_.push_back({Shown::Kind::Message, text, title, buttons, icon, {}, defaultAnswer});
    if (whileShown) {
        const Shown open = shown_.back();  // the hook may show further boxes
        whileShown(open);
    }
    if (answers_.empty()) {
        ++unanswered_;
        return FirstButton(buttons);
    }
    const MsgAnswer a = answers_.front();
    answers_.pop_front();
    return a;
}

void ScriptedResponder::MsgBoxWindow(const QString& text, const QString& caption)
{
    shown_.push_back(
        {Shown::Kind::Window, text, caption, MsgButtons::OKOnly, MsgIcon::None, {}, std::nullopt});
    if (whileShown) {
        const Shown open = shown_.back();
        whileShown(open);
    }
}

std::optional<QString> ScriptedResponder::InputBox(const QString& prompt, const QString& title,
                                                   const QString& defaultText)
{
    shown_.push_back({Shown::Kind::Input, prompt, title, MsgButtons::OKCancel, MsgIcon::None,
                      defaultText, std::nullopt});
    if (whileShown) {
        const Shown open = shown_.back();
        whileShown(open);
    }
    if (inputs_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    const bool given = inputs_.front().has_value();
    const QString text = given ? *inputs_.front() : QString();
    inputs_.pop_front();
    if (!given)
        return std::nullopt;
    return text;
}

QStringList ScriptedResponder::FileDialog(const FileDialogRequest& request)
{
    fileDialogs_.push_back(request);
    if (whileShown)
        whileShown({Shown::Kind::File, {}, request.title, MsgButtons::OKCancel, MsgIcon::None, {},
                    std::nullopt});
    if (files_.empty()) {
        ++unanswered_;
        return {};
    }
    QStringList files = files_.front();
    files_.pop_front();
    return files;
}

std::optional<FontChoice> ScriptedResponder::FontDialog(const FontChoice& preset)
{
    fontDialogs_.push_back(preset);
    if (fonts_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    if (!fonts_.front()) {
        fonts_.pop_front();
        return std::nullopt;
    }
    const FontChoice font = *fonts_.front();
    fonts_.pop_front();
    return font;
}

std::optional<PrintChoice> ScriptedResponder::PrintDialog(const PrintDialogRequest& request)
{
    printDialogs_.push_back(request);
    if (prints_.empty()) {
        ++unanswered_;
        return std::nullopt;
    }
    if (!prints_.front()) {
        prints_.pop_front();
        return std::nullopt;
    }
    const PrintChoice choice = *prints_.front();
    prints_.pop_front();
    return choice;
}

void ScriptedResponder::Clear()
{
    prints_.clear();
    printDialogs_.clear();
    fonts_.clear();
    fontDialogs_.clear();
    answers_.clear();
    inputs_.clear();
    files_.clear();
    fileDialogs_.clear();
    shown_.clear();
    unanswered_ = 0;
}

}  // namespace quillon::platform
