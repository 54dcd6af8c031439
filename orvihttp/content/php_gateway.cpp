#include "orvihttp/content/php_gateway.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include "foundation/blocking_wait.h"
#include "foundation/child_process.h"
#include "foundation/command_line.h"
#include "foundation/thread.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/php_child_slots.h"

namespace {

bool IsSafeQuery(const std::string& query) {
  for (char c : query) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == 0 || byte >= 0x80) return false;
  }
  return true;
}

std::atomic<uint32_t> phpTimeLimitMs{kPhpTimeLimitMs};

// The wall-clock end of one script's run.
class Deadline {
 public:
  explicit Deadline(uint32_t milliseconds)
      : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds)) {}
  // Milliseconds left, 0 once it has passed.
  uint32_t Left() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
  }

 private:
  std::chrono::steady_clock::time_point end_;
};

// The rest of a long script's output: first what was read ahead, then the
// child's pipe as the sender asks for it, until the child ends or its time
// is up. The child and its slot go when the response is done.
class PhpOutput : public BodySource {
 public:
  PhpOutput(std::unique_ptr<ChildProcessStream> child, std::string readAhead, Deadline deadline,
            std::unique_ptr<PhpChildSlot> slot)
      : child_(std::move(child)),
        readAhead_(std::move(readAhead)),
        deadline_(deadline),
        slot_(std::move(slot)) {}

  ~PhpOutput() override {
    // A client that left, or a HEAD request, stops the script: nobody will
    // read what it prints.
    if (!ended_) child_->Terminate();
    CloseChildProcess(std::move(child_));
  }

  std::size_t Read(char* buffer, std::size_t length) override {
    if (offset_ < readAhead_.size()) {
      const std::size_t count = std::min(length, readAhead_.size() - offset_);
      std::memcpy(buffer, readAhead_.data() + offset_, count);
      offset_ += count;
      if (offset_ == readAhead_.size()) {
        std::string().swap(readAhead_);
        offset_ = 0;
      }
      return count;
    }
    if (ended_) return 0;
    std::ptrdiff_t got = child_->ReadWithin(buffer, length, deadline_.Left());
    if (got > 0) return static_cast<std::size_t>(got);
    if (got == ChildProcessStream::kTimedOut) child_->Terminate();
    ended_ = got != ChildProcessStream::kTimedOut;
    return 0;
  }

 private:
  std::unique_ptr<ChildProcessStream> child_;
  std::string readAhead_;
  std::size_t offset_ = 0;
  Deadline deadline_;
  std::unique_ptr<PhpChildSlot> slot_;
  bool ended_ = false;
};

}  // namespace

std::optional<std::string> BuildPhpCommandLine(const std::string& phpPath,
                                               const std::string& realPath,
                                               const std::string& query) {
  if (!IsSafeQuery(query)) return std::nullopt;
  std::string line;
  const bool hasBlank = phpPath.find_first_of(" \t") != std::string::npos;
  if (hasBlank && phpPath.find('"') == std::string::npos) {
    line = "\"" + phpPath + "\"";
  } else {
    line = phpPath;
  }
  line += " -f ";
  line += QuoteCommandLineArgument(realPath);
  if (!query.empty()) {
    line += " -- ";
    line += query;
  }
  if (line.size() > kMaxCommandLineLength) return std::nullopt;
  return line;
}

bool IsPhpScriptName(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot != std::string::npos && name.compare(dot + 1, 3, "php") == 0;
}

std::optional<Response> PhpGateway(const std::string& phpPath, const std::string& realPath,
                                   const std::string& query, int port, int httpsPort) {
  std::optional<std::string> commandLine = BuildPhpCommandLine(phpPath, realPath, query);
  if (!commandLine) return ErrorPage(400, port);
  // A script may take its time, and so may the wait for a free slot.
  NoteBlockingWait();
  std::unique_ptr<PhpChildSlot> slot = AcquirePhpChildSlot(kPhpSlotWaitMs);
  if (!slot) {
    if (Thread::CurrentStopRequested()) return std::nullopt;
    return ErrorPage(503, port);
  }
  ChildProcessOptions options;
  if (httpsPort > 0) options.environment = {"HTTPS=on", "SERVER_PORT=" + std::to_string(httpsPort)};
  std::unique_ptr<ChildProcessStream> child = OpenChildProcess(*commandLine, "rt", options);
  if (!child) return ErrorPage(500, port);

  // Read ahead: a script that ends within kPhpReadAhead bytes is answered
  // with its length, as every short page is. A longer one is streamed.
  const Deadline deadline(phpTimeLimitMs.load());
  std::string output;
  char piece[4096];
  for (;;) {
    std::ptrdiff_t got = child->ReadWithin(piece, sizeof piece, deadline.Left());
    if (got == ChildProcessStream::kTimedOut) {
      child->Terminate();
      CloseChildProcess(std::move(child));
      return ErrorPage(504, port);
    }
    if (got <= 0) break;
    output.append(piece, static_cast<std::size_t>(got));
    if (output.size() >= kPhpReadAhead) {
      Response response;
      response.contentType = "text/html";
      response.stream = std::make_unique<PhpOutput>(std::move(child), std::move(output), deadline,
                                                    std::move(slot));
      response.untilClose = true;
      response.countsAsDownload = true;
      return response;
    }
  }
  CloseChildProcess(std::move(child));
  if (Thread::CurrentStopRequested()) return std::nullopt;

  Response response;
  response.contentType = "text/html";
  response.body = std::move(output);
  response.countsAsDownload = true;
  return response;
}

void SetPhpTimeLimitForTesting(uint32_t milliseconds) {
  phpTimeLimitMs.store(milliseconds == 0 ? kPhpTimeLimitMs : milliseconds);
}
