#pragma once

#include <cstddef>
#include <string>
#include <vector>

class QWidget;

// A thin wrapper over the desktop's open-file dialog: owner, title, filter, flags and the result.
// The filter is given as pairs of description and pattern list ("*.mp3;*.wav"); the chosen
// paths come back one by one in the order the dialog returned them.
class OpenFilesDialog {
public:
    // Flags.
    static constexpr unsigned kAllowMultiSelect = 0x0200;
    static constexpr unsigned kHideReadOnly = 0x0004;
    static constexpr unsigned kNoChangeDir = 0x0008;
    static constexpr unsigned kExplorer = 0x00080000;

    // The built-in result size and the limit used when a requested size cannot be honoured.
    static constexpr size_t kDefaultBufferChars = 1024;
    static constexpr size_t kFallbackBufferChars = 260;
    // The most filter characters kept (descriptions and patterns with their separators).
    static constexpr size_t kMaxFilterChars = 511;

    OpenFilesDialog();
    ~OpenFilesDialog();
    OpenFilesDialog(const OpenFilesDialog&) = delete;
    OpenFilesDialog& operator=(const OpenFilesDialog&) = delete;

    void SetOwner(QWidget* owner);
    void SetTitle(const std::wstring& title);
    // Adds one description and its patterns; false when the filter would grow beyond
    // kMaxFilterChars (nothing is added then).
    bool AddFilter(const std::wstring& description, const std::wstring& patterns);
    void SetFlags(unsigned flags);
    // The most characters the chosen paths may take together (each path plus one separator).
    // Above kDefaultBufferChars the size is used as asked; anything else uses the built-in
    // size of kFallbackBufferChars.
    void SetBufferSize(size_t chars);
    size_t GetBufferSize() const { return bufferChars; }

    // Shows the dialog modally; false when cancelled or nothing was chosen. Choices beyond the
    // result size are dropped (logged), keeping the earlier ones.
    bool DoModal();

    // The chosen paths, one at a time, in the dialog's order: true and the next path, or false
    // once all were handed out.
    bool GetNextPathName(std::wstring& path);
    const std::vector<std::wstring>& GetPathNames() const { return paths; }

    // For tests and for callers with their own chooser: takes these paths as the dialog's
    // result, under the same size rule as DoModal.
    void SetResult(const std::vector<std::wstring>& chosen);

private:
    QWidget* owner = nullptr;
    std::wstring title;
    std::vector<std::pair<std::wstring, std::wstring>> filters;
    size_t filterChars = 0;
    unsigned flags = kExplorer;
    size_t bufferChars = kDefaultBufferChars;
    std::vector<std::wstring> paths;
    size_t nextPath = 0;
};
