#pragma once

// How many file descriptors the process holds open, or -1 where the platform
// cannot tell cheaply (Windows).
int OpenDescriptorCount();
