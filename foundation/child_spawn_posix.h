#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// What the two ways of running a program on POSIX share: starting it with
// chosen standard handles, and waiting on one of its descriptors in a way
// that a stop of the waiting thread can end at once.

inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

enum class DescriptorReady { Yes, TimedOut, Stopped };

// Waits until `fd` is ready for `events`, `wakeFd` (an eventfd) is signalled
// or `milliseconds` pass (kWaitForever: no limit).
DescriptorReady WaitForDescriptor(int fd, short events, int wakeFd, uint32_t milliseconds);
// Signals the eventfd `wakeFd`.
void SignalWake(int wakeFd);

// Starts `arguments` with `extraEnvironment` added to the server's own, its
// standard input from `input` and its standard output and error onto
// `output` and `error`; -1 for any of them opens /dev/null there instead.
// The pid, or -1.
pid_t SpawnChild(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& extraEnvironment, int input, int output,
                 int error);
