#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <set>

class QMenu;
class QPoint;
class QWidget;

// The context menu of a playlist row: "停止", "停止全部" (every file being recognised), "重新识别",
// "复制文本", "打开所在文件夹", "导出字幕" (SRT), "导出字幕 (WebVTT)", in that order; what does not
// apply to the row is disabled. It pops up without a
// loop of its own, so the window under it may close while it is open (a signal, an update):
// the menu then goes with it and nothing is chosen. UI thread.
class RowMenu {
    Q_DECLARE_TR_FUNCTIONS(RowMenu)

public:
    enum Action { Stop, StopAll, Retry, CopyText, OpenFolder, ExportSubtitles, ExportWebVtt, ActionCount };

    // Shows the menu at `global` (screen coordinates) over `owner`, which owns it until it
    // closes. `chosen` runs with the action the user picks, once the menu is gone.
    static QMenu* Popup(QWidget* owner, const QPoint& global, const std::set<Action>& enabled,
                        std::function<void(Action)> chosen);
    // The action's text in the user's language.
    static QString Text(Action action);
};
