#pragma once

#include "core/failure.h"

#include <QString>

namespace kestrel::core {

// What the console's logic sees of a list on the window: rows of text addressed by position, and
// one selected row. Reading, writing or selecting a row that does not exist throws a Failure.
class ListRows
{
public:
    virtual ~ListRows() = default;

    virtual int count() const = 0;
    virtual QString row(int index) const = 0;                 // invalidIndex when out of range
    virtual void setRow(int index, const QString &text) = 0;  // invalidIndex when out of range
    virtual void append(const QString &text) = 0;
    virtual void clear() = 0;

    // -1 when no row is selected. Selecting -1 clears the selection; selecting past the end throws
    // invalidValue. Selecting the row that is already selected changes nothing.
    virtual int selectedRow() const = 0;
    virtual void select(int index) = 0;

    void selectLast() { select(count() - 1); }
};

} // namespace kestrel::core
