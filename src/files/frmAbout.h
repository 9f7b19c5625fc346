#pragma once
// The About window: the program's name and version, the maker's contacts, System Info, and
// (a double click on the picture) the way into the Administration window.
#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

#include "app/AppState.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

namespace quillon {

// The maker's contacts, shown by the About and Technical Support windows.
inline constexpr const char* kSalesAddress = "sales@quillon.example.org";
inline constexpr const char* kSupportAddress = "support@quillon.example.org";
inline constexpr const char* kWebAddress = "https://quillon.example.org/";

// This program's version as built ("0.1.0").
QString ProgramVersion();
// "for HL7 v" with the major, minor and revision numbers of `version`: "1.9.0.3" (major, minor,
// build, revision) gives "for HL7 v1.9.3", "0.1.0" gives "for HL7 v0.1.0"; missing numbers
// count as 0.
QString VersionCaption(const QString& version);

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // `applyAdmin` brings switches changed in the Administration window into force.
    frmAbout(AppState& st, platform::Dialogs& dialogs, platform::Desktop& desktop,
             std::function<void()> applyAdmin, QWidget* parent = nullptr);

    // Starts the system information program; this system has none, so it says so.
    void StartSysInfo();

    QLabel* Image1;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblSales;
    QLabel* lblSupport;
    QLabel* lblWeb;
    QPlainTextEdit* txtNotice;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Image1_DblClick();
    QLabel* MakeLink(const QString& caption, const QString& text, const QString& target);

    AppState& st_;
    platform::Dialogs& dlg_;
    platform::Desktop& desktop_;
    std::function<void()> applyAdmin_;
    QHash<QObject*, QString> links_;  // label -> what a click opens
};

}  // namespace quillon
