#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>

#include "app/TextAsGiven.h"
#include "editing/frmMsgBox.h"

namespace quillon::platform {

namespace {

// A box asked for while a top-most window (a find dialog) is active goes over that window, so
// the box is not hidden behind it.
QWidget* Owner(QWidget* parent)
{
    QWidget* active = QApplication::activeWindow();
    if (active && active != parent && active->isVisible()
        && active->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return active;
    return parent;
}

// A message box whose text shows as given (TextAsGiven) in place of its label.
class MessageBox : public QMessageBox {
public:
    MessageBox(QWidget* parent, const QString& text) : QMessageBox(parent)
    {
        setTextFormat(Qt::PlainText);
        setText(text);
        text_ = new TextAsGiven(text, this);
        text_->setFont(QApplication::font("QMessageBoxLabel"));
    }

protected:
    bool event(QEvent* event) override
    {
        // The box lays its label out afresh whenever its icon or style changes, and then sizes
        // itself to its contents on the layout request that follows: the text takes the label's
        // place before each of these.
        if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)
            PlaceText();
        return QMessageBox::event(event);
    }

private:
    void PlaceText()
    {
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label && layout() && layout()->indexOf(label) >= 0) {
            layout()->replaceWidget(label, text_);
            label->hide();
        }
    }

    TextAsGiven* text_;
};

}  // namespace

void QtDialogs::MsgBoxWindow(const QString& text, const QString& caption)
{
    quillon::frmMsgBox::Show(text, caption);
}

MsgAnswer QtDialogs::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                            const QString& title)
{
    return Box(text, buttons, icon, title, std::nullopt);
}

MsgAnswer QtDialogs::MsgBoxDefault(const QString& text, MsgButtons buttons, MsgIcon icon,
                                   const QString& title, MsgAnswer defaultAnswer)
{
    return Box(text, buttons, icon, title, defaultAnswer);
}

MsgAnswer QtDialogs::Box(const QString& text, MsgButtons buttons, MsgIcon icon,
                         const QString& title, std::optional<MsgAnswer> defaultAnswer)
{
    MessageBox box(Owner(parent_), text);
    box.setWindowTitle(title);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case MsgButtons::OKOnly: set = QMessageBox::Ok; break;
    case MsgButtons::OKCancel: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MsgButtons::AbortRetryIgnore:
        set = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        break;
    case MsgButtons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case MsgButtons::YesNo: set = QMessageBox::Yes | QMessageBox::No; break;
    case MsgButtons::RetryCancel: set = QMessageBox::Retry | QMessageBox::Cancel; break;
    }
    box.setStandardButtons(set);
    if (defaultAnswer) {
        static const std::pair<MsgAnswer, QMessageBox::StandardButton> kButtons[] = {
            {MsgAnswer::OK, QMessageBox::Ok},       {MsgAnswer::Cancel, QMessageBox::Cancel},
            {MsgAnswer::Abort, QMessageBox::Abort}, {MsgAnswer::Retry, QMessageBox::Retry},
            {MsgAnswer::Ignore, QMessageBox::Ignore}, {MsgAnswer::Yes, QMessageBox::Yes},
            {MsgAnswer::No, QMessageBox::No}};
        for (const auto& [answer, button] : kButtons)
            if (answer == *defaultAnswer && (set & button))
                box.setDefaultButton(button);
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return MsgAnswer::OK;
    case QMessageBox::Abort: return MsgAnswer::Abort;
    case QMessageBox::Retry: return MsgAnswer::Retry;
    case QMessageBox::Ignore: return MsgAnswer::Ignore;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    default:
        // Escape or the close box: the box's cancelling answer.
        if (buttons == MsgButtons::YesNo)
            return MsgAnswer::No;
        if (buttons == MsgButtons::OKOnly)
            return MsgAnswer::OK;
        if (buttons == MsgButtons::AbortRetryIgnore)
            return MsgAnswer::Abort;
        return MsgAnswer::Cancel;
    }
}

std::optional<QString> QtDialogs::InputBox(const QString& prompt, const QString& title,
                                           const QString& defaultText)
{
    // Not QInputDialog: its prompt is the buddy of the text box, which turns a delimiter "&"
    // into a shortcut mark, and it does not wrap a long prompt.
    QDialog box(parent_);
    box.setWindowTitle(title);
    auto* label = new TextAsGiven(prompt, &box);
    auto* edit = new QLineEdit(defaultText, &box);
    edit->selectAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    edit->setFocus();
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return edit->text();
}

QStringList QtDialogs::FileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(parent_, request.title, request.folder);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save       ? QFileDialog::AnyFile
                           : request.multiple ? QFileDialog::ExistingFiles
                                              : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (!request.patterns.isEmpty()) {
        dialog.setNameFilters(request.patterns);
        if (request.selectedPattern >= 0 && request.selectedPattern < request.patterns.size())
            dialog.selectNameFilter(request.patterns.at(request.selectedPattern));
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

std::optional<FontChoice> QtDialogs::FontDialog(const FontChoice& preset)
{
    QFont initial(preset.name);
    initial.setBold(preset.bold);
    initial.setItalic(preset.italic);
    if (preset.size > 0)
        initial.setPointSizeF(preset.size);
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent_, QString(),
                                            QFontDialog::MonospacedFonts | QFontDialog::ScalableFonts
                                                | QFontDialog::NonScalableFonts);
    if (!ok)
        return std::nullopt;
    return FontChoice{font.family(), font.bold(), font.italic(), font.pointSizeF()};
}

}  // namespace quillon::platform

namespace quillon::platform {

std::optional<PrintChoice> QtDialogs::PrintDialog(const PrintDialogRequest& request)
{
    QPrinter printer;
    QPrintDialog dialog(&printer, Owner(parent_));
    // No page ranges; printing to a file stays possible where the platform offers it.
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintToFile
                                                       | QAbstractPrintDialog::PrintShowPageSize
                                                       | QAbstractPrintDialog::PrintCollateCopies;
    if (request.selectionAllowed)
        options |= QAbstractPrintDialog::PrintSelection;
    dialog.setOptions(options);
    if (request.selectionAllowed && request.preselectSelection)
        dialog.setPrintRange(QAbstractPrintDialog::Selection);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    PrintChoice choice;
    choice.copies = printer.copyCount();
    choice.orientation =
        printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
    choice.selection = dialog.printRange() == QAbstractPrintDialog::Selection;
    choice.printerName = printer.printerName();
    if (printer.outputFormat() == QPrinter::PdfFormat)
        choice.outputPdf = printer.outputFileName();
    return choice;
}

}  // namespace quillon::platform
