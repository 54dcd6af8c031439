#pragma once

#include <cstdint>
#include <string>

// A byte count as the Statistics page shows it: two decimals of KB below
// 1 MB, of MB below 1 GB, else of GB ("1.50 KB", "0.00 KB", "1.00 GB").
std::string FormatByteSize(uint32_t bytes);
