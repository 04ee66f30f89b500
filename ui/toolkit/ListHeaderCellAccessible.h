#pragma once

#include <QAccessible>
#include <QPointer>

class ListRowsView;

// One column title of a list as assistive tools see it (toolkit internal): read by its text, the
// header of every cell of its column.
class ListHeaderCellAccessible final : public QAccessibleInterface {
public:
    ListHeaderCellAccessible(ListRowsView* view, int column);

    int Column() const { return column_; }

    bool isValid() const override;
    QObject* object() const override;
    QWindow* window() const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString& text) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;

private:
    QPointer<ListRowsView> view_;
    int column_;
};
