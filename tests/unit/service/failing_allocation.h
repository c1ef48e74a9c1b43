#pragma once
// Makes operator new of the test process fail on request, so that the service's answer to a
// failed allocation can be seen. The replacement lives in failing_allocation.cpp; any thread may
// arm or disarm it.

#include <cstddef>

namespace testsupport {

// Every request of at least `bytes` bytes throws std::bad_alloc until StopFailingAllocations.
void FailAllocationsFrom(std::size_t bytes);
// Only the next request of exactly `bytes` bytes throws.
void FailNextAllocationOf(std::size_t bytes);
void StopFailingAllocations();
// How many requests were refused since the last arming.
int RefusedAllocations();

}  // namespace testsupport
