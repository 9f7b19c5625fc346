#pragma once
// The program's settings: their names, defaults and reading rules in one place, over the
// per-user settings store. All live under the application name "Quillon", one section per
// setting with the value under key "0", except the grouped sections (ExportReports, the
// extension list).
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "app/AppState.h"
#include "platform/SettingsStore.h"

namespace quillon {

inline const QString kSettingsApp = QStringLiteral("Quillon");

// Reading rules. The writers of a setting differ ("True"/"False" here, "-1"/"0" from the
// logging window), so each setting is read by the rule that accepts what its writer writes.

// The display options' rule: the text in upper case is exactly "TRUE".
bool IsTrueText(const QString& text);
// The numeric value of the text's leading number ("12abc" is 12, "True" and "" are 0).
double LeadingNumber(const QString& text);
// The text as a truth value: "True"/"False" in any letter case, or a number (non-zero is
// true); nothing for other text.
std::optional<bool> TruthValue(const QString& text);
// The text as a number (blanks around it allowed) taken to the nearest whole number, a half
// going to the even neighbour; nothing when it is no number or leaves the 16-bit range.
std::optional<int16_t> WholeNumber16(const QString& text);
// How a size is written: with its fractions, no trailing zeros ("9.75", "10").
QString SizeText(double size);
inline QString TrueFalseText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// The eight display options, in the order they are loaded and saved.
enum DisplayOption {
    DisplayEmptyFields,
    DisplayFieldDescriptions,
    DisplayCompoundFields,
    PromptBeforeDeleting,
    UseMFUlist,
    DisplaySegmentDescriptions,
    DisplayButtonCaptions,
    DisplayToolbar,
    DisplayOptionCount
};

// The font of the record, segment and field lists.
struct ListFontSetting {
    QString name = QStringLiteral("Courier New");
    bool bold = false;
    bool italic = false;
    int16_t size = 10;
};

// Typed access to the store. Reads answer the default for a missing or unreadable value;
// writes answer whether the store's file took the value.
class Settings {
public:
    explicit Settings(platform::SettingsStore& store) : store_(store) {}

    static QString DisplayOptionName(DisplayOption option);
    static QString AdminSwitchName(AdminSwitch which);

    // Report font (section ExportReports).
    QString ReportFontName() const;
    int16_t ReportFontSize() const;

    // Trace log.
    bool LogTCPIP() const;
    bool LogMessage() const;
    bool LogMessageASCII() const;
    QString LogFilename() const;
    // Written as "-1" or "0".
    bool SetLogTCPIP(bool on);
    bool SetLogMessage(bool on);
    bool SetLogMessageASCII(bool on);
    bool SetLogFilename(const QString& pattern);

    // Envelope characters, stored as their decimal codes.
    char StartOfBlockChar() const;
    char EndOfBlockChar() const;
    char EndOfDataChar() const;
    bool SetStartOfBlockChar(char c);
    bool SetEndOfBlockChar(char c);
    bool SetEndOfDataChar(char c);

    // Folders and file-name extensions of the file dialogs.
    QString LastFileOpenPath(const QString& dataFolder) const;
    QString LastFileSavePath(const QString& dataFolder) const;
    bool SetLastFileOpenPath(const QString& folder);
    bool SetLastFileSavePath(const QString& folder);
    QString DefaultExtensions(int index) const;  // 0 to 9
    bool SetDefaultExtensions(int index, const QString& extension);
    QString DefaultExtension() const;
    bool SetDefaultExtension(const QString& extension);
    bool SetDefaultDataDir(const QString& folder);

    // Whether envelope characters frame records written to disk and sent by FTP.
    bool DiskUseEnvelope() const;
    bool FtpUseEnvelope() const;
    bool SetDiskUseEnvelope(bool on);
    bool SetFtpUseEnvelope(bool on);

    bool DisplayOptionOn(DisplayOption option) const;
    bool SetDisplayOption(DisplayOption option, bool on);

    ListFontSetting ListFont() const;
    // The size keeps its fractions.
    bool SetListFont(const QString& name, bool bold, bool italic, double size);

    bool AdminSwitchOn(AdminSwitch which) const;
    bool SetAdminSwitch(AdminSwitch which, bool on);

    // The default text editor: the marks of its Notepad, WordPad and Windows items, and the
    // editor command in force when they were last saved.
    bool ViewerUseNotepad() const;
    bool ViewerUseWordPad() const;
    bool ViewerWindowsDecides() const;
    QString ViewerUserSelected() const;
    bool SetViewerUseNotepad(bool on);
    bool SetViewerUseWordPad(bool on);
    bool SetViewerWindowsDecides(bool on);
    bool SetViewerUserSelected(const QString& editor);

private:
    QString Get(const QString& section, const QString& defaultValue,
                const QString& key = QStringLiteral("0")) const;
    bool Put(const QString& section, const QString& value,
             const QString& key = QStringLiteral("0"));
    bool TruthSetting(const QString& section, bool defaultValue) const;
    char CharSetting(const QString& section, char defaultValue) const;

    platform::SettingsStore& store_;
};

// Start-up's reading of the settings into the state: the report font, the trace-log switches
// and file-name pattern, the envelope characters, the last folders and extensions (applying
// and writing the first-run defaults when DefaultExtension is empty), and the envelope use on
// disk and by FTP.
void ReadStartupSettings(AppState& st);

}  // namespace quillon
