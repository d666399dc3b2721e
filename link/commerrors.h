#pragma once

#include "core/failure.h"

namespace kestrel::link::commerrors {

// Failures of the serial control, with the numbers its callers' error lines show.
core::Failure invalidPort(int port);                              // 8002
core::Failure alreadyOpen();                                      // 8005
core::Failure noSuchDevice(const QString &device);                // 8002
core::Failure accessDenied(const QString &device, const QString &why); // 8010
core::Failure setupFailed(const QString &device, const QString &why);  // 8015
core::Failure notOpen();                                          // 8018
core::Failure lineControlFailed(const QString &device, const QString &why); // 8019
core::Failure readFailed(const QString &device, const QString &why);   // 8020
core::Failure writeFailed(const QString &device, const QString &why);  // 8021
core::Failure deviceLost(const QString &device, const QString &why);   // 8022
core::Failure connectFailed(const QString &device, const QString &why); // 8010
// Command frames that never went out.
core::Failure queueFull(int capacity);                            // 8023
core::Failure noAnswer(int boundMs);                              // 8024
core::Failure closedBeforeSent();                                 // 8025

} // namespace kestrel::link::commerrors
