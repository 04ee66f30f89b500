#pragma once

// What the playlist tests share: a window layout holding the playlist the way the main window
// does, the message boxes open now, and the log entries of one test.
#include "base/AppPaths.h"
#include "support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>
#include <QByteArray>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

namespace PlayListFixture {

// The playlist as the main window lays it out, with a text inset so the cell tests see it.
inline const char* const kLayout = R"(<Window size="800,400">
  <Font id="0" name="微软雅黑" size="12" default="true"/>
  <Font id="1" name="微软雅黑" size="14"/>
  <VerticalLayout bkcolor="#FFF0F0F0">
    <Label name="top" height="30"/>
    <CPlayListCtrl name="playList" bkcolor="#FFFFFFFF" bordersize="1" bordercolor="#FF9CC4EA" inset="1,1,1,1"
                   vscrollbar="true" itemheight="30" itemtextpadding="4,3,6,5" itemalign="center" itemendellipsis="true">
      <ListHeader height="24" font="1">
        <ListHeaderItem text="文件"/>
        <ListHeaderItem text="时间" width="100"/>
        <ListHeaderItem text="类型" width="60"/>
        <ListHeaderItem text="进度" width="80"/>
        <ListHeaderItem text="用时" width="80"/>
        <ListHeaderItem text="操作" width="80"/>
        <ListHeaderItem text="删除" width="80"/>
      </ListHeader>
    </CPlayListCtrl>
  </VerticalLayout>
</Window>)";

// The test skin: the layout above plus the message box the poor-audio warning uses, taken from
// the program's own skin.
inline std::map<std::string, std::string> TestSkinFiles()
{
    std::map<std::string, std::string> files{{"test.xml", kLayout}};
    for (const char* name : {"MessageWnd.xml", "tip.png", "close_normal.png", "close_over.png", "close_down.png",
                             "bluebutton.png", "bluebutton2.png", "bluebutton3.png"}) {
        QByteArray content;
        if (UiToolkit::ReadSkinFile(name, content))
            files[name] = std::string(content.constData(), static_cast<size_t>(content.size()));
    }
    return files;
}

inline std::string LogText()
{
    return TestSupport::ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log");
}

// The log entries written since the object was made.
class LogSince {
public:
    LogSince() : start_(LogText().size()) {}
    std::string Text() const
    {
        const std::string all = LogText();
        return all.size() > start_ ? all.substr(start_) : std::string();
    }
    bool Has(const std::string& part) const { return Text().find(part) != std::string::npos; }

private:
    size_t start_;
};

// The message boxes open now.
inline std::vector<QWidget*> MessageBoxes()
{
    std::vector<QWidget*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("CMessageWnd") && widget->isVisible())
            boxes.push_back(widget);
    }
    return boxes;
}

inline void CloseMessageBoxes()
{
    for (QWidget* box : MessageBoxes()) {
        if (auto* ok = box->findChild<QWidget*>(QStringLiteral("btnOK")))
            QMetaObject::invokeMethod(ok, "click");
    }
    UiTest::WaitFor([] { return MessageBoxes().empty(); });
}

}  // namespace PlayListFixture
