#pragma once

#include "core/failure.h"

namespace kestrel::commerrors {

// Failures of the serial control, with the numbers its callers' error lines show.
Failure invalidPort(int port);                              // 8002
Failure alreadyOpen();                                      // 8005
Failure noSuchDevice(const QString &device);                // 8002
Failure accessDenied(const QString &device, const QString &why); // 8010
Failure setupFailed(const QString &device, const QString &why);  // 8015
Failure notOpen();                                          // 8018
Failure lineControlFailed(const QString &device, const QString &why); // 8019
Failure readFailed(const QString &device, const QString &why);   // 8020
Failure writeFailed(const QString &device, const QString &why);  // 8021
Failure deviceLost(const QString &device, const QString &why);   // 8022
Failure connectFailed(const QString &device, const QString &why); // 8010
// Command frames that never went out.
Failure queueFull(int capacity);                            // 8023
Failure noAnswer(int boundMs);                              // 8024
Failure closedBeforeSent();                                 // 8025

} // namespace kestrel::commerrors
