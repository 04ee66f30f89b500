#pragma once

// The UI toolkit: a thin layer over Qt Widgets for skinned windows built from XML layout files
// kept in a zip archive.
//
// In brief:
// - UiToolkit (this file): process-wide services. The diagnostic hook, the skin archive the
//   layouts and images are read from, the message loop and its end, the desktop's opener. A
//   QApplication must exist before any window is created.
// - WindowBase (WindowBase.h): the base of every window. A subclass names its class and its
//   layout file and overrides the hooks it needs: InitWindow (after the layout is built),
//   Notify / OnClick (notifications from controls), CreateControl (element classes the toolkit
//   does not know), OnKeyPress (keys the focused control leaves alone), OnDesktopClose (the
//   desktop's close, which a window may question) and OnFinalMessage (after the window is
//   destroyed). Work for a window from another thread goes through the Qt event loop
//   (QMetaObject::invokeMethod with Qt::QueuedConnection), guarded against the window's end.
// - Controls (Control and subclasses): found by name with a type check through
//   WindowBase::FindControl<T>.
//   Container / VerticalLayout / HorizontalLayout, Label, TextLabel, Button,
//   TextPane, ListControl with ListHeader, ListRow and ListTextSource; the input controls
//   Edit, CheckBox, Option and ComboBox.
// - LayoutBuilder (LayoutBuilder.h): the layout file format and what each element means.
// - ModalLoop (ModalLoop.h): modal dialogs run through it, so a window closed while one
//   is open goes only after the dialog's loop has returned.

#include <QByteArray>
#include <QFont>
#include <QPixmap>

#include <cstddef>
#include <string>

namespace UiToolkit {

// Receives each diagnostic of the toolkit (a layout file, image or archive that cannot be
// loaded, an element name the toolkit does not know) as one UTF-8 text ending in a line feed.
// Without a hook the diagnostics go to the log as warnings.
using DiagnosticHook = void (*)(const std::string& message);
void SetDiagnosticHook(DiagnosticHook hook);
// Hands `text` (a line feed is added) to the hook. Any thread.
void Diagnose(const std::string& text);

// The zip archive the layouts and images are read from. The memory is used in place and must
// stay valid until the archive is released or replaced (the embedded archive is static data).
// A buffer that is not a readable zip archive is refused with a diagnostic.
bool SetSkinArchive(const void* data, size_t size);
// The same, except that the archive is opened when the first file is read from it (or when
// HasSkinArchive asks), and a buffer that is not a readable zip archive is refused, with its
// diagnostic, only then: a program can map its first window before the zip library is loaded.
void SetSkinArchiveOnFirstRead(const void* data, size_t size);
// Forgets the archive and every image decoded from it.
void ReleaseSkinArchive();
bool HasSkinArchive();

// The bytes of one file of the archive, named in UTF-8; false (and a diagnostic) when there is no
// archive or the file is missing or unreadable.
bool ReadSkinFile(const std::string& name, QByteArray& content);
// A decoded image of the archive, cached until the archive is released. A null pixmap (and a
// diagnostic, once per name) when it cannot be loaded. UI thread.
QPixmap GetImage(const std::wstring& name);

// A font for a face name as layouts give it. "微软雅黑" asks for "Microsoft YaHei"; every face
// falls back to "WenQuanYi Micro Hei", so Chinese text always finds its glyphs. Sizes are pixels.
QFont MakeFont(const std::wstring& face, int pixelSize, bool bold, bool underline, bool italic);

// Runs the message loop until PostQuitMessage; returns its exit code.
int MessageLoop();
// Ends the message loop with `exitCode` once the events already queued have been handled.
void PostQuitMessage(int exitCode);

// Opens a web address, or a local file or folder, with the desktop's opener.
bool ShellOpen(const std::wstring& target);

// Process-wide settings every window relies on; called by WindowBase::Create, callable again.
void EnsureInitialized();

}  // namespace UiToolkit
