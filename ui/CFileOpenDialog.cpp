#include "ui/CFileOpenDialog.h"

CFileOpenDialog::CFileOpenDialog() = default;
CFileOpenDialog::~CFileOpenDialog() = default;
void CFileOpenDialog::SetOwner(QWidget* widget) { owner = widget; }
void CFileOpenDialog::SetTitle(const std::wstring& text) { title = text; }
bool CFileOpenDialog::AddFilter(const std::wstring&, const std::wstring&) { return false; }
void CFileOpenDialog::SetFlags(unsigned value) { flags = value; }
void CFileOpenDialog::SetBufferSize(size_t) {}
bool CFileOpenDialog::DoModal() { return false; }
bool CFileOpenDialog::GetNextPathName(std::wstring&) { return false; }
void CFileOpenDialog::SetResult(const std::vector<std::wstring>&) {}
