#include "ui/toolkit/LayoutBuilder.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/CheckBox.h"
#include "ui/toolkit/ComboBox.h"
#include "ui/toolkit/Container.h"
#include "ui/toolkit/Edit.h"
#include "ui/toolkit/Label.h"
#include "ui/toolkit/ListHeader.h"
#include "ui/toolkit/ListControl.h"
#include "ui/toolkit/Option.h"
#include "ui/toolkit/LayoutTexts.h"
#include "ui/toolkit/TextPane.h"
#include "ui/toolkit/SkinnedScrollBarStyle.h"
#include "ui/toolkit/WindowWidget.h"
#include "ui/toolkit/UiAttributes.h"
#include "ui/toolkit/UiToolkit.h"

#include <QXmlStreamReader>

namespace {

using namespace UiAttributes;

class Builder {
public:
    Builder(const QByteArray& xml, const std::wstring& fileName, WindowWidget* window,
            const LayoutBuilder::Factory& factory)
        : reader_(xml), fileName_(QString::fromStdWString(fileName).toStdString()),
          context_(LayoutTexts::Context(fileName)), window_(window), factory_(factory)
    {
    }

    Control* Run();

private:
    void Diagnose(const std::string& what) { UiToolkit::Diagnose("Layout file \"" + fileName_ + "\": " + what); }
    void WarnAttribute(const QString& element, const QString& name);
    void ReadWindowAttributes();
    void ReadFont();
    void ReadScrollBar();
    Control* ReadControl(Container* parent);
    void ReadChildren(Control* control);
    void ReadHeader(ListControl* list);
    void ReadItem(ComboBox* combo);
    // An attribute's value as the control takes it: a text for people in the user's language.
    std::wstring Value(const QString& name, const QXmlStreamAttribute& attribute) const;
    static Control* MakeBuiltIn(const QString& className);

    QXmlStreamReader reader_;
    std::string fileName_;  // as the diagnostics and the log give it
    QString context_;       // of the layout's texts in the translations
    WindowWidget* window_;
    const LayoutBuilder::Factory& factory_;
    Control* root_ = nullptr;
    int nextFontId_ = 0;
    int depth_ = 0;
};

// Deeper nesting than this is no layout anyone draws; it is refused before the stack runs out.
constexpr int kMaxDepth = 64;

Control* Builder::Run()
{
    if (!reader_.readNextStartElement()) {
        Diagnose("no <Window> element");
        return nullptr;
    }
    if (reader_.name().compare(QLatin1String("Window"), Qt::CaseInsensitive) != 0) {
        Diagnose("unknown element <" + reader_.name().toString().toStdString() + ">, expected <Window>");
        return nullptr;
    }
    ReadWindowAttributes();
    while (reader_.readNextStartElement()) {
        const QString name = reader_.name().toString();
        if (name.compare(QLatin1String("Font"), Qt::CaseInsensitive) == 0) {
            ReadFont();
        } else if (name.compare(QLatin1String("ScrollBar"), Qt::CaseInsensitive) == 0) {
            ReadScrollBar();
        } else if (root_ != nullptr) {
            Diagnose("a second root control <" + name.toStdString() + "> is left out");
            reader_.skipCurrentElement();
        } else {
            root_ = ReadControl(nullptr);
        }
    }
    if (reader_.hasError()) {
        Diagnose("XML error at line " + std::to_string(reader_.lineNumber()) + ": " + reader_.errorString().toStdString());
    }
    if (root_ == nullptr)
        Diagnose("no control to show");
    return root_;
}

void Builder::WarnAttribute(const QString& element, const QString& name)
{
    const std::string text = fileName_ + ": <" + element.toStdString() + "> has no attribute \"" + name.toStdString() + "\"";
    WriteLog(Warning, LogTag::kLayoutBuilderBuild, "%s", text.c_str());
}

void Builder::ReadWindowAttributes()
{
    for (const QXmlStreamAttribute& attribute : reader_.attributes()) {
        const QString name = attribute.name().toString().toLower();
        const QString value = attribute.value().toString();
        int width = 0;
        int height = 0;
        UiRect rect;
        QColor color;
        if (name == QLatin1String("size")) {
            if (ParseSize(value, width, height))
                window_->resize(width, height);
        } else if (name == QLatin1String("mininfo")) {
            if (ParseSize(value, width, height))
                window_->setMinimumSize(width, height);
        } else if (name == QLatin1String("maxinfo")) {
            if (ParseSize(value, width, height))
                window_->setMaximumSize(width, height);
        } else if (name == QLatin1String("caption")) {
            if (ParseRect(value, rect))
                window_->SetCaption(rect);
        } else if (name == QLatin1String("sizebox")) {
            if (ParseRect(value, rect))
                window_->SetSizeBox(rect);
        } else if (name == QLatin1String("roundcorner")) {
            if (ParseSize(value, width, height))
                window_->SetRoundCorner(width, height);
        } else if (name == QLatin1String("disabledtextcolor")) {
            if (ParseColor(value, color))
                window_->SetDisabledTextColor(color);
        } else if (name == QLatin1String("accessiblename")) {
            // The windows draw their own title bars: the title the desktop knows stays empty.
            window_->setAccessibleName(LayoutTexts::Translate(context_, value));
        } else {
            WarnAttribute(QStringLiteral("Window"), name);
        }
    }
}

void Builder::ReadFont()
{
    int id = nextFontId_;
    std::wstring face;
    int size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool isDefault = false;
    for (const QXmlStreamAttribute& attribute : reader_.attributes()) {
        const QString name = attribute.name().toString().toLower();
        const QString value = attribute.value().toString();
        if (name == QLatin1String("id"))
            ParseInt(value, id);
        else if (name == QLatin1String("name"))
            face = value.toStdWString();
        else if (name == QLatin1String("size"))
            ParseInt(value, size);
        else if (name == QLatin1String("bold"))
            bold = ParseBool(value);
        else if (name == QLatin1String("underline"))
            underline = ParseBool(value);
        else if (name == QLatin1String("italic"))
            italic = ParseBool(value);
        else if (name == QLatin1String("default"))
            isDefault = ParseBool(value);
        else
            WarnAttribute(QStringLiteral("Font"), name);
    }
    nextFontId_ = id + 1;
    window_->AddFont(id, UiToolkit::MakeFont(face, size, bold, underline, italic), isDefault);
    reader_.skipCurrentElement();
}

void Builder::ReadScrollBar()
{
    UiScrollBarSkin skin;
    struct Slot {
        const char* name;
        UiImage* image;
    };
    const Slot entries[] = {
        {"upnormalimage", &skin.upNormal},       {"uphotimage", &skin.upHot},
        {"uppushedimage", &skin.upPushed},       {"downnormalimage", &skin.downNormal},
        {"downhotimage", &skin.downHot},         {"downpushedimage", &skin.downPushed},
        {"thumbnormalimage", &skin.thumbNormal}, {"thumbhotimage", &skin.thumbHot},
        {"thumbpushedimage", &skin.thumbPushed}, {"bkimage", &skin.track},
    };
    for (const QXmlStreamAttribute& attribute : reader_.attributes()) {
        const QString name = attribute.name().toString().toLower();
        const QString value = attribute.value().toString();
        if (name == QLatin1String("width")) {
            ParseInt(value, skin.width);
            continue;
        }
        bool known = false;
        for (const Slot& slot : entries) {
            if (name == QLatin1String(slot.name)) {
                known = true;
                if (ParseImage(value, *slot.image))
                    UiToolkit::GetImage(slot.image->file);
            }
        }
        if (!known)
            WarnAttribute(QStringLiteral("ScrollBar"), name);
    }
    window_->SetScrollBarSkin(skin);
    reader_.skipCurrentElement();
}

Control* Builder::MakeBuiltIn(const QString& className)
{
    const QString name = className.toLower();
    if (name == QLatin1String("container") || name == QLatin1String("verticallayout"))
        return name == QLatin1String("container") ? new Container(Qt::Vertical) : new VerticalLayout();
    if (name == QLatin1String("horizontallayout"))
        return new HorizontalLayout();
    if (name == QLatin1String("control"))
        return new Box();
    if (name == QLatin1String("label"))
        return new Label();
    if (name == QLatin1String("text"))
        return new TextLabel();
    if (name == QLatin1String("button"))
        return new Button();
    if (name == QLatin1String("richedit"))
        return new TextPane();
    if (name == QLatin1String("list"))
        return new ListControl();
    if (name == QLatin1String("edit"))
        return new Edit();
    if (name == QLatin1String("checkbox"))
        return new CheckBox();
    if (name == QLatin1String("option"))
        return new Option();
    if (name == QLatin1String("combo"))
        return new ComboBox();
    return nullptr;
}

Control* Builder::ReadControl(Container* parent)
{
    const QString className = reader_.name().toString();
    if (depth_ >= kMaxDepth) {
        Diagnose("<" + className.toStdString() + "> is nested too deeply and is left out");
        reader_.skipCurrentElement();
        return nullptr;
    }
    Control* control = factory_ ? factory_(className.toStdWString()) : nullptr;
    if (control == nullptr)
        control = MakeBuiltIn(className);
    if (control == nullptr) {
        Diagnose("unknown element <" + className.toStdString() + ">");
        reader_.skipCurrentElement();
        return nullptr;
    }
    if (control->GetWidget() == nullptr) {
        Diagnose("<" + className.toStdString() + "> cannot stand in a layout");
        delete control;
        reader_.skipCurrentElement();
        return nullptr;
    }
    // Attached before its attributes, so fonts and the scroll bar skin of the window apply.
    if (parent != nullptr)
        parent->Add(control);
    else
        window_->SetRoot(control);

    for (const QXmlStreamAttribute& attribute : reader_.attributes()) {
        const QString name = attribute.name().toString().toLower();
        if (!control->SetAttribute(name.toStdWString(), Value(name, attribute)))
            WarnAttribute(className, name);
    }
    ++depth_;
    ReadChildren(control);
    --depth_;
    return control;
}

std::wstring Builder::Value(const QString& name, const QXmlStreamAttribute& attribute) const
{
    const QString value = attribute.value().toString();
    return (LayoutTexts::IsText(name) ? LayoutTexts::Translate(context_, value) : value).toStdWString();
}

void Builder::ReadChildren(Control* control)
{
    auto* container = dynamic_cast<Container*>(control);
    auto* list = dynamic_cast<ListControl*>(control);
    auto* combo = dynamic_cast<ComboBox*>(control);
    while (reader_.readNextStartElement()) {
        const QString name = reader_.name().toString();
        if (container != nullptr) {
            ReadControl(container);
        } else if (list != nullptr && name.compare(QLatin1String("ListHeader"), Qt::CaseInsensitive) == 0) {
            ReadHeader(list);
        } else if (combo != nullptr && name.compare(QLatin1String("Item"), Qt::CaseInsensitive) == 0) {
            ReadItem(combo);
        } else {
            Diagnose("unknown element <" + name.toStdString() + "> inside <" +
                     QString::fromStdWString(control->GetClass()).toStdString() + ">");
            reader_.skipCurrentElement();
        }
    }
}

void Builder::ReadHeader(ListControl* list)
{
    ListHeader* header = list->GetHeader();
    for (const QXmlStreamAttribute& attribute : reader_.attributes()) {
        const QString name = attribute.name().toString().toLower();
        if (!header->SetAttribute(name.toStdWString(), Value(name, attribute)))
            WarnAttribute(QStringLiteral("ListHeader"), name);
    }
    while (reader_.readNextStartElement()) {
        const QString name = reader_.name().toString();
        if (name.compare(QLatin1String("ListHeaderItem"), Qt::CaseInsensitive) != 0) {
            Diagnose("unknown element <" + name.toStdString() + "> inside <ListHeader>");
            reader_.skipCurrentElement();
            continue;
        }
        const int column = header->AddColumn(std::wstring(), 0);
        for (const QXmlStreamAttribute& attribute : reader_.attributes()) {
            const QString key = attribute.name().toString().toLower();
            if (!header->SetColumnAttribute(column, key.toStdWString(), Value(key, attribute)))
                WarnAttribute(QStringLiteral("ListHeaderItem"), key);
        }
        reader_.skipCurrentElement();
    }
    list->OnColumnsChanged();
}

void Builder::ReadItem(ComboBox* combo)
{
    QString text;
    QString value;
    bool selected = false;
    for (const QXmlStreamAttribute& attribute : reader_.attributes()) {
        const QString name = attribute.name().toString().toLower();
        if (name == QLatin1String("text"))
            text = QString::fromStdWString(Value(name, attribute));
        else if (name == QLatin1String("value"))
            value = attribute.value().toString();
        else if (name == QLatin1String("selected"))
            selected = ParseBool(attribute.value().toString());
        else
            WarnAttribute(QStringLiteral("Item"), name);
    }
    combo->AddItem(text.toStdWString(), value.toStdWString());
    if (selected)
        combo->SelectItem(combo->GetCount() - 1);
    reader_.skipCurrentElement();
}

}  // namespace

Control* LayoutBuilder::Build(const std::wstring& fileName, WindowWidget* window, const Factory& factory)
{
    QByteArray xml;
    if (!UiToolkit::ReadSkinFile(QString::fromStdWString(fileName).toStdString(), xml))
        return nullptr;
    return BuildFromText(xml, fileName, window, factory);
}

Control* LayoutBuilder::BuildFromText(const QByteArray& xml, const std::wstring& fileName, WindowWidget* window,
                                          const Factory& factory)
{
    Builder builder(xml, fileName, window, factory);
    return builder.Run();
}
