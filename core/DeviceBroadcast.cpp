#include "core/DeviceBroadcast.h"

#include <cstring>

namespace tovrane {

namespace {

std::uint32_t ReadU32(const void* record, std::size_t offset) {
    std::uint32_t value;
    std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
    return value;
}

}  // namespace

DeviceBroadcast ReadDeviceBroadcast(std::uintptr_t event, const void* record) {
    DeviceBroadcast broadcast;
    if (!record || (event != kDeviceArrival && event != kDeviceRemoveComplete)) {
        return broadcast;
    }
    const std::uint32_t size = ReadU32(record, 0);
    if (size < kHeaderSize || ReadU32(record, 4) != kDeviceTypeVolume) {
        return broadcast;
    }
    broadcast.event =
        event == kDeviceArrival ? DeviceEvent::VolumeArrival : DeviceEvent::VolumeRemoval;
    if (size >= kVolumeRecordSize) {
        broadcast.unitMask = ReadU32(record, 12) & 0x03FFFFFFu;  // 26 letters
    }
    return broadcast;
}

std::wstring DriveLettersOf(std::uint32_t unitMask) {
    std::wstring letters;
    for (int bit = 0; bit < 26; ++bit) {
        if (unitMask & (1u << bit)) {
            letters += static_cast<wchar_t>(L'A' + bit);
        }
    }
    return letters;
}

std::uint32_t UnitMaskOf(const std::wstring& letters) {
    std::uint32_t mask = 0;
    for (wchar_t c : letters) {
        if (c >= L'A' && c <= L'Z') {
            mask |= 1u << (c - L'A');
        }
    }
    return mask;
}

}  // namespace tovrane
