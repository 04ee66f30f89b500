#pragma once

#include <QLayout>
#include <QList>

// The Qt layout behind VerticalLayout and HorizontalLayout. Along its direction each
// visible child gets its fixed size, or, when it has none, an equal share of what the fixed
// children, the paddings and the child spacing leave. Across, a child takes its fixed size or
// the whole depth, less its padding. The layout's contents margins are the container's inset.
class BoxLayout final : public QLayout {
public:
    explicit BoxLayout(Qt::Orientation orientation);
    ~BoxLayout() override;

    void InsertWidget(int index, QWidget* widget);
    int IndexOfWidget(QWidget* widget) const;
    void SetChildPadding(int padding);
    int ChildPadding() const { return childPadding_; }
    Qt::Orientation Orientation() const { return orientation_; }

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    void setGeometry(const QRect& rect) override;

private:
    Qt::Orientation orientation_;
    int childPadding_ = 0;
    QList<QLayoutItem*> items_;
};
