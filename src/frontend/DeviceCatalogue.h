#pragma once
// The built-in devices: the device table's five rows first, in its order and with exactly its sizes,
// then today's readers with their panels' resolutions in portrait, as their makers publish them.

#include <span>

#include "frontend/DeviceProfile.h"

namespace vellumet {

// The catalogue in list order; built on first use and kept for the life of the process.
std::span<const DeviceProfile> DeviceCatalogue();

}  // namespace vellumet
