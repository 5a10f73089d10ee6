// Trig tables: cosine and sine in 1/1024 turn, scaled by 1024, for circles and the dial.
//
// Entry i of each table is cos (sin) of (i * 2pi) * (1/1024), times 1024.0, computed in
// double precision and truncated toward zero into a signed 32-bit integer: values run
// from -1024 to 1024 (cos 0 = 1024, cos 1 = 1023, sin 1 = 6, cos 128 = sin 128 = 724).
// Screen y grows downward, so adding the sine to y turns clockwise on the screen.
//
// Lifecycle: the tables are zero until buildTrigTables runs (prepareDisplay runs it once,
// before anything is drawn); after that they never change.
// Thread: main thread only.
#pragma once

#include <cstdint>

namespace veldra {

void buildTrigTables();

// Only the low 10 bits of the angle count: any angle wraps to 0..1023.
int32_t cos1024(uint32_t angle);
int32_t sin1024(uint32_t angle);

// Puts both tables back to zero (their state before buildTrigTables), for tests.
void resetTrigTables();

}  // namespace veldra
