#include "decode/pairedlists.h"

#include "core/trap.h"

namespace kestrel::decode {

namespace {
void follow(core::LineListModel &leader, core::LineListModel &partner)
{
    QObject::connect(&leader, &core::LineListModel::selectedRowChanged, &partner, [&partner](int row) {
        if (row >= 0)
            core::Trap()([&] { partner.select(row); });
    });
}
} // namespace

void alignPair(core::LineListModel &first, core::LineListModel &second)
{
    follow(first, second);
    follow(second, first);
}

} // namespace kestrel::decode
