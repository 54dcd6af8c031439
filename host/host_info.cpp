#include "host/host_info.h"

std::string HostTitle() { return std::string("Trellan") + " v" + "2" + "." + "0" + "." + "2"; }
