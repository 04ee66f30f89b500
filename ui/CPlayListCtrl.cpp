#include "ui/CPlayListCtrl.h"

#include "engine/CAudioSegment.h"

#include <QDropEvent>

CPlayListCtrl::CPlayListCtrl()
{
    SetTextCallback(this);
}

CPlayListCtrl::~CPlayListCtrl() = default;

void CPlayListCtrl::AddFiles() {}
void CPlayListCtrl::AddItem(const std::wstring&) {}
int CPlayListCtrl::AddPaths(const std::vector<std::wstring>&) { return 0; }
std::wstring CPlayListCtrl::GetItemFile(int) { return {}; }
int CPlayListCtrl::GetItemDuration(int) { return 0; }
int CPlayListCtrl::GetItemStatus(int) { return -1; }
bool CPlayListCtrl::SetItemRecognizing(int) { return false; }
void CPlayListCtrl::UpdateItemStatus(const std::vector<CAudioSegment*>&) {}
void CPlayListCtrl::TickElapsed() {}
const wchar_t* CPlayListCtrl::GetItemText(CControlUI*, int, int) { return L"unknown"; }
bool CPlayListCtrl::RemoveAt(int index) { return CListUI::RemoveAt(index); }
bool CPlayListCtrl::Remove(CControlUI* element) { return CListUI::Remove(element); }
void CPlayListCtrl::RemoveAll() { CListUI::RemoveAll(); }
bool CPlayListCtrl::HitTestColumn(CControlUI*, int, int, bool) { return false; }
void CPlayListCtrl::dragEnterEvent(QDragEnterEvent* event) { CListUI::dragEnterEvent(event); }
void CPlayListCtrl::dragMoveEvent(QDragMoveEvent* event) { CListUI::dragMoveEvent(event); }
void CPlayListCtrl::dropEvent(QDropEvent* event) { CListUI::dropEvent(event); }
