#pragma once
#include <QWidget>
#include <cstdint>

class QAction;

namespace quillon {

// 0 when `window` is not among the program's open windows, else its place counted from 1.
int16_t IsFormLoaded(const QWidget* window);

// Stops drawing of one window while it is rebuilt; one window at a time.
void LockWindowRedraw(QWidget* window);
void UnlockWindowRedraw();

// Centres the window on its screen without changing its size; a window larger than the screen
// gets negative edges.
void CenterForm(QWidget* window);

// A menu item that names a file, a view or a report: the name shows as it is ("R&D.hl7" with
// its "&", not as a shortcut mark) and NameOfItem gives it back unchanged.
void SetItemName(QAction* item, const QString& name);
QString NameOfItem(const QAction* item);

}  // namespace quillon
