#include "orvihttp/http/connection_limits.h"

#include <mutex>

#include "orvihttp/http/descriptor_limit.h"

namespace {

std::mutex limitsMutex;
ConnectionLimits limits;

// Each connection holds its socket and its wakeup handle; the rest of the
// server (listener, log and served files, PHP pipes) needs some beside them.
constexpr std::size_t kDescriptorsPerConnection = 2;
constexpr std::size_t kSpareDescriptors = 128;

}  // namespace

ConnectionLimits CurrentConnectionLimits() {
  std::lock_guard<std::mutex> lock(limitsMutex);
  return limits;
}

void SetConnectionLimitsForTesting(const ConnectionLimits& changed) {
  std::lock_guard<std::mutex> lock(limitsMutex);
  limits = changed;
}

std::size_t ConnectionCeiling() {
  std::size_t ceiling = CurrentConnectionLimits().maxConnections;
  const std::size_t descriptors = DescriptorLimit();
  if (descriptors != 0) {
    // A small limit still leaves half of it to the rest of the server.
    const std::size_t room =
        descriptors > 2 * kSpareDescriptors ? descriptors - kSpareDescriptors : descriptors / 2;
    const std::size_t fit = room / kDescriptorsPerConnection;
    if (fit < ceiling) ceiling = fit;
  }
  return ceiling == 0 ? 1 : ceiling;
}

bool IsLoopbackAddress(const std::string& address) {
  return address.rfind("127.", 0) == 0;
}
