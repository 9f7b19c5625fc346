#pragma once
// The envelope characters window: the three character codes that frame records on the wire and
// on disk, shown and entered in decimal, octal or hexadecimal.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>
#include <array>
#include <cstdint>
#include <optional>

#include "app/AppState.h"

namespace quillon {

// Lets into a code box only the digits of its display base, and only while they make a code
// from 0 to 255. Hexadecimal letters are taken in upper case. The envelope window and the
// client configuration editor share it.
class CharCodeValidator : public QValidator {
public:
    explicit CharCodeValidator(QObject* parent) : QValidator(parent) {}
    int16_t base = 0;  // a CodeBase

    State validate(QString& input, int& position) const override;
};

class frmHL7Envelope : public QDialog {
    Q_OBJECT
public:
    enum Base : int16_t { Decimal = 0, Octal = 1, Hexadecimal = 2 };
    enum Box { StartOfBlock = 0, EndOfBlock = 1, EndOfData = 2 };

    // `displayBase` is the base the boxes start in; every change of base is written back to it,
    // so the caller can keep the last choice for the next opening.
    frmHL7Envelope(AppState& state, int16_t& displayBase, QWidget* parent = nullptr);

    // CharCodeText and ParseCharCode (NumberBase.h).
    static QString CodeText(int16_t code, int16_t base);
    static std::optional<int16_t> ParseCode(const QString& text, int16_t base);

    int16_t Code(Box box) const { return codes_[box]; }

    QLabel* lblStartOfBlockChar;
    QLabel* lblEndOfBlockChar;
    QLabel* lblEndOfDataChar;
    QLineEdit* txtStartOfBlockChar;
    QLineEdit* txtEndOfBlockChar;
    QLineEdit* txtEndOfDataChar;
    QGroupBox* fraBase;
    std::array<QRadioButton*, 3> optBase{};
    QPushButton* cmdDefaults;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;
    QLabel* lblWarning;

public slots:
    void optBase_Click(int index);
    void txtStartOfBlockChar_LostFocus();
    void txtEndOfBlockChar_LostFocus();
    void txtEndOfDataChar_LostFocus();
    void cmdDefaults_Click();
    void cmdSave_Click();
    void cmdCancel_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void ShowCodes();
    // Takes the box's text as its code; a text that gives no code puts the code's text back.
    void ParseBox(Box box);
    // The box being edited has not lost the focus yet when a base button or Enter acts.
    void ParseFocusedBox();

    AppState& st;
    int16_t& DisplayBase;
    std::array<QLineEdit*, 3> boxes_{};
    std::array<int16_t, 3> codes_{};
    CharCodeValidator* validator_;
};

}  // namespace quillon
