#pragma once
#include <QListWidget>

namespace quillon {

// A list of one-line rows whose horizontal scroll range is set by its owner (the width of its
// widest row), so rows need not be measured one by one by the view.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);
    int HorizontalExtent() const { return horizontalExtent_; }
    void SetHorizontalExtent(int pixels);

private:
    int horizontalExtent_ = 0;
};

}  // namespace quillon
