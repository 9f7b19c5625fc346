// The segment list's tooltip: the field under the mouse pointer, with its description and the
// meaning of its value.
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <cmath>

#include "app/frmMain.h"
#include "records/FieldDesignations.h"

namespace quillon {

namespace {

constexpr qsizetype kLongestLineWithTip = 10000;

bool IsHeaderSegment(const std::string& line)
{
    const std::string_view name = std::string_view(line).substr(0, 3);
    return name == "MSH" || name == "FHS" || name == "BHS";
}

}  // namespace

QString frmMain::SegmentToolTipAt(const QPoint& pos)
{
    ListBox* list = lstSegments;
    if (list->count() == 0)
        return {};
    const ListItem item = list->itemAt(pos);
    if (!item || item.Length() > kLongestLineWithTip)
        return {};
    const QString text = item->text();

    // The character under the pointer, counted from 1 within the whole line: the item's rectangle
    // moves with the horizontal scrolling, so the distance from its text start covers both.
    const QFontMetricsF metrics(list->font());
    const double drawn = metrics.horizontalAdvance(text);
    if (text.isEmpty() || !(drawn > 0))
        return {};
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const double x = pos.x() - list->visualItemRect(item).left() - margin;
    if (x < 0)
        return {};
    const qsizetype at = static_cast<qsizetype>(std::floor(x * text.size() / drawn)) + 1;
    if (at > text.size() || at <= 4)
        return {};

    // The segment's bytes, and the byte of the character under the pointer.
    const std::string line = SegmentRowBytes(item.Row());
    const auto p = static_cast<qsizetype>(ByteOffset(line, ShownRecordEncoding(), at - 1)) + 1;
    if (p > static_cast<qsizetype>(line.size()))
        return {};
    const Delimiters& d = st.delimiters;
    auto is = [](char c, const std::string& separator) {
        return !separator.empty() && c == separator.front();
    };
    int field = IsHeaderSegment(line) ? 1 : 0;
    int component = 0;
    for (qsizetype i = 4; i <= p; ++i) {
        const char c = line[static_cast<size_t>(i - 1)];
        if (is(c, d.FieldSeparator)) {
            ++field;
            component = 1;
        } else if (is(c, d.ComponentSeparator)) {
            ++component;
        } else if (is(c, d.RepetitionSeparator)) {
            component = 1;
        }
    }
    std::string designation =
        line.substr(0, 3) + "-" + std::to_string(field) + "-" + std::to_string(component);
    const std::string description = st.dictionary.ParseFieldDesignation(designation, true);
    int32_t start = 0;
    int32_t length = 0;
    const std::string value =
        WhatIsInField(line, designation, start, length, d, st.envelope.EndOfBlockChar);
    const std::string meaning = st.dictionary.LookupDataDesc(designation + "=" + value);

    std::string tip = designation;
    if (!description.empty())
        tip += " [" + description + "]";
    if (!meaning.empty())
        tip += " = " + meaning;
    return QString::fromLatin1(tip.data(), static_cast<qsizetype>(tip.size()));
}

bool frmMain::SegmentToolTipEvent(QEvent* event)
{
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = SegmentToolTipAt(help->pos());
    lstSegments->setToolTip(tip);
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, lstSegments->viewport());
    return true;
}

}  // namespace quillon
