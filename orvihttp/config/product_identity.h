#pragma once

#include <cstdint>

#include "orvihttp/config/product_version.h"

// The server's name and version, as headers, error pages, listings, logs and
// message boxes show them.
inline constexpr char kProductName[] = "Orvi HTTP Server";
inline constexpr uint32_t kServerVersion =
    (ORVI_VERSION_MAJOR << 16) | (ORVI_VERSION_MINOR << 8) | ORVI_VERSION_PATCH;
// Name and version, as the Server header and page footers show them.
inline constexpr char kServerBanner[] = "Orvi HTTP Server " ORVI_VERSION_TEXT;
