#pragma once

class QDialog;
class QWidget;

// The modal loops of the program's dialogs and the windows closed while one of them runs.
//
// A dialog run modally usually lives on its caller's stack, as a child of a window, and the
// caller goes on using that window's controls once the loop returns. A window closed meanwhile
// (a termination signal, a required update, the application's exit) must therefore not be
// destroyed under the loop: its dialogs are rejected at once, so their loops return as if
// cancelled, and the window itself is deleted only after the last modal loop has returned and
// the event loop has regained control. UI thread only.
class ModalLoop {
public:
    // Runs `dialog` modally and returns its result (QDialog::Rejected when it was closed for
    // its window's sake).
    static int Exec(QDialog& dialog);
    static bool IsRunning();
    // Deletes a closed window from the event loop: at once when no modal loop runs, else once
    // the last one has returned. The dialogs over it are rejected now.
    static void DeleteWindowLater(QWidget* window);
};
