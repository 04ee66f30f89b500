#include "ui/RowMenu.h"

#include <QAction>
#include <QMenu>
#include <QPoint>
#include <QTimer>

QString RowMenu::Text(Action action)
{
    switch (action) {
    case Stop:
        return tr("停止");
    case StopAll:
        return tr("停止全部");
    case Retry:
        return tr("重新识别");
    case CopyText:
        return tr("复制文本");
    case OpenFolder:
        return tr("打开所在文件夹");
    case ExportSubtitles:
        return tr("导出字幕");
    case ExportWebVtt:
        return tr("导出字幕 (WebVTT)");
    default:
        return {};
    }
}

QMenu* RowMenu::Popup(QWidget* owner, const QPoint& global, const std::set<Action>& enabled,
                      std::function<void(Action)> chosen)
{
    auto* menu = new QMenu(owner);
    menu->setObjectName(QStringLiteral("RowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (int each = 0; each < ActionCount; ++each) {
        const auto action = static_cast<Action>(each);
        QAction* item = menu->addAction(Text(action));
        item->setEnabled(enabled.count(action) != 0);
        // Run once the menu has closed: an action may open a folder chooser or a message box,
        // which must not sit under a popup that still grabs the input.
        QObject::connect(item, &QAction::triggered, menu, [menu, action, chosen] {
            QTimer::singleShot(0, menu->parent(), [action, chosen] { chosen(action); });
        });
    }
    menu->popup(global);
    return menu;
}
