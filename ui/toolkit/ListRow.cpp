#include "ui/toolkit/ListRow.h"

#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/ListTextSource.h"

ListRow::ListRow()
    : Control(nullptr)
{
}

ListControl* ListRow::GetOwner() const
{
    return dynamic_cast<ListControl*>(GetParent());
}

int ListRow::GetIndex() const
{
    ListControl* owner = GetOwner();
    return owner != nullptr ? owner->GetItemIndex(const_cast<ListRow*>(this)) : -1;
}

std::wstring ListRow::GetText(int column)
{
    ListControl* owner = GetOwner();
    ListTextSource* callback = owner != nullptr ? owner->GetTextCallback() : nullptr;
    if (callback != nullptr) {
        const wchar_t* text = callback->GetItemText(this, GetIndex(), column);
        return text != nullptr ? std::wstring(text) : std::wstring();
    }
    return column >= 0 && column < static_cast<int>(texts_.size()) ? texts_[static_cast<size_t>(column)]
                                                                   : std::wstring();
}

void ListRow::SetText(int column, const std::wstring& text)
{
    if (column < 0)
        return;
    if (texts_.size() <= static_cast<size_t>(column))
        texts_.resize(static_cast<size_t>(column) + 1);
    texts_[static_cast<size_t>(column)] = text;
    Invalidate();
}

std::wstring ListRow::GetText() const
{
    return texts_.empty() ? std::wstring() : texts_[0];
}

void ListRow::SetText(const std::wstring& text)
{
    SetText(0, text);
}

bool ListRow::IsSelected() const
{
    ListControl* owner = GetOwner();
    return owner != nullptr && owner->GetCurSel() == GetIndex() && GetIndex() >= 0;
}

bool ListRow::Select(bool takeFocus)
{
    ListControl* owner = GetOwner();
    return owner != nullptr && owner->SelectItem(GetIndex(), takeFocus);
}

UiRect ListRow::GetPos() const
{
    ListControl* owner = GetOwner();
    return owner != nullptr ? owner->GetRowRect(GetIndex()) : UiRect{};
}

void ListRow::Invalidate()
{
    if (ListControl* owner = GetOwner())
        owner->Invalidate();
}
