#include "platform/contract.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void ContractFailed(const char* file, int line, const char* condition, const char* message) {
    std::fprintf(stderr, "%s:%d: contract broken: %s: %s\n", file, line, condition, message);
    std::fflush(stderr);
    std::abort();
}

}  // namespace platform
