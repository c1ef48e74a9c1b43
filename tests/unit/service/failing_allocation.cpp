#include "tests/unit/service/failing_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace testsupport {

namespace {

enum class Failing { No, FromSize, NextOfSize };

std::atomic<Failing> g_failing{Failing::No};
std::atomic<std::size_t> g_bytes{0};
std::atomic<int> g_refused{0};

bool Refuse(std::size_t bytes) {
    switch (g_failing.load()) {
    case Failing::No:
        return false;
    case Failing::FromSize:
        if (bytes < g_bytes) return false;
        break;
    case Failing::NextOfSize: {
        if (bytes != g_bytes) return false;
        Failing expected = Failing::NextOfSize;
        if (!g_failing.compare_exchange_strong(expected, Failing::No)) return false;
        break;
    }
    }
    ++g_refused;
    return true;
}

void* Allocate(std::size_t bytes) {
    if (Refuse(bytes)) return nullptr;
    return std::malloc(bytes == 0 ? 1 : bytes);
}

}  // namespace

void FailAllocationsFrom(std::size_t bytes) {
    g_refused = 0;
    g_bytes = bytes;
    g_failing = Failing::FromSize;
}

void FailNextAllocationOf(std::size_t bytes) {
    g_refused = 0;
    g_bytes = bytes;
    g_failing = Failing::NextOfSize;
}

void StopFailingAllocations() { g_failing = Failing::No; }

int RefusedAllocations() { return g_refused; }

}  // namespace testsupport

void* operator new(std::size_t bytes) {
    if (void* p = testsupport::Allocate(bytes)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) { return operator new(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return testsupport::Allocate(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return testsupport::Allocate(bytes); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
