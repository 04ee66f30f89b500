#include "ui/toolkit/ListControl.h"

#include "ui/toolkit/ListAccessible.h"
#include "ui/toolkit/ListHeader.h"
#include "ui/toolkit/ListRow.h"
#include "ui/toolkit/ListRowsView.h"
#include "ui/toolkit/WindowWidget.h"
#include "ui/toolkit/ListTextSource.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

ListControl::ListControl()
    : QWidget(nullptr), Control(this), model_(new ListRowsModel(this)), view_(new ListRowsView(this)),
      header_(new ListHeader(this))
{
    // Qt's own reading of a tree view knows nothing of cells that act when pressed. The toolkit
    // installs this with its set-up; a list made outside a window needs it too.
    QAccessible::installFactory(&ListAccessible::Factory);
    model_->setParent(this);
    view_->setParent(this);
    view_->setModel(model_);
    view_->setHeader(header_);
    header_->ApplyColumnWidths();
    QObject::connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                     [this](const QModelIndex& current, const QModelIndex& previous) {
                         OnCurrentRowChanged(current.isValid() ? current.row() : -1,
                                             previous.isValid() ? previous.row() : -1);
                     });
    QObject::connect(view_, &QAbstractItemView::pressed, this, [this](const QModelIndex& index) {
        if (Control* element = GetItemAt(index.row()))
            static_cast<ListRow*>(element)->SendNotifyFromList(kNotifyItemClick);
    });
    QObject::connect(view_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (Control* element = GetItemAt(index.row()))
            static_cast<ListRow*>(element)->SendNotifyFromList(kNotifyItemActivate);
    });
    PlaceView();
}

ListControl::~ListControl()
{
    // A subclass that answered the callback is already gone.
    callback_ = nullptr;
    quiet_ = true;
    QSignalBlocker block(view_->selectionModel());
    model_->BeginReset();
    elements_.clear();
    model_->EndReset();
}

void ListControl::SetTextCallback(ListTextSource* callback)
{
    callback_ = callback;
    Invalidate();
}

bool ListControl::Add(Control* element)
{
    return AddAt(element, GetCount());
}

bool ListControl::AddAt(Control* element, int index)
{
    auto* text = dynamic_cast<ListRow*>(element);
    if (text == nullptr || text->GetParent() != nullptr || index < 0 || index > GetCount())
        return false;
    model_->BeginInsert(index);
    elements_.insert(elements_.begin() + index, std::unique_ptr<ListRow>(text));
    text->SetParentControl(this);
    model_->EndInsert();
    return true;
}

bool ListControl::Remove(Control* element)
{
    const int index = GetItemIndex(element);
    return index >= 0 && RemoveAt(index);
}

bool ListControl::RemoveAt(int index)
{
    if (index < 0 || index >= GetCount())
        return false;
    const int selected = GetCurSel();
    std::unique_ptr<ListRow> removed;
    {
        // The selection is settled below, once the row is gone, so no one is told about a list
        // that is half way through the change.
        QSignalBlocker block(view_->selectionModel());
        model_->BeginRemove(index, index);
        removed = std::move(elements_[static_cast<size_t>(index)]);
        elements_.erase(elements_.begin() + index);
        model_->EndRemove();
        if (selected == index) {
            view_->selectionModel()->clear();
        } else if (selected > index) {
            view_->selectionModel()->setCurrentIndex(model_->index(selected - 1, 0),
                                                     QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
        }
    }
    removed.reset();
    view_->viewport()->update();
    if (selected == index)
        NotifySelect(-1, selected);
    return true;
}

void ListControl::RemoveAll()
{
    const int selected = GetCurSel();
    {
        QSignalBlocker block(view_->selectionModel());
        model_->BeginReset();
        elements_.clear();
        model_->EndReset();
        view_->selectionModel()->clear();
    }
    header_->ApplyColumnWidths();
    if (selected >= 0)
        NotifySelect(-1, selected);
}

Control* ListControl::GetItemAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return elements_[static_cast<size_t>(index)].get();
}

int ListControl::GetItemIndex(Control* element) const
{
    for (size_t i = 0; i < elements_.size(); ++i) {
        if (elements_[i].get() == element)
            return static_cast<int>(i);
    }
    return -1;
}

int ListControl::GetCurSel() const
{
    const QModelIndex current = view_->selectionModel()->currentIndex();
    if (!current.isValid() || !view_->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return -1;
    return current.row();
}

bool ListControl::SelectItem(int index, bool takeFocus)
{
    if (index < -1 || index >= GetCount())
        return false;
    if (index == GetCurSel()) {
        if (takeFocus)
            view_->setFocus();
        return true;
    }
    if (index == -1) {
        const int previous = GetCurSel();
        {
            QSignalBlocker block(view_->selectionModel());
            view_->selectionModel()->clear();
        }
        view_->viewport()->update();
        NotifySelect(-1, previous);
        return true;
    }
    const QModelIndex target = model_->index(index, 0);
    view_->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(target);
    if (takeFocus)
        view_->setFocus();
    return true;
}

void ListControl::EnsureVisible(int index)
{
    if (index >= 0 && index < GetCount())
        view_->scrollTo(model_->index(index, 0));
}

void ListControl::SetItemTextPadding(const UiRect& padding)
{
    items_.textPadding = padding;
    Invalidate();
}

UiRect ListControl::GetRowRect(int index) const
{
    if (index < 0 || index >= GetCount())
        return UiRect{};
    const QRect cell = view_->visualRect(model_->index(index, 0));
    if (!cell.isValid())
        return UiRect{};
    QWidget* viewport = view_->viewport();
    const QPoint origin = viewport->mapTo(window(), QPoint(0, cell.top()));
    return UiRect{origin.x(), origin.y(), origin.x() + viewport->width(), origin.y() + cell.height()};
}

Control* ListControl::GetItemAtPoint(int x, int y) const
{
    QWidget* viewport = view_->viewport();
    const QPoint local = viewport->mapFrom(window(), QPoint(x, y));
    if (!viewport->rect().contains(local))
        return nullptr;
    return GetItemAt(view_->indexAt(local).row());
}

void ListControl::Invalidate()
{
    view_->viewport()->update();
    update();
}

bool ListControl::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    using namespace UiAttributes;
    const QString v = QString::fromStdWString(value);
    int number = 0;
    UiRect rect;
    if (name == L"inset") {
        if (ParseRect(v, rect)) {
            inset_ = rect;
            PlaceView();
        }
    } else if (name == L"vscrollbar") {
        const bool on = ParseBool(v);
        view_->setVerticalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        if (WindowWidget* window = GetWindowWidget(); on && window != nullptr && window->ScrollBarStyle() != nullptr)
            view_->verticalScrollBar()->setStyle(window->ScrollBarStyle());
    } else if (name == L"header") {
        header_->setVisible(v.compare(QLatin1String("hidden"), Qt::CaseInsensitive) != 0);
    } else if (name == L"itemheight") {
        if (ParseInt(v, number) && number > 0) {
            items_.height = number;
            view_->doItemsLayout();
        }
    } else if (name == L"itemfont") {
        ParseInt(v, items_.font);
    } else if (name == L"itemtextcolor") {
        ParseColor(v, items_.textColor);
    } else if (name == L"itemselectedtextcolor") {
        ParseColor(v, items_.selectedTextColor);
    } else if (name == L"itemhottextcolor") {
        ParseColor(v, items_.hotTextColor);
    } else if (name == L"itembkcolor") {
        ParseColor(v, items_.bkColor);
    } else if (name == L"itemaltbkcolor") {
        ParseColor(v, items_.altBkColor);
    } else if (name == L"itemaltbk") {
        items_.altBk = ParseBool(v);
    } else if (name == L"itemselectedbkcolor") {
        ParseColor(v, items_.selectedBkColor);
    } else if (name == L"itemhotbkcolor") {
        ParseColor(v, items_.hotBkColor);
    } else if (name == L"itemalign") {
        ParseAlign(v, items_.align);
    } else if (name == L"itemtextpadding") {
        ParseRect(v, items_.textPadding);
    } else if (name == L"itemendellipsis") {
        items_.endEllipsis = ParseBool(v);
    } else if (name == L"emptytext") {
        emptyText_ = value;
    } else {
        return Control::SetAttribute(name, value);
    }
    Invalidate();
    return true;
}

std::wstring ListControl::CellText(int row, int column)
{
    Control* element = GetItemAt(row);
    if (element == nullptr)
        return std::wstring();
    return static_cast<ListRow*>(element)->GetText(column);
}

std::wstring ListControl::CellToolTip(int row, int column)
{
    Control* element = GetItemAt(row);
    if (element == nullptr || callback_ == nullptr)
        return std::wstring();
    return callback_->GetItemToolTip(element, row, column);
}

QString ListControl::FitCellText(int, const QString& text, const QFontMetrics& metrics, int width) const
{
    return items_.endEllipsis ? metrics.elidedText(text, Qt::ElideRight, width) : text;
}

bool ListControl::IsCellPressable(int, int) const
{
    return false;
}

bool ListControl::PressCell(int row, int column)
{
    if (GetItemAt(row) == nullptr || !IsCellPressable(row, column))
        return false;
    const QModelIndex index = model_->index(row, column);
    // Scrolled into view first: the press lands where a sighted helper sees it.
    view_->scrollTo(index);
    OnRowPressed(row, column, view_->visualRect(index).center());
    return true;
}

void ListControl::SetAccessibleName(const std::wstring& name)
{
    // The rows' view takes the keyboard focus and stands for the list; the frame around it is
    // only a frame.
    view_->setAccessibleName(QString::fromStdWString(name));
}

void ListControl::SetEmptyText(const std::wstring& text)
{
    emptyText_ = text;
    Invalidate();
}

void ListControl::SetDropHighlight(bool on)
{
    if (dropHighlight_ == on)
        return;
    dropHighlight_ = on;
    Invalidate();
}

void ListControl::OnContextMenu(int row, const QPoint& atViewport)
{
    Control* element = GetItemAt(row);
    if (element == nullptr)
        return;
    if (GetCurSel() != row)
        SelectItem(row, false);
    Notification message;
    message.type = kNotifyMenu;
    message.row = row;
    message.point = view_->viewport()->mapTo(window(), atViewport);
    static_cast<ListRow*>(element)->SendNotifyFromList(message);
}

void ListControl::OnRowPressed(int row, int column, const QPoint& atViewport)
{
    Control* element = GetItemAt(row);
    if (element == nullptr)
        return;
    Notification message;
    message.type = kNotifyItemPress;
    message.row = row;
    message.column = column;
    message.point = view_->viewport()->mapTo(window(), atViewport);
    static_cast<ListRow*>(element)->SendNotifyFromList(message);
}

void ListControl::NotifySelect(int row, int previous)
{
    Notification message;
    message.type = kNotifyItemSelect;
    message.row = row;
    message.previousRow = previous;
    SendNotify(message);
}

void ListControl::OnColumnsChanged()
{
    const int selected = GetCurSel();
    {
        QSignalBlocker block(view_->selectionModel());
        model_->BeginReset();
        model_->EndReset();
        if (selected >= 0)
            view_->selectionModel()->setCurrentIndex(model_->index(selected, 0), QItemSelectionModel::ClearAndSelect |
                                                                                      QItemSelectionModel::Rows);
    }
    header_->ApplyColumnWidths();
    view_->updateGeometry();
}

void ListControl::ApplyStyle()
{
    Control::ApplyStyle();
    QPalette colours = view_->palette();
    colours.setColor(QPalette::Base, style_.bkColor.isValid() ? style_.bkColor : QColor(Qt::transparent));
    view_->setPalette(colours);
}

void ListControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter, rect());
}

void ListControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceView();
}

void ListControl::PlaceView()
{
    view_->setGeometry(rect().adjusted(inset_.left, inset_.top, -inset_.right, -inset_.bottom));
}

void ListControl::OnCurrentRowChanged(int current, int previous)
{
    if (quiet_)
        return;
    view_->viewport()->update();
    NotifySelect(current, previous);
}
