#pragma once

namespace kestrel::core {
class LineListModel;
}

namespace kestrel::app {

class LineView;

// What assistive tools (a screen reader through AT-SPI, UI automation on Windows) see of the
// console's lists: a list whose items are its rows, each named by its text as shown, with the
// selected row's state, so that the action log can be read aloud and followed as it grows.
namespace listaccessible {

// Makes the view readable this way, and tells the assistive tool, while one listens, of every
// row its model adds, changes or removes and of its selection moving. Called once per model the
// view shows; the view's own disconnection from a model it no longer shows ends it.
void follow(LineView *view, core::LineListModel *model);

} // namespace listaccessible
} // namespace kestrel::app
