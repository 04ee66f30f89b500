#pragma once

#include <string>

class Control;

// Supplies the text of a list's cells on demand, so the row elements hold no row data of their
// own. The returned text must stay valid after the call, until the next call for the same
// element (keeping it in the element's user data string does that).
class ListTextSource {
public:
    virtual const wchar_t* GetItemText(Control* element, int row, int column) = 0;
    // The tooltip of a cell (the pointer resting on it); none by default.
    virtual std::wstring GetItemToolTip(Control* element, int row, int column);

protected:
    ~ListTextSource() = default;
};

inline std::wstring ListTextSource::GetItemToolTip(Control*, int, int)
{
    return std::wstring();
}
