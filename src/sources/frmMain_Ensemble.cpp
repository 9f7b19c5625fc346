// File > Open from Ensemble...: the picker, the fetch of one interface's messages, and their
// display in place of the records.
#include <QApplication>
#include <QDate>
#include <QEventLoop>

#include "app/Settings.h"
#include "app/frmMain.h"
#include "editing/WindowText.h"
#include "sources/frmEnsembleInterfaces.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::OdbcOutcome;

void frmMain::mnuOpenFromEnsemble_Click()
{
    const ArrivalsHold arrivals(*this);
    if (waitingForEnsemble_) {
        // A load already waits for the picker: bring it forward.
        if (EnsemblePicker) {
            EnsemblePicker->raise();
            EnsemblePicker->activateWindow();
        }
        return;
    }
    waitingForEnsemble_ = true;
    struct Leave {
        bool& waiting;
        ~Leave() { waiting = false; }
    } leave{waitingForEnsemble_};
    const auto unloadPicker = [this] { delete EnsemblePicker.data(); };

    for (;;) {
        Ensemble.EnsemblePickerDone = false;
        Ensemble.EnsemblePickerCancelled = false;
        if (!EnsemblePicker)
            EnsemblePicker = new frmEnsembleInterfaces(Ensemble, dlg, this);
        EnsemblePicker->show();
        EnsemblePicker->raise();
        EnsemblePicker->activateWindow();
        if (!exiting_) {
            const ArrivalsAside aside(*this);
            QEventLoop loop;
            connect(EnsemblePicker, &frmEnsembleInterfaces::Done, &loop, &QEventLoop::quit);
            connect(EnsemblePicker, &QObject::destroyed, &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (exiting_ || !EnsemblePicker || !Ensemble.EnsemblePickerDone
            || Ensemble.EnsemblePickerCancelled) {
            unloadPicker();
            return;
        }

        const QString name = EnsemblePicker->InterfaceName();
        const EnsembleBounds bounds = EnsemblePicker->Bounds(QDate::currentDate());
        const EnsembleBusinessType type = EnsembleTypeOf(Ensemble);
        if (type == EnsembleBusinessType::None) {
            dlg.MsgBox(kEnsembleNoTypeText, MsgButtons::OKOnly, MsgIcon::Exclamation,
                       kEnsembleNoTypeTitle);
            return;
        }

        // Every row and every long message is read before the records are touched, so a
        // failure leaves the loaded records and the display as they were.
        EnsembleFetch fetch;
        {
            const WaitCursor wait;
            for (int i = 0; i < 4; ++i)
                QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            fetch = FetchEnsembleMessages(Ensemble.EnsembleDSN, type, name, bounds);
        }
        if (fetch.result == EnsembleFetch::Result::NoRows) {
            dlg.MsgBox(EnsembleNoMessagesText(name), MsgButtons::OKOnly, MsgIcon::None,
                       kSettingsApp);
            continue;
        }
        if (fetch.result == EnsembleFetch::Result::Failed) {
            switch (fetch.error.outcome) {
            case OdbcOutcome::CannotConnect:
                dlg.MsgBox(kEnsembleCannotConnectText, MsgButtons::OKOnly, MsgIcon::None,
                           kSettingsApp);
                continue;  // back to the picker, which keeps the choices
            case OdbcOutcome::LogonRefused:
                dlg.MsgBox(EnsembleLogonRefusedText(Ensemble.EnsembleDSN), MsgButtons::OKOnly,
                           MsgIcon::None, kSettingsApp);
                return;
            default:
                dlg.MsgBox(EnsembleLoadErrorText(fetch.error), MsgButtons::OKOnly, MsgIcon::None,
                           kSettingsApp);
                return;
            }
        }

        unloadPicker();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const WaitCursor wait;
        ShowDatabaseRecords(std::move(fetch.messages), name);
        return;
    }
}

}  // namespace quillon
