#include "ui/toolkit/CListTextElementUI.h"

#include "ui/toolkit/CListUI.h"
#include "ui/toolkit/IListCallbackUI.h"

CListTextElementUI::CListTextElementUI()
    : CControlUI(nullptr)
{
}

CListUI* CListTextElementUI::GetOwner() const
{
    return dynamic_cast<CListUI*>(GetParent());
}

int CListTextElementUI::GetIndex() const
{
    CListUI* owner = GetOwner();
    return owner != nullptr ? owner->GetItemIndex(const_cast<CListTextElementUI*>(this)) : -1;
}

std::wstring CListTextElementUI::GetText(int column)
{
    CListUI* owner = GetOwner();
    IListCallbackUI* callback = owner != nullptr ? owner->GetTextCallback() : nullptr;
    if (callback != nullptr) {
        const wchar_t* text = callback->GetItemText(this, GetIndex(), column);
        return text != nullptr ? std::wstring(text) : std::wstring();
    }
    return column >= 0 && column < static_cast<int>(texts_.size()) ? texts_[static_cast<size_t>(column)]
                                                                   : std::wstring();
}

void CListTextElementUI::SetText(int column, const std::wstring& text)
{
    if (column < 0)
        return;
    if (texts_.size() <= static_cast<size_t>(column))
        texts_.resize(static_cast<size_t>(column) + 1);
    texts_[static_cast<size_t>(column)] = text;
    Invalidate();
}

std::wstring CListTextElementUI::GetText() const
{
    return texts_.empty() ? std::wstring() : texts_[0];
}

void CListTextElementUI::SetText(const std::wstring& text)
{
    SetText(0, text);
}

bool CListTextElementUI::IsSelected() const
{
    CListUI* owner = GetOwner();
    return owner != nullptr && owner->GetCurSel() == GetIndex() && GetIndex() >= 0;
}

bool CListTextElementUI::Select(bool takeFocus)
{
    CListUI* owner = GetOwner();
    return owner != nullptr && owner->SelectItem(GetIndex(), takeFocus);
}

UiRect CListTextElementUI::GetPos() const
{
    CListUI* owner = GetOwner();
    return owner != nullptr ? owner->GetRowRect(GetIndex()) : UiRect{};
}

void CListTextElementUI::Invalidate()
{
    if (CListUI* owner = GetOwner())
        owner->Invalidate();
}
