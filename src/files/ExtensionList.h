#pragma once
// The list of file-name extensions that the extension dialogs edit (the data files' and the FTP
// window's): its selection, its default, Add (at most ten, no exact twin) and Delete.
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

namespace quillon {
namespace platform {
class Dialogs;
}

struct ExtensionList {
    static constexpr int kMaxEntries = 10;

    QListWidget* list;
    QLabel* defaultLabel;
    QPushButton* setDefault;
    QPushButton* remove;

    // The first selected row, -1 when none.
    int SelectedRow() const;
    // A selected row enables Delete and Set Default.
    void Click() const;
    void SetDefault() const;
    // Asks for an extension with `prompt`; entries are taken as typed.
    void Add(platform::Dialogs& dialogs, const QString& prompt) const;
    // Removes the selected entry; when it was the default, `allFiles` becomes the default.
    void Delete(const QString& allFiles) const;
};

}  // namespace quillon
