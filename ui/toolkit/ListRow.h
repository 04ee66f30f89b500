#pragma once

#include "ui/toolkit/Control.h"

#include <string>
#include <vector>

class ListControl;

// One row of a ListControl. Its cells ask the list's text callback for their text, or, without a
// callback, show the texts set on the element. It has no widget of its own: its rectangle is
// its row's in the list.
class ListRow : public Control {
public:
    ListRow();
    std::wstring GetClass() const override { return L"ListTextElement"; }

    ListControl* GetOwner() const;
    // The element's row, or -1 when it is in no list.
    int GetIndex() const;

    // The text of a cell: what the list's callback gives now, or the element's own text.
    std::wstring GetText(int column);
    void SetText(int column, const std::wstring& text);
    // Column 0.
    std::wstring GetText() const override;
    void SetText(const std::wstring& text) override;

    bool IsSelected() const;
    bool Select(bool takeFocus = false);

    UiRect GetPos() const override;
    void Invalidate() override;

    // Sends a notification from this row to the window (used by its list).
    void SendNotifyFromList(const wchar_t* type) { SendNotify(type); }
    void SendNotifyFromList(Notification& message) { SendNotify(message); }

private:
    std::vector<std::wstring> texts_;
};
