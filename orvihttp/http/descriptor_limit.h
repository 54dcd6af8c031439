#pragma once

#include <cstddef>

// How many descriptors the process may hold open (the soft limit); 0 when
// the platform sets no such per-process limit that matters here.
std::size_t DescriptorLimit();
// Raises the soft limit towards the hard one (up to what the connection
// ceiling can use), as servers do at start; nothing where there is none.
void RaiseDescriptorLimit();
