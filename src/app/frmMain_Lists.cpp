// How the three lists answer the mouse and the keyboard: the list in use, Ctrl+C, Ctrl+F, "/",
// Delete, Ctrl+Shift+Home/End, double clicks and the pop-up menus.
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <algorithm>

#include "app/frmMain.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

// Routes the events of a list and of its viewport (which gets the mouse) to the window.
class ListEventFilter : public QObject {
public:
    ListEventFilter(frmMain& w, ListBox* list) : QObject(list), w_(w), list_(list)
    {
        setObjectName(Name());
    }
    static QString Name() { return QStringLiteral("listEventFilter"); }

protected:
    bool eventFilter(QObject*, QEvent* event) override { return w_.ListEvent(list_, event); }

private:
    frmMain& w_;
    ListBox* list_;
};

const QString kCtrlF = QStringLiteral("\tCtrl+F");

}  // namespace

void frmMain::ConnectListEvents()
{
    for (ListBox* list : {lstRecords, lstSegments, lstFields}) {
        auto* filter = new ListEventFilter(*this, list);
        list->installEventFilter(filter);
        list->viewport()->installEventFilter(filter);
    }
    // Ctrl+F from anywhere in the window: the find item that carries the shortcut text.
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        if (mnuEditFindInRecordList->text().contains(QLatin1String("Ctrl+F")))
            mnuEditFindInRecordList_Click();
        else
            mnuEditFindInFieldList_Click();
    });
}

void frmMain::DisconnectListEvents()
{
    for (ListBox* list : {lstRecords, lstSegments, lstFields})
        qDeleteAll(list->findChildren<QObject*>(ListEventFilter::Name(), Qt::FindDirectChildrenOnly));
}

bool frmMain::ListEvent(ListBox* list, QEvent* event)
{
    const QString name = list->objectName();
    switch (event->type()) {
    case QEvent::ToolTip:
        return list == lstSegments && SegmentToolTipEvent(event);
    case QEvent::MouseButtonPress:
        SetFocusToList(name);
        return false;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::RightButton || list->count() == 0)
            return false;
        QMenu* menu = list == lstRecords ? mnuRecordList
                      : list == lstSegments ? mnuSegmentList
                                            : mnuFieldList;
        if (list == lstFields) {
            const ListItem current = lstFields->currentItem();
            const bool enable = !lstFields->selectedItems().isEmpty() && current
                                && !current->text().trimmed().isEmpty();
            for (QAction* a : {mnuFieldListEdit, mnuFieldListLockFieldLocation, mnuFieldListCopy,
                               mnuFieldListUniqueValues, mnuFieldListFilterByThisField,
                               mnuFieldListCreateView})
                a->setEnabled(enable);
        }
        menu->popup(QCursor::pos());
        return false;
    }
    case QEvent::MouseButtonDblClick:
        if (list == lstRecords)
            QMetaObject::invokeMethod(this, &frmMain::mnuRecordListEdit_Click, Qt::QueuedConnection);
        else if (list == lstFields)
            QMetaObject::invokeMethod(this, &frmMain::mnuFieldListEdit_Click, Qt::QueuedConnection);
        return false;
    case QEvent::FocusIn:
        if (list == lstRecords) {
            mnuEditFindInRecordList->setText(QStringLiteral("Find in &Record List...") + kCtrlF);
            mnuEditFindInFieldList->setText(QStringLiteral("Find in &Field List..."));
        } else if (list == lstFields) {
            mnuEditFindInFieldList->setText(QStringLiteral("Find in &Field List...") + kCtrlF);
            mnuEditFindInRecordList->setText(QStringLiteral("Find in &Record List..."));
        }
        return false;
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
            listKeyDown_ = key->key();
            listKeyDownModifiers_ = key->modifiers();
        }
        // Ctrl+C copies the list in use (the one last clicked), whichever list has the focus;
        // the list's own copy of its current row does not run.
        if (key->key() == Qt::Key_C && key->modifiers() == Qt::ControlModifier) {
            if (st.session.FocusedListName == QLatin1String("lstRecords"))
                CopySelectedLines(lstRecords);
            else if (st.session.FocusedListName == QLatin1String("lstSegments"))
                CopySelectedLines(lstSegments);
            else if (st.session.FocusedListName == QLatin1String("lstFields"))
                CopySelectedLines(lstFields);
            return true;
        }
        if (key->text() == QLatin1String("/") && list != lstSegments) {
            if (list == lstRecords)
                mnuRecordListFind_Click();
            else
                mnuFieldListFind_Click();
            return true;
        }
        return false;
    }
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat())
            return false;
        // The shift state is the one the key went down with: Ctrl and Shift may well be let go
        // before the key itself.
        const Qt::KeyboardModifiers held = key->key() == listKeyDown_ ? listKeyDownModifiers_
                                                                       : key->modifiers();
        const Qt::KeyboardModifiers mods =
            held & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (key->key() == Qt::Key_Delete) {
            if (list == lstRecords)
                mnuRecordListDelete_Click();
            else if (list == lstSegments)
                mnuSegmentListDelete_Click();
            return false;
        }
        if (list == lstRecords && mods == (Qt::ShiftModifier | Qt::ControlModifier)
            && (key->key() == Qt::Key_Home || key->key() == Qt::Key_End)
            && !lstRecords->selectedItems().isEmpty()) {
            (key->key() == Qt::Key_Home ? mnuCtrlShiftHome : mnuCtrlShiftHomeEnd)
                ->popup(QCursor::pos());
            return false;
        }
        if (list != lstRecords && key->key() == Qt::Key_C && mods == Qt::ControlModifier)
            CopySelectedLines(list);
        return false;
    }
    default:
        return false;
    }
}

void frmMain::SetFocusToList(const QString& listName)
{
    const bool printable = lstRecords->count() >= 1 && !st.session.AdminSwitches[AdminPrint];
    tbarButtons[4]->setEnabled(printable);
    if (printable && mnuOptionsDisplayButtonCaptions->isChecked()) {
        if (listName == QLatin1String("lstRecords")) {
            tbarButtons[4]->setText(QStringLiteral("Rec(s)"));
            tbarButtons[13]->setText(QStringLiteral("Rec(s)"));
        } else if (listName == QLatin1String("lstSegments")) {
            tbarButtons[4]->setText(QStringLiteral("Seg(s)"));
            tbarButtons[13]->setText(QStringLiteral("Rec(s)"));
        } else if (listName == QLatin1String("lstFields")) {
            tbarButtons[4]->setText(QStringLiteral("Field(s)"));
            tbarButtons[13]->setText(QStringLiteral("Field(s)"));
        } else {
            dlg.MsgBox(QStringLiteral("Unexpected case in SetFocusToList of ") + listName,
                       MsgButtons::OKOnly, MsgIcon::None, QStringLiteral("Quillon"));
        }
    }
    st.session.FocusedListName = listName;
}

void frmMain::CopySelectedLines(ListBox* list)
{
    QModelIndexList rows = list->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        const bool records = list == lstRecords;
        const bool segments = list == lstSegments;
        dlg.MsgBox(records    ? QStringLiteral("There are no records selected to copy.")
                   : segments ? QStringLiteral("There are no segments selected to copy.")
                              : QStringLiteral("There are no fields selected to copy."),
                   MsgButtons::OKOnly, MsgIcon::Information,
                   records    ? QStringLiteral("No Records Selected")
                   : segments ? QStringLiteral("No Segments Selected")
                              : QStringLiteral("No Fields Selected"));
        return;
    }
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& row : rows) {
        text += list->item(row.row())->text();
        text += QLatin1String("\r\n");
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

}  // namespace quillon
