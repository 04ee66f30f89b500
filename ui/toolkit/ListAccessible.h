#pragma once

#include <QAccessibleWidget>
#include <QObject>

#include <map>

class ListRowsView;

// A list's rows as assistive tools (screen readers) see them (toolkit internal): a table named as
// the view is, whose children are its column titles (ListHeaderCellAccessible) and then each
// row's cells (ListCellAccessible), read by the texts the list draws. The children are numbered
// as Qt's tree views number them in the focus and selection events they send: the header row
// first, shown or not, then row by row. Cells are made when first asked for and kept; once rows
// came or went, each is filed again under where its row stands now, and those whose row is gone
// go.
class ListAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ListAccessible(ListRowsView* view);
    ~ListAccessible() override;

    // For QAccessible::installFactory: this reading for a list's rows view, none for anything else.
    static QAccessibleInterface* Factory(const QString& className, QObject* object);

    QAccessible::Role role() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QAccessibleInterface* caption() const override;
    QAccessibleInterface* summary() const override;
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override;
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int column) override;
    bool unselectRow(int row) override;
    bool unselectColumn(int column) override;
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

private:
    ListRowsView* View() const;
    // The child that stands for a cell.
    int ChildIndex(int row, int column) const;
    void Refile() const;
    void Forget() const;

    mutable std::map<int, QAccessible::Id> children_;
    mutable bool moved_ = false;
    // Hears of the rows' changes whether or not a tool listens (Qt tells the table only then).
    QObject rowsWatch_;
};
