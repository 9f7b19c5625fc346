#include "app/ListBox.h"

#include <QStyledItemDelegate>

namespace quillon {

namespace {

// Every row is as wide as the list's horizontal extent and as high as one line of text.
class ExtentDelegate : public QStyledItemDelegate {
public:
    explicit ExtentDelegate(ListBox* list) : QStyledItemDelegate(list), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        const int height = option.fontMetrics.height() + 2;
        return QSize(list_->HorizontalExtent(), height);
    }

private:
    ListBox* list_;
};

}  // namespace

ListBox::ListBox(QWidget* parent) : QListWidget(parent)
{
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(new ExtentDelegate(this));
}

void ListBox::SetHorizontalExtent(int pixels)
{
    if (pixels == horizontalExtent_)
        return;
    horizontalExtent_ = pixels;
    scheduleDelayedItemsLayout();
}

}  // namespace quillon
