#pragma once
// The text of a message or input box as it was given: user data, quoted records and delimiters
// show as typed (plain text, "&" and "<" never a shortcut mark or markup).
#include <QTextEdit>
#include <memory>
#include <vector>

class QTextDocument;

namespace quillon {

// Lines break between words and, where a word is longer than a line, anywhere in it, without a
// character added to the text; CR LF, CR and LF each start a new line. What the user selects
// and copies is what was given, line breaks as written. The widget is at most as wide as fits
// the screen, so that its box fits too, and as tall as its lines at the width it is given: a
// scroll bar shows only for a text taller than half the screen. It looks like a label: no
// frame, the window's background, selectable with the mouse.
class TextAsGiven : public QTextEdit {
public:
    explicit TextAsGiven(const QString& text, QWidget* parent = nullptr);
    ~TextAsGiven() override;

    // The text as given.
    const QString& text() const { return text_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    // The selection as it stands in the text: a document holds one paragraph break for a CR LF
    // and a blank for a no-break space.
    QMimeData* createMimeDataFromSelection() const override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int NaturalWidth() const;
    int LinesHeight(int width) const;
    int MostHeight() const;
    // A scroll bar only when the lines are taller than the widget: one that showed while the
    // widget was still small would narrow the lines, and so keep itself, under a text that fits.
    void ScrollOnlyWhenTaller();
    // The index in the text of a position in the document.
    int InText(int position) const;

    QString text_;
    // The document's positions of the line breaks written as CR LF, in order.
    std::vector<int> joinedBreaks_;
    // A copy of the document, laid out at the widths asked about (the one shown keeps its own).
    mutable std::unique_ptr<QTextDocument> measured_;
};

}  // namespace quillon
