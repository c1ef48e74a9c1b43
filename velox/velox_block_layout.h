#pragma once
// Purpose: the byte layout of the block through which the program hands one script request to the
//          runner Velox and gets its reply back: sizes, offsets and the name of the block.
// Threads: constants only.
// Owns: nothing.
//
// Integers are little endian, texts UTF-16LE and NUL-terminated inside their fields; an f64 may
// start at any multiple of 4. Both sides read and write the fields one by one at these offsets.

#include <cstddef>
#include <cstdint>

namespace velox::layout {

constexpr size_t kBlockSize = 65536;

// The name of the block in /dev/shm: namespace prefix + base + ':' + the braced GUID.
constexpr char kBlockBaseName[] = "OSTROVID_2_VELOX_MAP_FILE";
constexpr size_t kGuidTextChars = 38;

enum class PacketType : uint32_t { Reply = 0, Recognized = 1, Unrecognized = 2 };

// Head of both request types.
constexpr size_t kPacketType = 0;
constexpr size_t kDataLength = 4;  // bytes after the first 8
constexpr size_t kTimeout = 8;
constexpr size_t kAllowUI = 12;
constexpr size_t kScriptType = 16;
constexpr size_t kScriptFile = 20;
constexpr size_t kScriptFileChars = 520;
constexpr size_t kEventName = 1060;
constexpr size_t kEventNameChars = 256;
constexpr size_t kEventTime = 1572;
constexpr size_t kCameraName = 1580;
constexpr size_t kCameraNameChars = 64;

// Recognized person.
constexpr size_t kPersonId = 1708;
constexpr size_t kConfidence = 1712;
constexpr size_t kListNumber = 1720;
constexpr size_t kSurname = 1724;
constexpr size_t kForename = 1852;
constexpr size_t kSecondName = 1980;
constexpr size_t kNameChars = 64;
constexpr size_t kAlias = 2108;
constexpr size_t kAliasChars = 16;
constexpr size_t kExternalKey = 2140;
constexpr size_t kExternalKeyChars = 32;
constexpr size_t kGender = 2204;
constexpr size_t kDateOfBirth = 2208;
constexpr size_t kImageFile = 2216;
constexpr size_t kRecognizedSize = 2736;

// Unrecognized person.
constexpr size_t kFirstSeen = 1708;
constexpr size_t kImageCount = 1716;
constexpr size_t kRectangles = 1720;
constexpr size_t kRectangleSize = 16;  // x, y, width, height
constexpr size_t kImageFiles = 2216;
constexpr size_t kImageEntries = 31;  // room in the block; the program fills at most 30
constexpr size_t kUnrecognizedSize = 18336;

constexpr size_t kPathChars = 260;

// Reply.
constexpr size_t kResultCode = 8;
constexpr size_t kReplyText = 12;
constexpr size_t kReplyTextChars = (kBlockSize - kReplyText) / 2;

static_assert(kRectangles + kImageEntries * kRectangleSize == kImageFiles);
static_assert(kImageFiles + kImageEntries * kPathChars * 2 == kUnrecognizedSize);
static_assert(kImageFile + kPathChars * 2 == kRecognizedSize);

}  // namespace velox::layout
