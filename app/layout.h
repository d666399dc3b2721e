#pragma once

#include "session/exitcommand.h"
#include "core/table.h"
#include "screens/boardscreens.h"
#include "screens/look.h"

namespace kestrel::app {

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

// The Exit button of each panel, and how it handles a failing step.
struct ExitButton
{
    const char *control;
    session::OnExitFailure onFailure;
};

// The Other tab's buttons and the board screen each opens.
struct ScreenButton
{
    const char *control;
    screens::BoardScreen::Which screen;
};

// An item of a menu: its name and caption.
struct MenuItem
{
    const char *name;
    const char *caption;
};

extern const core::Table<Control> kControls;
extern const core::Table<Panel> kPanels;        // in tab order
extern const core::Table<ListName> kListNames;
extern const core::Table<ExitButton> kExits;
extern const core::Table<ScreenButton> kScreenButtons;
extern const core::Table<MenuItem> kHelpItems;  // in menu order

// The window's client area and where it stands on the screen, in twips.
constexpr screens::look::WindowPlace kWindowPlace{11010, 8220, true, 225, 795};

extern const char kWindowCaption[];

} // namespace layout
} // namespace kestrel::app
