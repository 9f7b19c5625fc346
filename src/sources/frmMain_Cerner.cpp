// File > Open from Cerner...: log in, pick an interface and a time range, and load the messages
// of the engine's transaction log. The records change only once every row has been read.
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPointer>

#include "app/frmMain.h"
#include "editing/WindowText.h"
#include "platform/Dialogs.h"
#include "platform/Odbc.h"
#include "sources/CernerSource.h"
#include "sources/DatabaseMessages.h"
#include "sources/frmCernerInterfaces.h"
#include "sources/frmCernerLogin.h"

namespace quillon {

namespace {

void LetEventsRun()
{
    QCoreApplication::processEvents();
}

void Say(platform::Dialogs& dlg, const QString& text)
{
    dlg.MsgBox(text, platform::MsgButtons::OKOnly, platform::MsgIcon::None, QString());
}

QString NoMessagesText(const QString& interfaceName)
{
    return QStringLiteral("There are no HL7 messages in ") + interfaceName
           + QStringLiteral(" during that time frame.");
}

void ReportFailure(platform::Dialogs& dlg, const platform::OdbcError& e)
{
    Say(dlg, QStringLiteral("Error in mnuFileOpenCerner: Err = %1.  %2").arg(e.nativeCode).arg(e.text));
}

}  // namespace

void frmMain::mnuFileOpenCerner_Click()
{
    const ArrivalsHold arrivals(*this);
    CernerSession s;
    const std::unique_ptr<FtpPasswordStore> passwords = cerner::DesktopCernerPasswords(st.settings);
    platform::OdbcConnection db;
    for (;;) {
        s.LoginOK = false;
        {
            const ArrivalsAside aside(*this);
            frmCernerLogin login(st.settings, dlg, *passwords, s, this);
            login.exec();
        }
        LetEventsRun();
        if (!s.LoginOK)
            return;
        bool connected = false;
        {
            WaitCursor busy;
            LetEventsRun();
            connected = db.Connect(s.DataSource, s.UserID, s.Password);
        }
        LetEventsRun();
        if (connected)
            break;
        const platform::OdbcError& e = db.LastError();
        if (e.outcome == platform::OdbcOutcome::LogonRefused)
            dlg.MsgBox(QStringLiteral("Either your User ID, Password, or both are invalid."),
                       platform::MsgButtons::OKOnly, platform::MsgIcon::Critical,
                       QStringLiteral("Logon Denied"));
        else
            dlg.MsgBox(QStringLiteral("Error #%1 - %2").arg(e.nativeCode).arg(e.text),
                       platform::MsgButtons::OKOnly, platform::MsgIcon::Critical,
                       QStringLiteral("Error in Cerner"));
    }

    cerner::RememberLogin(st.settings, s.DataSource, s.UserID);
    // A password the store cannot keep is simply not kept; the load goes on.
    if (s.SavePassword)
        passwords->Write(s.DataSource, s.Password);

    for (;;) {
        std::vector<platform::OdbcRow> interfaces;
        if (!db.Query(cerner::kInterfaceQuery, {}, interfaces)) {
            ReportFailure(dlg, db.LastError());
            return;
        }
        s.PickerDone = false;
        s.PickerCancelled = false;
        QPointer<frmCernerInterfaces> picker = new frmCernerInterfaces(dlg, s, this);
        picker->show();
        for (const platform::OdbcRow& row : interfaces)
            picker->lstInterfaceName->addItem(
                cerner::InterfaceLine(QString::fromStdString(row.size() > 1 ? row[1] : std::string()),
                                      QString::fromStdString(row.empty() ? std::string() : row[0])));
        // Waits for OK, Cancel or the close box; a window that went away counts as Cancel.
        {
            const ArrivalsAside aside(*this);
            while (!s.PickerDone && picker && picker->isVisible())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (!picker || !s.PickerDone || s.PickerCancelled) {
            delete picker;
            return;
        }

        const cerner::InterfaceChoice choice =
            cerner::ParseInterfaceLine(picker->lstInterfaceName->currentItem()->text());
        const frmCernerInterfaces::Range range = picker->ChosenRange();
        const QString startBound =
            cerner::TxKeyBound(choice.number, range.startDate, range.startTime[0], range.startTime[1],
                               range.startTime[2]);
        const QString endBound = cerner::TxKeyBound(choice.number, range.endDate, range.endTime[0],
                                                    range.endTime[1], range.endTime[2]);
        const cerner::MessageQuery query = cerner::BuildMessageQuery(choice.idText, startBound, endBound);
        picker->txtSQL->setText(query.displayText);
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(query.displayText);
        LetEventsRun();
        delete picker;
        LetEventsRun();
        WaitCursor busy;
        LetEventsRun();

        Say(dlg, QStringLiteral("Executing the SQL statement ..."));
        // Every row is read before the records change, so a failure leaves them as they were.
        DatabaseMessages messages;
        const bool fetched = ReadMessages(db, query.statement, query.parameters, messages);
        if (!fetched) {
            busy.Restore();
            LetEventsRun();
            ReportFailure(dlg, db.LastError());
            return;
        }
        Say(dlg, QStringLiteral("SQL statement has been executed."));
        if (messages.Count() == 0) {
            busy.Restore();
            Say(dlg, NoMessagesText(choice.name));
            continue;
        }
        Say(dlg, QStringLiteral("Dim varArray() As Variant"));
        Say(dlg, QStringLiteral("varArray() = rs.GetRows"));
        Say(dlg, QStringLiteral("Erase records"));
        Say(dlg, QStringLiteral("ReDim sRecords"));
        db.Close();
        busy.Restore();
        ShowDatabaseRecords(std::move(messages), choice.name);
        return;
    }
}

}  // namespace quillon
