// The simulated device's list of functions.
#include "sim/Functions.h"

#include "sim/Recordings.h"
#include "sim/Scan.h"
#include "sim/Slots.h"
#include "sim/Status.h"
#include "sim/Upload.h"

namespace zelsim {

std::vector<std::shared_ptr<TDeviceFunction>> MakeDeviceFunctions() {
  std::vector<std::shared_ptr<TDeviceFunction>> functions;
  // One line per device function, in the order they are asked for requests.
  functions.push_back(std::make_shared<TSlotsFunction>());  // memory slots
  functions.push_back(std::make_shared<TRecordings>());     // recordings
  // The upload changes the installed versions when the device restarts.
  auto versions = std::make_shared<TVersionFunction>();
  functions.push_back(std::make_shared<TUploadFunction>(versions));  // firmware upload
  functions.push_back(std::make_shared<TScanFunction>());            // display scan
  functions.push_back(std::make_shared<TStatusFunction>());          // status query
  functions.push_back(versions);                                     // version query
  return functions;
}

}  // namespace zelsim
