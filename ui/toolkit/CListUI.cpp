#include "ui/toolkit/CListUI.h"

#include "ui/toolkit/CListHeaderUI.h"
#include "ui/toolkit/CListTextElementUI.h"
#include "ui/toolkit/CListViewUI.h"
#include "ui/toolkit/CWindowWidget.h"
#include "ui/toolkit/IListCallbackUI.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

CListUI::CListUI()
    : QWidget(nullptr), CControlUI(this), model_(new CListModelUI(this)), view_(new CListViewUI(this)),
      header_(new CListHeaderUI(this))
{
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
        if (CControlUI* element = GetItemAt(index.row()))
            static_cast<CListTextElementUI*>(element)->SendNotifyFromList(kNotifyItemClick);
    });
    QObject::connect(view_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (CControlUI* element = GetItemAt(index.row()))
            static_cast<CListTextElementUI*>(element)->SendNotifyFromList(kNotifyItemActivate);
    });
    PlaceView();
}

CListUI::~CListUI()
{
    // A subclass that answered the callback is already gone.
    callback_ = nullptr;
    quiet_ = true;
    QSignalBlocker block(view_->selectionModel());
    model_->BeginReset();
    elements_.clear();
    model_->EndReset();
}

void CListUI::SetTextCallback(IListCallbackUI* callback)
{
    callback_ = callback;
    Invalidate();
}

bool CListUI::Add(CControlUI* element)
{
    return AddAt(element, GetCount());
}

bool CListUI::AddAt(CControlUI* element, int index)
{
    auto* text = dynamic_cast<CListTextElementUI*>(element);
    if (text == nullptr || text->GetParent() != nullptr || index < 0 || index > GetCount())
        return false;
    model_->BeginInsert(index);
    elements_.insert(elements_.begin() + index, std::unique_ptr<CListTextElementUI>(text));
    text->SetParentControl(this);
    model_->EndInsert();
    return true;
}

bool CListUI::Remove(CControlUI* element)
{
    const int index = GetItemIndex(element);
    return index >= 0 && RemoveAt(index);
}

bool CListUI::RemoveAt(int index)
{
    if (index < 0 || index >= GetCount())
        return false;
    const int selected = GetCurSel();
    std::unique_ptr<CListTextElementUI> removed;
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

void CListUI::RemoveAll()
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

CControlUI* CListUI::GetItemAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return elements_[static_cast<size_t>(index)].get();
}

int CListUI::GetItemIndex(CControlUI* element) const
{
    for (size_t i = 0; i < elements_.size(); ++i) {
        if (elements_[i].get() == element)
            return static_cast<int>(i);
    }
    return -1;
}

int CListUI::GetCurSel() const
{
    const QModelIndex current = view_->selectionModel()->currentIndex();
    if (!current.isValid() || !view_->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return -1;
    return current.row();
}

bool CListUI::SelectItem(int index, bool takeFocus)
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

void CListUI::EnsureVisible(int index)
{
    if (index >= 0 && index < GetCount())
        view_->scrollTo(model_->index(index, 0));
}

void CListUI::SetItemTextPadding(const UiRect& padding)
{
    items_.textPadding = padding;
    Invalidate();
}

UiRect CListUI::GetRowRect(int index) const
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

CControlUI* CListUI::GetItemAtPoint(int x, int y) const
{
    QWidget* viewport = view_->viewport();
    const QPoint local = viewport->mapFrom(window(), QPoint(x, y));
    if (!viewport->rect().contains(local))
        return nullptr;
    return GetItemAt(view_->indexAt(local).row());
}

void CListUI::Invalidate()
{
    view_->viewport()->update();
    update();
}

bool CListUI::SetAttribute(const std::wstring& name, const std::wstring& value)
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
        if (CWindowWidget* window = GetWindowWidget(); on && window != nullptr && window->ScrollBarStyle() != nullptr)
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
        return CControlUI::SetAttribute(name, value);
    }
    Invalidate();
    return true;
}

std::wstring CListUI::CellText(int row, int column)
{
    CControlUI* element = GetItemAt(row);
    if (element == nullptr)
        return std::wstring();
    return static_cast<CListTextElementUI*>(element)->GetText(column);
}

void CListUI::SetEmptyText(const std::wstring& text)
{
    emptyText_ = text;
    Invalidate();
}

void CListUI::SetDropHighlight(bool on)
{
    if (dropHighlight_ == on)
        return;
    dropHighlight_ = on;
    Invalidate();
}

void CListUI::OnContextMenu(int row, const QPoint& atViewport)
{
    CControlUI* element = GetItemAt(row);
    if (element == nullptr)
        return;
    if (GetCurSel() != row)
        SelectItem(row, false);
    TNotifyUI message;
    message.type = kNotifyMenu;
    message.row = row;
    message.point = view_->viewport()->mapTo(window(), atViewport);
    static_cast<CListTextElementUI*>(element)->SendNotifyFromList(message);
}

void CListUI::OnRowPressed(int row, int column, const QPoint& atViewport)
{
    CControlUI* element = GetItemAt(row);
    if (element == nullptr)
        return;
    TNotifyUI message;
    message.type = kNotifyItemPress;
    message.row = row;
    message.column = column;
    message.point = view_->viewport()->mapTo(window(), atViewport);
    static_cast<CListTextElementUI*>(element)->SendNotifyFromList(message);
}

void CListUI::NotifySelect(int row, int previous)
{
    TNotifyUI message;
    message.type = kNotifyItemSelect;
    message.row = row;
    message.previousRow = previous;
    SendNotify(message);
}

void CListUI::OnColumnsChanged()
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

void CListUI::ApplyStyle()
{
    CControlUI::ApplyStyle();
    QPalette colours = view_->palette();
    colours.setColor(QPalette::Base, style_.bkColor.isValid() ? style_.bkColor : QColor(Qt::transparent));
    view_->setPalette(colours);
}

void CListUI::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter, rect());
}

void CListUI::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceView();
}

void CListUI::PlaceView()
{
    view_->setGeometry(rect().adjusted(inset_.left, inset_.top, -inset_.right, -inset_.bottom));
}

void CListUI::OnCurrentRowChanged(int current, int previous)
{
    if (quiet_)
        return;
    view_->viewport()->update();
    NotifySelect(current, previous);
}
