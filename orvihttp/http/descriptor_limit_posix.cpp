#include <sys/resource.h>

#include "orvihttp/http/descriptor_limit.h"

std::size_t DescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
  return static_cast<std::size_t>(limit.rlim_cur);
}

void RaiseDescriptorLimit() {
  constexpr rlim_t kWanted = 16384;
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= kWanted) return;
  rlim_t wanted =
      limit.rlim_max == RLIM_INFINITY || limit.rlim_max > kWanted ? kWanted : limit.rlim_max;
  if (wanted <= limit.rlim_cur) return;
  limit.rlim_cur = wanted;
  setrlimit(RLIMIT_NOFILE, &limit);
}
