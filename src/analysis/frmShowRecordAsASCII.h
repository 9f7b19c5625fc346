#pragma once
// The character-code view: a record or segment 20 characters a line, each line followed by the
// characters' codes; the character at the caret is selected and its code pair marked.
#include <QDialog>
#include <string>

#include "analysis/CharacterCodes.h"

class QTextEdit;

namespace quillon {

class frmShowRecordAsASCII : public QDialog {
    Q_OBJECT
public:
    // `mode` "RECORD" shows a record, anything else a segment; `source` is its bytes, of a
    // record in `encoding`.
    frmShowRecordAsASCII(const std::string& source, const std::string& mode,
                         QWidget* parent = nullptr, TextEncoding encoding = TextEncoding::Latin1);

    QTextEdit* rtbASCII;

    // Marks the character at the caret and its code pair, the previous pair back to normal.
    void HighlightChar();
    AsciiCell Marked() const { return marked_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void SelectChar(AsciiCell cell);
    void MoveWithKey(int key);

    int sourceLength_;
    AsciiCell marked_;
};

}  // namespace quillon
