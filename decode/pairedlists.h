#pragma once

#include "core/linelistmodel.h"

namespace kestrel::decode {

// Keeps two parallel lists (names and counts, labels and values) on the same row: selecting a row
// of one, by a click or by the program, selects the same row of the other. Selecting the row a list
// already has starts nothing, so one selection aligns the pair once. A partner without that row
// keeps its own selection.
void alignPair(core::LineListModel &first, core::LineListModel &second);

} // namespace kestrel::decode
