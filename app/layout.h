#pragma once

namespace kestrel {

// The main window's composition as data: every control with its kind, container, caption, tooltip
// and place. Places are Left, Top, Width x Height in twips within the container (see look.h).
namespace layout {

enum class Kind { Button, Label, List, Frame, Option, TextBox, TabStrip, Link };

enum Flag : unsigned {
    None = 0,
    Disabled = 1,   // created greyed; nothing enables it
    Centred = 2,    // label text centred
};

struct Control
{
    const char *name;
    Kind kind;
    const char *container;   // "frmKestrel", a frame, or a panel "Pictab0" to "Pictab5"
    const char *caption;
    const char *tooltip;
    int left, top, width, height;   // twips
    unsigned flags;
};

struct Panel
{
    const char *name;        // objectName of the panel shown by the tab
    const char *tab;         // the tab's caption
    const char *tooltip;
};

// What assistive tools call each list (a list has no caption of its own on the window).
struct ListName
{
    const char *list;
    const char *accessibleName;
};

extern const Control kControls[];
extern const ListName kListNames[];
extern const int kListNameCount;
extern const int kControlCount;
constexpr int kPanelCount = 6;
extern const Panel kPanels[kPanelCount];

// The window's client area and where it stands on the screen, in twips.
constexpr int kClientWidth = 11010;
constexpr int kClientHeight = 8220;
constexpr int kWindowLeft = 225;
constexpr int kWindowTop = 795;

extern const char kWindowCaption[];

} // namespace layout
} // namespace kestrel
