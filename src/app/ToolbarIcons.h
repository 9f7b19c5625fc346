#pragma once
// The images of the main window's toolbar buttons.
#include <QIcon>

class QAction;
class QStyle;
class QToolBar;

namespace quillon {

// The image of toolbar button `button` (1 to 18; a null icon for the separators): the desktop
// icon theme's image when it has one, else one of the style's standard images or one drawn
// here, so that every button can be told by its image alone on a machine without any theme.
QIcon ToolbarIcon(int button, const QStyle& style);

// Lays the buttons out for their captions shown (caption under the image) or hidden (the image
// alone); `keepsCaption`, whose caption stays while the others' are emptied, then shows it
// beside its image.
void SetToolbarCaptionStyle(QToolBar& toolbar, bool captionsShown, QAction* keepsCaption);

}  // namespace quillon
