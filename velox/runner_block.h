#pragma once
// Purpose: the runner's side of the shared block: found by the GUID of its command line, the
//          request read out whole, the reply written back.
// Threads: the runner's main thread.
// Owns: the block's descriptor.

#include <QString>

#include <cstdint>
#include <vector>

namespace velox {

// True for a braced GUID text: "{" 8-4-4-4-12 hexadecimal digits "}".
bool IsGuidText(const QString& text);

class RunnerBlock {
public:
    RunnerBlock() = default;
    ~RunnerBlock();
    RunnerBlock(const RunnerBlock&) = delete;
    RunnerBlock& operator=(const RunnerBlock&) = delete;

    // Opens the existing block of the GUID; false with the reason when there is none of the
    // right size or kind.
    bool Open(const QString& guid, QString* error);
    // The whole block, copied: the program may not change it under the parser.
    bool Read(std::vector<uint8_t>& bytes) const;
    bool WriteReply(uint32_t resultCode, const QString& text) const;

private:
    int fd_ = -1;
};

}  // namespace velox
