// The simulated device's list of functions besides status and versions.
#include "sim/Functions.h"

#include "sim/Scan.h"

namespace zelsim {

std::vector<std::shared_ptr<DeviceFunction>> MakeDeviceFunctions() {
  std::vector<std::shared_ptr<DeviceFunction>> functions;
  // One line per device function, in the order they are asked for requests.
  functions.push_back(std::make_shared<ScanFunction>());  // display scan
  return functions;
}

}  // namespace zelsim
