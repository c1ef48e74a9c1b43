#include "app/actions/velox_request.h"

#include "platform/fixedtext.h"
#include "velox/velox_block_layout.h"

#include <algorithm>

namespace actions {

namespace L = velox::layout;
using settings::channel::ChannelArea;

namespace {

template <size_t N>
void SetField(ChannelArea& block, size_t offset, const char16_t (&field)[N]) {
    block.SetText(offset, N, platform::FromFixed(field));
}

void WriteRecognized(ChannelArea& block, const RecognizedScriptForm& form) {
    block.SetU32(L::kPersonId, form.personId);
    block.SetF64(L::kConfidence, form.confidence);
    block.SetU32(L::kListNumber, form.person.listNumber);
    SetField(block, L::kSurname, form.person.surname);
    SetField(block, L::kForename, form.person.forename);
    SetField(block, L::kSecondName, form.person.secondName);
    SetField(block, L::kAlias, form.person.alias);
    SetField(block, L::kExternalKey, form.person.externalKey);
    block.SetU32(L::kGender, form.person.gender);
    block.SetF64(L::kDateOfBirth, form.person.dateOfBirth);
    SetField(block, L::kImageFile, form.imageFile);
}

void WriteUnrecognized(ChannelArea& block, const UnrecognizedScriptForm& form) {
    const uint32_t count = std::min<uint32_t>(form.imageCount, kMaxActionImages);
    block.SetF64(L::kFirstSeen, form.firstSeen);
    block.SetU32(L::kImageCount, count);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t rectangle = L::kRectangles + i * L::kRectangleSize;
        block.SetI32(rectangle, form.rectangles[i].x);
        block.SetI32(rectangle + 4, form.rectangles[i].y);
        block.SetI32(rectangle + 8, form.rectangles[i].width);
        block.SetI32(rectangle + 12, form.rectangles[i].height);
        SetField(block, L::kImageFiles + i * L::kPathChars * 2, form.imageFiles[i]);
    }
}

}  // namespace

void WriteVeloxRequest(ChannelArea& block, ActionType type, const ScriptRequest& request) {
    const bool recognized = type == ActionType::RecognizedScript;
    const size_t size = recognized ? L::kRecognizedSize : L::kUnrecognizedSize;
    block.Clear(0, size);
    block.SetU32(L::kPacketType, uint32_t(recognized ? L::PacketType::Recognized : L::PacketType::Unrecognized));
    block.SetU32(L::kDataLength, uint32_t(size - 8));
    const ScriptHead& head = request.head;
    block.SetI32(L::kTimeout, head.timeout);
    block.SetU32(L::kAllowUI, uint32_t(head.allowUI));
    block.SetU32(L::kScriptType, uint32_t(head.scriptType));
    SetField(block, L::kScriptFile, head.scriptFile);
    SetField(block, L::kEventName, head.eventName);
    block.SetF64(L::kEventTime, head.eventTime);
    SetField(block, L::kCameraName, head.cameraName);
    // The packet type follows the item's type; a payload of the other form writes only the head.
    if (recognized) {
        if (const auto* form = std::get_if<RecognizedScriptForm>(&request.form)) WriteRecognized(block, *form);
    } else if (const auto* form = std::get_if<UnrecognizedScriptForm>(&request.form)) {
        WriteUnrecognized(block, *form);
    }
}

VeloxReply ReadVeloxReply(const ChannelArea& block) {
    VeloxReply reply;
    reply.packetType = block.U32(L::kPacketType);
    if (reply.packetType == uint32_t(L::PacketType::Reply)) {
        reply.resultCode = block.U32(L::kResultCode);
        reply.text = block.Text(L::kReplyText, L::kReplyTextChars);
    }
    return reply;
}

std::optional<std::chrono::milliseconds> VeloxWaitLimit(int32_t timeoutSeconds) {
    using std::chrono::milliseconds;
    if (timeoutSeconds <= 0) return std::nullopt;
    return std::max(milliseconds(10000), milliseconds(2000) * int64_t(timeoutSeconds));
}

}  // namespace actions
