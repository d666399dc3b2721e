#pragma once

class QWidget;

namespace kestrel {

class LineView;

// What assistive tools (a screen reader through AT-SPI, UI automation on Windows) see of the
// console's lists: a list whose items are its rows, each named by its text as shown, with the
// selected row's state, so that the action log can be read aloud and followed as it grows.
namespace listaccessibility {

// Makes every LineView accessible this way; call once before the first view is shown.
void install();

// What a view tells the assistive tool, when one is listening (nothing at all otherwise).
void rowsAdded(LineView *view, int first, int last);
void rowsGoing(LineView *view);            // every row is about to be removed
void rowsGone(LineView *view);             // every row has been removed
void rowsChanged(LineView *view, int first, int last);
void selectionMoved(LineView *view, int from, int to);

} // namespace listaccessibility
} // namespace kestrel
