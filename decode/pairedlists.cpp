#include "decode/pairedlists.h"

#include "core/trap.h"

namespace kestrel {

namespace {
void follow(LineListModel &leader, LineListModel &partner)
{
    QObject::connect(&leader, &LineListModel::selectedRowChanged, &partner, [&partner](int row) {
        if (row >= 0)
            Trap()([&] { partner.select(row); });
    });
}
} // namespace

void alignPair(LineListModel &first, LineListModel &second)
{
    follow(first, second);
    follow(second, first);
}

} // namespace kestrel
