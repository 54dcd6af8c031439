#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A child process joined to the parent by two anonymous pipes: its standard
// input and its standard output. The parent keeps one stream, reading the
// child's output (mode "r") or writing its input (any other mode). Bytes pass
// unchanged both ways: no newline translation, 0x1A is ordinary data.
//
// On Linux the command line is split by the Windows rules (command_line.h)
// and started directly, never through a shell; the program is looked up in
// PATH when it names no folder.
//
// Every stream has its own pipes and process: streams may be opened, used
// and closed on different threads at the same time.

struct ChildProcessOptions {
  // The child's standard error goes into the output pipe too (for tests and
  // tools); normally the child has no standard error handle.
  bool captureStandardError = false;
  // "NAME=value" entries the child gets besides the parent's environment;
  // one of the same name replaces the parent's.
  std::vector<std::string> environment;
};

class ChildProcessStream {
 public:
  virtual ~ChildProcessStream() = default;

  // Mode "r": reads up to `length` bytes of the child's output; waits until
  // some arrive. The count, 0 at end of input (the child ended or closed its
  // output), or -1 on an error, on a stream opened for writing, or when the
  // calling Thread is being stopped (the wait is woken by the stop).
  virtual std::ptrdiff_t Read(char* buffer, std::size_t length) = 0;
  // Read that gives up when no byte arrived within `milliseconds`: then
  // kTimedOut, and the stream stays usable.
  static constexpr std::ptrdiff_t kTimedOut = -2;
  virtual std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) = 0;
  // Ends the child at once (a script past its time, a reader that left).
  // Later reads give the output still in the pipe, then end or an error.
  virtual void Terminate() = 0;
  // Other modes: writes all bytes to the child's input; false on an error
  // (for example when the child has ended) or on a stream opened for reading.
  virtual bool Write(const char* bytes, std::size_t length) = 0;
  // Closes the pipe end the stream works on (the child then sees end of
  // input, or can no longer write), and waits until the child has ended.
  // Its exit code, or -1 when it cannot be told. Woken by a stop like Read
  // (the result is then -1 and the child is ended).
  virtual int WaitForExit() = 0;
};

// The longest command line the platform starts: 32766 characters on Windows
// (CreateProcess' limit without the closing 0). On Linux one argument may hold
// at most 128 KiB including its 0 byte, so lines are kept below that.
extern const std::size_t kMaxCommandLineLength;

// Starts `commandLine` (program and arguments in one text) with the parent's
// environment and current folder, without a console window. The mode's first
// character selects the stream: "r" reads the child's output, anything else
// writes its input. Nothing (and nothing left open) when the pipes cannot be
// made or the program cannot be started.
std::unique_ptr<ChildProcessStream> OpenChildProcess(const std::string& commandLine,
                                                     const std::string& mode,
                                                     const ChildProcessOptions& options = {});

// Closes the stream and the parent's other pipe end. The child is not waited
// for; a child that is still running is left to finish (on Linux it is reaped
// in the background once it ends, so no zombie stays). A child whose stream
// was woken by a stop is ended, since nobody will read it any more.
void CloseChildProcess(std::unique_ptr<ChildProcessStream> stream);
