#pragma once

#include <cstdint>

// The server's name and version, as headers, error pages, listings, logs and
// message boxes show them.
inline constexpr char kProductName[] = "Orvi HTTP Server";
inline constexpr uint32_t kServerVersion = 0x00020001;
// Name and version, as the Server header and page footers show them.
inline constexpr char kServerBanner[] = "Orvi HTTP Server 2.0.1";
