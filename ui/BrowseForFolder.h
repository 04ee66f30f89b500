#pragma once

#include <string>

class WindowBase;

// Asks the user for a folder with the desktop's folder chooser, over `owner` (may be null),
// titled `title` ("选择一个文件夹" when empty). Returns the chosen folder's path, or an empty
// string when the user cancels or the choice is not a local folder. Modal; UI thread.
std::wstring BrowseForFolder(WindowBase* owner, const std::wstring& title);
