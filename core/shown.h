#pragma once

#include <QString>

namespace kestrel::core {

// Text a person typed or a line sent, as a message shows it on one line: line ends, tabs and
// other control characters escaped (\n, \r, \t, \xHH). Longer than `longest` characters, it is
// cut there and its length said, so that a line of a megabyte, or of NULs, is named in one short
// line of a message.
QString escapedText(const QString &text, int longest = -1);

} // namespace kestrel::core
