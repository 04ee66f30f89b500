#include "ui/CAboutAppDlg.h"

CAboutAppDlg::CAboutAppDlg() = default;
std::wstring CAboutAppDlg::GetWindowClassName() const { return L"CAboutAppDlg"; }
CAboutAppDlg::~CAboutAppDlg() = default;
void CAboutAppDlg::InitWindow() {}
void CAboutAppDlg::OnClick(TNotifyUI&) {}
std::wstring CAboutAppDlg::GetSkinFile() const { return L"AboutAppDlg.xml"; }
void CAboutAppDlg::ShowDialog() {}
