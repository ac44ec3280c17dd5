#pragma once

#include "sim/DeviceFunction.h"

#include <memory>
#include <vector>

namespace zelsim {

// Creates one instance of every device function the simulator plays.
std::vector<std::shared_ptr<TDeviceFunction>> MakeDeviceFunctions();

}  // namespace zelsim
