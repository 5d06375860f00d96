#include "link/boot_requests.h"

#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace veltrona {
namespace {

bool RequestOperation(DeviceModel& model, std::uint8_t operation) {
    if (!model.boot) return false;
    model.boot->loader_result = 0;
    model.boot->pending_operations |= static_cast<std::uint8_t>(1u << operation);
    return true;
}

}  // namespace

bool SetFirmware(DeviceModel& model, std::uint32_t base, std::uint32_t length_words,
                 std::uint16_t chunk) {
    if (!model.boot || chunk == 0 || chunk > kMaxWriteChunk) return false;
    const std::uint32_t requests = length_words / chunk + (length_words % chunk != 0 ? 1 : 0);
    if (requests > 0xFFFF) return false;
    std::vector<std::uint16_t> image;
    try {
        image.assign(length_words, 0);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    BootRecord& r = *model.boot;
    r.image = std::move(image);
    r.program_base = base;
    r.program_length = length_words;
    r.program_chunk = chunk;
    r.program_requests = static_cast<std::uint16_t>(requests);
    return true;
}

bool RequestDeviceOpen(DeviceModel& model) {
    return RequestOperation(model, kBootDeviceOpen);
}
bool RequestInfo1(DeviceModel& model) {
    return RequestOperation(model, kBootInfo1);
}
bool RequestFlashErase(DeviceModel& model) {
    return RequestOperation(model, kBootFlashErase);
}
bool RequestFlashProgram(DeviceModel& model) {
    return RequestOperation(model, kBootFlashProgram);
}
bool RequestDeviceClose(DeviceModel& model) {
    return RequestOperation(model, kBootDeviceClose);
}

bool SetRetries(DeviceModel& model, std::uint8_t retries) {
    if (!model.boot) return false;
    model.boot->retries_left = retries;
    return true;
}

bool CancelBootOperations(DeviceModel& model) {
    if (!model.boot) return false;
    model.boot->current_operation = 0;
    model.boot->pending_operations = 0;
    return true;
}

bool SetAutoProgramming(DeviceModel& model) {
    if (!model.boot) return false;
    model.boot->pending_operations |= kBootAutoFlag;
    return true;
}

bool IsAutoProgramming(const DeviceModel& model) {
    return model.boot && (model.boot->pending_operations & kBootAutoFlag) != 0;
}

}  // namespace veltrona
