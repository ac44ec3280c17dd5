// The simulated device's list of functions besides status and versions.
#include "sim/Functions.h"

namespace zelsim {

std::vector<std::shared_ptr<DeviceFunction>> MakeDeviceFunctions() {
  std::vector<std::shared_ptr<DeviceFunction>> functions;
  // One line per device function, in the order they are asked for requests.
  return functions;
}

}  // namespace zelsim
