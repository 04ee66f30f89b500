#include "ui/toolkit/Container.h"

#include "ui/toolkit/BoxLayout.h"

#include <QPainter>

Container::Container(Qt::Orientation orientation)
    : QWidget(nullptr), Control(this), layout_(new BoxLayout(orientation))
{
    setLayout(layout_);
}

Container::~Container()
{
    // Children go while this container is still whole, so their own clean-up may ask it things.
    RemoveAll();
}

std::wstring Container::GetClass() const
{
    return layout_->Orientation() == Qt::Horizontal ? L"HorizontalLayout" : L"Container";
}

bool Container::Add(Control* control)
{
    return AddAt(control, GetCount());
}

bool Container::AddAt(Control* control, int index)
{
    if (control == nullptr || control->GetWidget() == nullptr || control->GetWidget() == this)
        return false;
    layout_->InsertWidget(index, control->GetWidget());
    control->SetParentControl(this);
    ArrangeChildren();
    return true;
}

bool Container::Remove(Control* control)
{
    return RemoveAt(GetItemIndex(control));
}

bool Container::RemoveAt(int index)
{
    Control* control = GetItemAt(index);
    if (control == nullptr)
        return false;
    delete layout_->takeAt(index);
    delete control;
    ArrangeChildren();
    return true;
}

void Container::RemoveAll()
{
    while (layout_->count() > 0) {
        QLayoutItem* item = layout_->takeAt(layout_->count() - 1);
        QWidget* widget = item->widget();
        delete item;
        delete widget;
    }
}

int Container::GetCount() const
{
    return layout_->count();
}

Control* Container::GetItemAt(int index) const
{
    QLayoutItem* item = layout_->itemAt(index);
    return item != nullptr ? dynamic_cast<Control*>(item->widget()) : nullptr;
}

int Container::GetItemIndex(Control* control) const
{
    if (control == nullptr || control->GetWidget() == nullptr)
        return -1;
    return layout_->IndexOfWidget(control->GetWidget());
}

void Container::SetInset(const UiRect& inset)
{
    layout_->setContentsMargins(inset.left, inset.top, inset.right, inset.bottom);
    ArrangeChildren();
}

UiRect Container::GetInset() const
{
    const QMargins m = layout_->contentsMargins();
    return UiRect{m.left(), m.top(), m.right(), m.bottom()};
}

void Container::SetChildPadding(int padding)
{
    layout_->SetChildPadding(padding);
    ArrangeChildren();
}

int Container::GetChildPadding() const
{
    return layout_->ChildPadding();
}

void Container::ArrangeChildren()
{
    layout_->setGeometry(rect());
    for (int i = 0; i < GetCount(); ++i) {
        if (auto* child = dynamic_cast<Container*>(GetItemAt(i)))
            child->ArrangeChildren();
    }
    update();
}

bool Container::SetAttribute(const std::wstring& name, const std::wstring& value)
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
    return Control::SetAttribute(name, value);
}

void Container::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter, rect());
}

Box::Box()
    : QWidget(nullptr), Control(this)
{
}

void Box::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter, rect());
}
