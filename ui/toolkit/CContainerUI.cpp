#include "ui/toolkit/CContainerUI.h"

#include "ui/toolkit/CBoxLayoutUI.h"

#include <QPainter>

CContainerUI::CContainerUI(Qt::Orientation orientation)
    : QWidget(nullptr), CControlUI(this), layout_(new CBoxLayoutUI(orientation))
{
    setLayout(layout_);
}

CContainerUI::~CContainerUI()
{
    // Children go while this container is still whole, so their own clean-up may ask it things.
    RemoveAll();
}

std::wstring CContainerUI::GetClass() const
{
    return layout_->Orientation() == Qt::Horizontal ? L"HorizontalLayout" : L"Container";
}

bool CContainerUI::Add(CControlUI* control)
{
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (control == nullptr || control->GetWidget() == nullptr || control->GetWidget() == this)
        return false;
    layout_->InsertWidget(index, control->GetWidget());
    control->SetParentControl(this);
    ArrangeChildren();
    return true;
}

bool CContainerUI::Remove(CControlUI* control)
{
    return RemoveAt(GetItemIndex(control));
}

bool CContainerUI::RemoveAt(int index)
{
    CControlUI* control = GetItemAt(index);
    if (control == nullptr)
        return false;
    delete layout_->takeAt(index);
    delete control;
    ArrangeChildren();
    return true;
}

void CContainerUI::RemoveAll()
{
    while (layout_->count() > 0) {
        QLayoutItem* item = layout_->takeAt(layout_->count() - 1);
        QWidget* widget = item->widget();
        delete item;
        delete widget;
    }
}

int CContainerUI::GetCount() const
{
    return layout_->count();
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    QLayoutItem* item = layout_->itemAt(index);
    return item != nullptr ? dynamic_cast<CControlUI*>(item->widget()) : nullptr;
}

int CContainerUI::GetItemIndex(CControlUI* control) const
{
    if (control == nullptr || control->GetWidget() == nullptr)
        return -1;
    return layout_->IndexOfWidget(control->GetWidget());
}

void CContainerUI::SetInset(const UiRect& inset)
{
    layout_->setContentsMargins(inset.left, inset.top, inset.right, inset.bottom);
    ArrangeChildren();
}

UiRect CContainerUI::GetInset() const
{
    const QMargins m = layout_->contentsMargins();
    return UiRect{m.left(), m.top(), m.right(), m.bottom()};
}

void CContainerUI::SetChildPadding(int padding)
{
    layout_->SetChildPadding(padding);
    ArrangeChildren();
}

int CContainerUI::GetChildPadding() const
{
    return layout_->ChildPadding();
}

void CContainerUI::ArrangeChildren()
{
    layout_->setGeometry(rect());
    for (int i = 0; i < GetCount(); ++i) {
        if (auto* child = dynamic_cast<CContainerUI*>(GetItemAt(i)))
            child->ArrangeChildren();
    }
    update();
}

bool CContainerUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const QString v = QString::fromStdWString(value);
    if (name == L"inset") {
        UiRect inset;
        if (UiAttributes::ParseRect(v, inset))
            SetInset(inset);
        return true;
    }
    if (name == L"childpadding") {
        int padding = 0;
        if (UiAttributes::ParseInt(v, padding))
            SetChildPadding(padding);
        return true;
    }
    return CControlUI::SetAttribute(name, value);
}

void CContainerUI::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter, rect());
}

CBoxUI::CBoxUI()
    : QWidget(nullptr), CControlUI(this)
{
}

void CBoxUI::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter, rect());
}
