// Reading the record of a WM_DEVICECHANGE broadcast: which event it is, and
// for a volume the drives it names. Windows hands the record over as an
// address, so nothing is read that its own size does not promise.
#pragma once

#include <cstdint>
#include <string>

namespace tovrane {

enum class DeviceEvent {
    Other,          // not a volume, or not an arrival or removal, or unreadable
    VolumeArrival,  // DBT_DEVICEARRIVAL of a DBT_DEVTYP_VOLUME record
    VolumeRemoval,  // DBT_DEVICEREMOVECOMPLETE of a DBT_DEVTYP_VOLUME record
};

struct DeviceBroadcast {
    DeviceEvent event = DeviceEvent::Other;
    // Bit 0 is A:, bit 25 is Z:. 0 when the record is too short to hold it.
    std::uint32_t unitMask = 0;
};

// The broadcast's wParam constants and record layout.
constexpr std::uintptr_t kDeviceArrival = 0x8000;         // DBT_DEVICEARRIVAL
constexpr std::uintptr_t kDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE
constexpr std::uint32_t kDeviceTypeVolume = 2;            // DBT_DEVTYP_VOLUME
constexpr std::uint32_t kHeaderSize = 12;                 // DEV_BROADCAST_HDR
constexpr std::uint32_t kVolumeRecordSize = 18;           // DEV_BROADCAST_VOLUME without padding

// `record` is the broadcast's lParam: null, or the address of a record that
// starts with its own size in bytes. Arrivals and removals of anything but a
// volume, every other event, a null record and a record shorter than a
// header all read as Other.
DeviceBroadcast ReadDeviceBroadcast(std::uintptr_t event, const void* record);

// The letters of a unit mask in ascending order: 0b10100 gives "CE".
std::wstring DriveLettersOf(std::uint32_t unitMask);
// The unit mask of drive letters: "CE" gives 0b10100; anything but A to Z
// is left out.
std::uint32_t UnitMaskOf(const std::wstring& letters);

}  // namespace tovrane
