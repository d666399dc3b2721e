#pragma once

#include <cstddef>

namespace kestrel::core {

// The rows of a constant table, counted by the compiler: a table is defined as an unsized array
// and handed out as Table, so that a row added or removed changes the count with it and never
// leaves an empty row behind.
template <class Row>
class Table
{
public:
    constexpr Table() = default;
    template <std::size_t N>
    constexpr Table(const Row (&rows)[N]) : m_rows(rows), m_count(N) {}

    constexpr const Row *begin() const { return m_rows; }
    constexpr const Row *end() const { return m_rows + m_count; }
    constexpr std::size_t size() const { return m_count; }
    constexpr const Row &operator[](std::size_t i) const { return m_rows[i]; }

private:
    const Row *m_rows = nullptr;
    std::size_t m_count = 0;
};

} // namespace kestrel::core
