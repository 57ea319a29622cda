// How long to wait before trying again something that keeps failing: a
// camera that went, a port that is back but does not open yet. Quick at
// first, then no more often than every 30 s.
#pragma once

namespace BackOff {

// The wait before attempt n (1, 2, ...): 1, 2, 4, 8, 16 s, then 30 s for
// every further one. An attempt below 1 counts as the first.
int delayMs(int attempt);

} // namespace BackOff
