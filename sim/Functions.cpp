// The simulated device's list of functions.
#include "sim/Functions.h"

#include "sim/Recordings.h"
#include "sim/Scan.h"
#include "sim/Slots.h"
#include "sim/Status.h"
#include "sim/Upload.h"

namespace zelsim {

std::vector<std::shared_ptr<DeviceFunction>> MakeDeviceFunctions() {
  std::vector<std::shared_ptr<DeviceFunction>> functions;
  // One line per device function, in the order they are asked for requests.
  functions.push_back(std::make_shared<SlotsFunction>());  // memory slots
  functions.push_back(std::make_shared<Recordings>());  // recordings
  // The upload changes the installed versions when the device restarts.
  auto versions = std::make_shared<VersionFunction>();
  functions.push_back(std::make_shared<UploadFunction>(versions));  // firmware upload
  functions.push_back(std::make_shared<ScanFunction>());  // display scan
  functions.push_back(std::make_shared<StatusFunction>());  // status query
  functions.push_back(versions);  // version query
  return functions;
}

}  // namespace zelsim
