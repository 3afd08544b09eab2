// Counts the heap allocations of the code under test. The test binary that
// links heap_counter.cpp replaces the global operator new; while counting is on,
// every allocation is counted except those the simulated Windows makes for
// itself inside one of its services (see sim::InService).
#pragma once

namespace heap_counter {

void Start();  // counting on, count 0
int Stop();    // counting off; the allocations counted since Start

}  // namespace heap_counter
