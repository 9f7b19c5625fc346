#pragma once
// Checks on the text of a real message or input box (TextAsGiven).
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>

#include "app/TextAsGiven.h"

namespace quillon::test {

// Every line of the text is in view: the lines fit the widget's width and height, and the widget
// lies inside its window.
inline ::testing::AssertionResult ShowsWholeText(const TextAsGiven& shown)
{
    const QSizeF lines = shown.document()->size();
    const QSize view = shown.viewport()->size();
    const QWidget* window = shown.window();
    const QRect place(shown.mapTo(window, QPoint(0, 0)), shown.size());
    if (!shown.isVisible() || lines.width() > view.width() || lines.height() > view.height()
        || !window->rect().contains(place))
        return ::testing::AssertionFailure()
               << "lines " << lines.width() << "x" << lines.height() << " in a view of "
               << view.width() << "x" << view.height() << " at " << place.x() << "," << place.y()
               << " in a window of " << window->width() << "x" << window->height();
    return ::testing::AssertionSuccess();
}

}  // namespace quillon::test
