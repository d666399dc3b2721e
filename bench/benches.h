#pragma once

// Benchmarks kept in files of their own; main.cpp runs them by name.
namespace kestrel::bench {

// A recording played back by the real program: time to the first reply and peak memory for
// recordings of 1, 8 and 64 MB beside one of a single line, in turns.
void replayStart();
// Composing a command's frame from its parameters, and decoding the longest replies of the
// command set field by field: microseconds each.
void composeAndDecode();
// The bench records: a plan run recorded, a unit's history among 100,000 runs, the push to a
// PostgreSQL server on this machine.
void records();

} // namespace kestrel::bench
