#pragma once
// The text of a message or input box as it was given: user data, quoted records and delimiters
// show as typed (plain text, "&" and "<" never a shortcut mark or markup).
#include <QTextEdit>

namespace quillon {

// Lines break between words and, where a word is longer than a line, anywhere in it, without a
// character added to the text: what the user selects and copies is what was given. The widget
// is at most as wide as fits the screen, so that its box fits too, and as tall as its lines (a
// text taller than half the screen scrolls). It looks like a label: no frame, the window's
// background, selectable with the mouse.
class TextAsGiven : public QTextEdit {
public:
    explicit TextAsGiven(const QString& text, QWidget* parent = nullptr);

    // The text as given.
    const QString& text() const { return text_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    // The selection as it stands in the text: a document would turn a no-break space into a
    // blank.
    QMimeData* createMimeDataFromSelection() const override;

private:
    int NaturalWidth() const;
    int LinesHeight(int width) const;
    int MostHeight() const;

    QString text_;
};

}  // namespace quillon
