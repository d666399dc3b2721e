#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel::sim {

// The frame as the virtual board's window lists it: hex bytes, two blanks, then the MDB command it
// is, for example "0F 02 02  PAYOUT value=2 units".
QString describeFrame(const QByteArray &frame);

} // namespace kestrel::sim
