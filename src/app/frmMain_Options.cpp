// The options the main window keeps in the settings store: the display options (as the check
// marks of their menu items), the font of the three lists and the administration switches.
#include <QFont>
#include <QScrollBar>

#include "files/frmFileExtAndLocations.h"

#include "app/Layout.h"
#include "app/Settings.h"
#include "app/ToolbarIcons.h"
#include "app/WindowUtility.h"
#include "app/frmMain.h"

namespace quillon {

namespace {

// The menu item of each display option, in the order they are loaded and saved.
std::array<QAction*, DisplayOptionCount> DisplayOptionItems(const frmMain& w)
{
    return {w.mnuOptionsDisplayEmptyFields,
            w.mnuOptionsDisplayFieldDescriptions,
            w.mnuOptionsDisplayCompoundFields,
            w.mnuOptionsPromptBeforeDeleting,
            w.mnuOptionsUseMFU,
            w.mnuOptionsDisplaySegmentDescriptions,
            w.mnuOptionsDisplayButtonCaptions,
            w.mnuOptionsDisplayToolbar};
}

}  // namespace

void frmMain::LoadOptions()
{
    const Settings settings(st.settings);
    const auto items = DisplayOptionItems(*this);
    for (int i = 0; i < DisplayOptionCount; ++i)
        items[static_cast<size_t>(i)]->setChecked(
            settings.DisplayOptionOn(static_cast<DisplayOption>(i)));

    const ListFontSetting listFont = settings.ListFont();

    for (int i = 0; i < AdminSwitchCount; ++i)
        st.session.AdminSwitches[static_cast<size_t>(i)] =
            settings.AdminSwitchOn(static_cast<AdminSwitch>(i));

    SetMenuAndToolbarState();

    mnuOptionsDiskEnvelopeCharsYes->setChecked(st.options.DiskUseEnvelope);
    mnuOptionsDiskEnvelopeCharsNo->setChecked(!st.options.DiskUseEnvelope);
    mnuOptionsFTPEnvelopeCharsYes->setChecked(st.options.FtpUseEnvelope);
    mnuOptionsFTPEnvelopeCharsNo->setChecked(!st.options.FtpUseEnvelope);

    // QFont keeps the stored family even when it is not installed (the lists then show the
    // closest fixed-pitch font), so SaveOptions writes back what the user chose.
    QFont font(listFont.name);
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(listFont.bold);
    font.setItalic(listFont.italic);
    font.setPointSize(listFont.size);
    for (ListBox* list : {lstRecords, lstSegments, lstFields})
        list->setFont(font);
}

void frmMain::SaveOptions()
{
    Settings settings(st.settings);
    const auto items = DisplayOptionItems(*this);
    for (int i = 0; i < DisplayOptionCount; ++i)
        settings.SetDisplayOption(static_cast<DisplayOption>(i),
                                  items[static_cast<size_t>(i)]->isChecked());

    settings.SetLastFileOpenPath(st.options.LastFileOpenPath);
    settings.SetLastFileSavePath(st.options.LastFileSavePath);

    const QFont font = lstRecords->font();
    settings.SetListFont(font.family(), font.bold(), font.italic(), font.pointSizeF());

    for (int i = 0; i < AdminSwitchCount; ++i)
        settings.SetAdminSwitch(static_cast<AdminSwitch>(i),
                                st.session.AdminSwitches[static_cast<size_t>(i)]);
}

namespace {

int TopLine(const ListBox* list)
{
    return list->count() == 0 ? -1 : list->indexAt(QPoint(1, 1)).row();
}

void SetTopLine(ListBox* list, int row)
{
    if (row >= 0 && row < list->count())
        list->scrollToItem(list->item(row), QAbstractItemView::PositionAtTop);
}

// The field-list line the compound and empty-field toggles keep in view: the top line (or the
// next one when the top line is blank), cut to its designation when longer than 3 characters.
QString TopLineKey(const ListBox* list)
{
    int top = TopLine(list);
    if (top < 0)
        return {};
    QString key = list->item(top)->text();
    if (key.trimmed().isEmpty() && top + 1 < list->count())
        key = list->item(top + 1)->text();
    if (key.size() > 3) {
        const qsizetype blank = key.indexOf(QLatin1Char(' '));
        if (blank >= 0)
            key = key.left(blank);
    }
    return key;
}

// The first line whose start passes `matches`, or -1.
template <typename Match>
int FirstLine(const ListBox* list, Match matches)
{
    for (int i = 0; i < list->count(); ++i)
        if (matches(list->item(i)->text()))
            return i;
    return -1;
}

}  // namespace

void frmMain::mnuOptionsDisplayFieldDescriptions_Click()
{
    mnuOptionsDisplayFieldDescriptions->setChecked(!mnuOptionsDisplayFieldDescriptions->isChecked());
    if (lstRecords->count() >= 1) {
        const int top = TopLine(lstFields);
        lstRecords_Click();
        SetTopLine(lstFields, top);
    }
}

void frmMain::mnuOptionsDisplaySegmentDescriptions_Click()
{
    mnuOptionsDisplaySegmentDescriptions->setChecked(
        !mnuOptionsDisplaySegmentDescriptions->isChecked());
    const int selected = lstFields->currentRow();
    if (lstRecords->count() >= 1)
        lstRecords_Click();
    if (selected >= 0 && selected < lstFields->count())
        lstFields->setCurrentRow(selected);
}

namespace {

// After a field-list toggle: refills the lists and brings the field that was on top back to the
// top (the first line starting with its designation or, with `orSegment`, the first line of its
// segment when the field is gone).
void RefillKeepingTopField(frmMain& w, bool orSegment)
{
    ListBox* fields = w.lstFields;
    const QString key = TopLineKey(fields);
    if (w.lstRecords->count() < 1)
        return;
    w.lstRecords_Click();
    if (key.isEmpty())
        return;
    int line = FirstLine(fields, [&](const QString& t) { return t.startsWith(key); });
    if (line < 0 && orSegment) {
        const QString segment = key.left(3);
        line = FirstLine(fields, [&](const QString& t) { return t.left(3) == segment; });
    }
    SetTopLine(fields, line);
}

}  // namespace

void frmMain::mnuOptionsDisplayCompoundFields_Click()
{
    mnuOptionsDisplayCompoundFields->setChecked(!mnuOptionsDisplayCompoundFields->isChecked());
    RefillKeepingTopField(*this, false);
}

void frmMain::mnuOptionsDisplayEmptyFields_Click()
{
    mnuOptionsDisplayEmptyFields->setChecked(!mnuOptionsDisplayEmptyFields->isChecked());
    RefillKeepingTopField(*this, true);
}

void frmMain::mnuOptionsDisplayButtonCaptions_Click()
{
    mnuOptionsDisplayButtonCaptions->setChecked(!mnuOptionsDisplayButtonCaptions->isChecked());
    if (!mnuOptionsDisplayButtonCaptions->isChecked()) {
        for (int b = 1; b <= 16; ++b)
            if (QAction* button = tbarButtons[static_cast<size_t>(b)])
                button->setText(QString());
    } else {
        static const std::pair<int, const char*> captions[] = {
            {1, "New"},     {2, "Open"},    {3, "Save"},    {4, "Print"},
            {6, "Undo"},    {8, "FTP Get"}, {9, "FTP Put"}, {10, "TCP/IP"},
            {12, "Filter"}, {13, "Rec(s)"}, {15, "Report"}, {16, "View"}};
        for (const auto& [b, caption] : captions)
            tbarButtons[static_cast<size_t>(b)]->setText(QLatin1String(caption));
    }
    SetToolbarCaptionStyle(*tbarTools, mnuOptionsDisplayButtonCaptions->isChecked(),
                           tbarButtons[18]);
    ResizeForm();
}

void frmMain::mnuOptionsDisplayToolbar_Click()
{
    mnuOptionsDisplayToolbar->setChecked(!mnuOptionsDisplayToolbar->isChecked());
    const bool shown = mnuOptionsDisplayToolbar->isChecked();
    tbarTools->setVisible(shown);
    tbarTools->setEnabled(shown);
    constexpr double kToolbarWidth = 8850;  // twips
    if (shown && PixelsToTwips(frameGeometry().width()) < kToolbarWidth)
        resize(TwipsToPixels(kToolbarWidth) - (frameGeometry().width() - width()), height());
    SetTopsForToolbar(shown);
    ResizeForm();
}

void frmMain::mnuOptionsPromptBeforeDeleting_Click()
{
    mnuOptionsPromptBeforeDeleting->setChecked(!mnuOptionsPromptBeforeDeleting->isChecked());
}

void frmMain::mnuOptionsUseMFU_Click()
{
    mnuOptionsUseMFU->setChecked(!mnuOptionsUseMFU->isChecked());
    // Either way the list is emptied; an emptied entry never opens anything, so it stays hidden
    // (with its separator) until a file takes it again.
    for (int i = 0; i <= MRUCount && i < static_cast<int>(mnuMRU.size()); ++i) {
        SetItemName(mnuMRU[static_cast<size_t>(i)], QString());
        mnuMRU[static_cast<size_t>(i)]->setVisible(false);
    }
    mnuDash2->setVisible(false);
    MRUCount = -1;
    for (int key = 0; key <= 4; ++key)
        st.settings.Save(kSettingsApp, QStringLiteral("MRUFiles"), QString::number(key), QString());
}

void frmMain::mnuOptionsSelectFont_Click()
{
    const QFont current = lstRecords->font();
    const platform::FontChoice preset{current.family(), current.bold(), current.italic(),
                                      current.pointSizeF()};
    const platform::FontChoice chosen = dlg.FontDialog(preset).value_or(preset);
    QFont font(chosen.name);
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(chosen.bold);
    font.setItalic(chosen.italic);
    if (chosen.size > 0)
        font.setPointSizeF(chosen.size);
    for (ListBox* list : {lstRecords, lstSegments, lstFields})
        list->setFont(font);
    ResizeForm();
    if (lstRecords->count() >= 1) {
        const int row = lstRecords->currentRow();
        lstRecords_Click();
        if (row >= 0) {
            const QSignalBlocker block(lstRecords);
            lstRecords->item(row)->setSelected(true);
        }
    }
}

void frmMain::mnuOptionsDiskEnvelopeChars_Click(bool use)
{
    st.options.DiskUseEnvelope = use;
    mnuOptionsDiskEnvelopeCharsYes->setChecked(use);
    mnuOptionsDiskEnvelopeCharsNo->setChecked(!use);
    Settings(st.settings).SetDiskUseEnvelope(use);
}

void frmMain::mnuOptionsFTPEnvelopeChars_Click(bool use)
{
    st.options.FtpUseEnvelope = use;
    mnuOptionsFTPEnvelopeCharsYes->setChecked(use);
    mnuOptionsFTPEnvelopeCharsNo->setChecked(!use);
    Settings(st.settings).SetFtpUseEnvelope(use);
}

void frmMain::mnuOptionsFileExtAndLocations_Click()
{
    frmFileExtAndLocations window(st, dlg, this);
    window.exec();
}

}  // namespace quillon
