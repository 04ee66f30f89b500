#pragma once

#include <QByteArray>

#include <functional>
#include <string>

class Control;
class WindowWidget;

// Builds a window's controls from a layout file of the skin archive.
//
// The format: one <Window> element holding <Font> and <ScrollBar> elements and then one root
// control element, which fills the window (its padding has no parent layout to act in).
//
//   <Window size="w,h" mininfo="w,h" caption="l,t,r,b" sizebox="l,t,r,b" roundcorner="w,h"
//           disabledtextcolor="#AARRGGBB" accessiblename="...">
//     caption: the drag area, l/t/r measured from the left, top and right edges and b being
//       its height from the top; sizebox: the width of the resize border on each side;
//       roundcorner: the corner radius.
//   <Font id="0" name="微软雅黑" size="16" bold="false" underline="false" italic="false"
//         default="true"/>  (size in pixels; controls pick fonts by id)
//   <ScrollBar width="14" upnormalimage= uphotimage= uppushedimage= downnormalimage=
//         downhotimage= downpushedimage= thumbnormalimage= thumbhotimage= thumbpushedimage=
//         bkimage=/>  (the track; drawn for every scroll bar the window's controls show)
//
// Control elements and their own attributes (all take the common ones of Control: name,
// text, tooltip, accessiblename (what screen readers call it), width, height, size, minwidth,
// minheight, maxwidth, maxheight, padding, bkcolor, bkcolor2, bkimage, bordercolor, bordersize,
// borderround, visible, enabled, font, textcolor, disabledtextcolor, textpadding, align, valign,
// showhtml, endellipsis, userdata, cursor="hand"):
//   Container, VerticalLayout, HorizontalLayout   inset, childpadding; hold child elements
//   Control    a background box; without a size a flexible spacer
//   Label, Text   wordwrap (Text always wraps)
//   Button     normalimage, hotimage, pushedimage, disabledimage, hottextcolor, pushedtextcolor
//   RichEdit   readonly, multiline, vscrollbar, hscrollbar, autovscroll, wantreturn,
//              wantctrlreturn, menu, rich, inset
//   List       see ListControl.h; holds one <ListHeader> with <ListHeaderItem> children
//   Edit       password, readonly, maxchar, placeholder (see Edit.h)
//   CheckBox   selected
//   Option     selected; the options of one layout exclude each other (see Option.h)
//   Combo      editable, maxchar; holds <Item text="shown" value="read" selected="true"/>
//              children (see ComboBox.h)
// Colours are "#AARRGGBB"; images are file names in the archive, or "file='x.png'
// corner='l,t,r,b'" to keep the edges unscaled.
//
// Texts for people ("text", "tooltip", "emptytext") go through the application's translators,
// with the layout file's name as their context (LayoutTexts.h).
//
// Every element class is first offered to the window's control factory; a class neither it nor
// the toolkit knows reaches the diagnostic hook and is left out with its children, as is an
// image or a layout file that cannot be loaded. Unknown attributes are logged as warnings.
class LayoutBuilder {
public:
    using Factory = std::function<Control*(const std::wstring& className)>;

    // Reads `fileName` from the skin archive and builds it into `window`. Returns the root
    // control, or null when the file cannot be loaded or holds no control.
    static Control* Build(const std::wstring& fileName, WindowWidget* window, const Factory& factory);
    static Control* BuildFromText(const QByteArray& xml, const std::wstring& fileName, WindowWidget* window,
                                     const Factory& factory);
};
