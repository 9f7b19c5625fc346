// The options the main window keeps in the settings store: the display options (as the check
// marks of their menu items), the font of the three lists and the administration switches.
#include <QFont>

#include "app/Settings.h"
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

    // SetMenuAndToolbarState() goes here: the menus and toolbar follow the switches just read.

    // QFont keeps the stored family even when it is not installed (the lists then show the
    // closest fixed-pitch font), so SaveOptions writes back what the user chose.
    QFont font(listFont.name);
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(listFont.bold);
    font.setItalic(listFont.italic);
    font.setPointSize(listFont.size);
    for (QListWidget* list : {lstRecords, lstSegments, lstFields})
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

}  // namespace quillon
