#pragma once

namespace kestrel::link::commevent {

// Event codes of the serial control, as its OnComm notification carries them.
enum Code : int {
    Send = 1,          // transmit buffer below its send threshold
    Receive = 2,       // characters received
    CtsChange = 3,
    DsrChange = 4,
    CdChange = 5,
    Ring = 6,
    EndOfFile = 7,
    Break = 1001,
    CtsTimeout = 1002,
    DsrTimeout = 1003,
    Framing = 1004,
    Overrun = 1006,
    CdTimeout = 1007,
    RxOverflow = 1008,
    Parity = 1009,
    TxFull = 1010,
    ControlBlock = 1011,
};

} // namespace kestrel::link::commevent
