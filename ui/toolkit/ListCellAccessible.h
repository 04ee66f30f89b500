#pragma once

#include <QAccessible>
#include <QPersistentModelIndex>
#include <QPointer>

class ListRowsView;

// One cell of a list's rows as assistive tools see it (toolkit internal): read by its text, its
// tooltip as the description when it says more, selected with its row. Its actions: "SetFocus" selects the row
// with the keyboard focus; "Press", offered when the list says the cell acts on a press, presses
// it as the left button would. It follows its row while rows come and go before it, and is no
// longer valid once the row is gone.
class ListCellAccessible final : public QAccessibleInterface,
                                 public QAccessibleTableCellInterface,
                                 public QAccessibleActionInterface {
public:
    ListCellAccessible(ListRowsView* view, const QModelIndex& index);

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
    void* interface_cast(QAccessible::InterfaceType type) override;

    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    int columnIndex() const override;
    int rowIndex() const override;
    int columnExtent() const override;
    int rowExtent() const override;
    QAccessibleInterface* table() const override;

    QStringList actionNames() const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

private:
    QPointer<ListRowsView> view_;
    QPersistentModelIndex index_;
};
