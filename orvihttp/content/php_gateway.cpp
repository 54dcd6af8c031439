#include "orvihttp/content/php_gateway.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <variant>
#include <vector>

#include "foundation/blocking_wait.h"
#include "foundation/child_process.h"
#include "foundation/command_line.h"
#include "foundation/listening_child.h"
#include "foundation/thread.h"
#include "orvihttp/content/error_page.h"
#include "orvihttp/content/fastcgi_records.h"
#include "orvihttp/content/php_child_slots.h"
#include "orvihttp/content/php_process_pool.h"

namespace {

bool IsSafeQuery(const std::string& query) {
  for (char c : query) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == 0 || byte >= 0x80) return false;
  }
  return true;
}

std::atomic<uint32_t> phpTimeLimitMs{kPhpTimeLimitMs};

// What a script learns of a request that came over HTTPS (on `httpsPort`,
// 0 for plain HTTP), where scripts look for it.
std::vector<std::string> HttpsEnvironment(int httpsPort) {
  if (httpsPort <= 0) return {};
  return {"HTTPS=on", "SERVER_PORT=" + std::to_string(httpsPort)};
}

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

// One script's run, whichever way PHP runs: the page's bytes as they come.
class ScriptRun {
 public:
  virtual ~ScriptRun() = default;
  // Up to `length` bytes of the page, waiting at most `milliseconds`: the
  // count, 0 at the page's end, kTimedOut, or kBrokeOff when the program
  // went away before the end (or the calling Thread is being stopped).
  static constexpr std::ptrdiff_t kTimedOut = -2;
  static constexpr std::ptrdiff_t kBrokeOff = -1;
  virtual std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) = 0;
  // Ends the run before its end: nobody will read the rest.
  virtual void Terminate() = 0;
};

// A PHP program started for this one request; its output is the page. Its
// end, whatever the cause, ends the page, as it always has.
class CgiRun : public ScriptRun {
 public:
  CgiRun(std::unique_ptr<ChildProcessStream> child, std::unique_ptr<PhpChildSlot> slot)
      : child_(std::move(child)), slot_(std::move(slot)) {}
  ~CgiRun() override {
    if (!ended_) child_->Terminate();
    CloseChildProcess(std::move(child_));
  }
  std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) override {
    std::ptrdiff_t got = child_->ReadWithin(buffer, length, milliseconds);
    if (got == ChildProcessStream::kTimedOut) return kTimedOut;
    if (got <= 0) {
      ended_ = true;
      return 0;
    }
    return got;
  }
  void Terminate() override { child_->Terminate(); }

 private:
  std::unique_ptr<ChildProcessStream> child_;
  std::unique_ptr<PhpChildSlot> slot_;
  bool ended_ = false;
};

// A request handed to a PHP program of the pool over FastCGI. The program
// goes back to the pool when the page ended properly, and is ended otherwise.
class FastCgiRun : public ScriptRun {
 public:
  FastCgiRun(std::unique_ptr<PhpProcessPool::Lease> lease,
             std::unique_ptr<LocalConnection> connection)
      : lease_(std::move(lease)), connection_(std::move(connection)) {}
  ~FastCgiRun() override {
    // The connection goes before the program is given back.
    connection_.reset();
    if (reader_.state() != FastCgiReplyReader::State::Ended) lease_->Discard();
  }
  std::ptrdiff_t ReadWithin(char* buffer, std::size_t length, uint32_t milliseconds) override {
    while (offset_ == page_.size()) {
      page_.clear();
      offset_ = 0;
      if (reader_.state() == FastCgiReplyReader::State::Ended) return 0;
      if (reader_.state() == FastCgiReplyReader::State::Malformed) return kBrokeOff;
      char piece[16 * 1024];
      std::ptrdiff_t got = connection_->ReadWithin(piece, sizeof piece, milliseconds);
      if (got == LocalConnection::kTimedOut) return kTimedOut;
      if (got <= 0) return kBrokeOff;
      reader_.Feed(piece, static_cast<std::size_t>(got), &page_);
    }
    const std::size_t count = std::min(length, page_.size() - offset_);
    std::memcpy(buffer, page_.data() + offset_, count);
    offset_ += count;
    return static_cast<std::ptrdiff_t>(count);
  }
  void Terminate() override { lease_->Discard(); }

 private:
  std::unique_ptr<PhpProcessPool::Lease> lease_;
  std::unique_ptr<LocalConnection> connection_;
  FastCgiReplyReader reader_;
  std::string page_;  // page bytes read but not yet taken
  std::size_t offset_ = 0;
};

// The rest of a long script's output: first what was read ahead, then the
// run as the sender asks for it, until it ends or its time is up. The run
// goes when the response is done.
class PhpOutput : public BodySource {
 public:
  PhpOutput(std::unique_ptr<ScriptRun> run, std::string readAhead, Deadline deadline)
      : run_(std::move(run)), readAhead_(std::move(readAhead)), deadline_(deadline) {}

  ~PhpOutput() override {
    // A client that left, or a HEAD request, stops the script: nobody will
    // read what it prints.
    if (!ended_) run_->Terminate();
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
    std::ptrdiff_t got = run_->ReadWithin(buffer, length, deadline_.Left());
    if (got > 0) return static_cast<std::size_t>(got);
    if (got == ScriptRun::kTimedOut) run_->Terminate();
    ended_ = got == 0;
    return 0;
  }

 private:
  std::unique_ptr<ScriptRun> run_;
  std::string readAhead_;
  std::size_t offset_ = 0;
  Deadline deadline_;
  bool ended_ = false;
};

// The parameters a FastCGI program runs the script with: the query (or
// POST body) as the query string, as the command line gives it to a program
// started per request, and the HTTPS variables as that one gets them in its
// environment.
FastCgiParams ScriptParams(const std::string& realPath, const std::string& query, int httpsPort) {
  FastCgiParams params = {{"SCRIPT_FILENAME", realPath},
                          {"QUERY_STRING", query},
                          {"REQUEST_METHOD", "GET"},
                          {"GATEWAY_INTERFACE", "CGI/1.1"}};
  for (const std::string& entry : HttpsEnvironment(httpsPort)) {
    const std::size_t equals = entry.find('=');
    params.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
  }
  return params;
}

// Starts the run of a script, or the error page that answers instead.
std::variant<std::unique_ptr<ScriptRun>, Response> StartRun(
    const std::string& phpPath, const std::string& realPath, const std::string& query,
    const std::string& commandLine, int port, int httpsPort, PhpProcessPool* pool) {
  if (!pool) {
    std::unique_ptr<PhpChildSlot> slot = AcquirePhpChildSlot(kPhpSlotWaitMs);
    if (!slot) return ErrorPage(503, port);
    ChildProcessOptions options;
    options.environment = HttpsEnvironment(httpsPort);
    std::unique_ptr<ChildProcessStream> child = OpenChildProcess(commandLine, "rt", options);
    if (!child) return ErrorPage(500, port);
    return std::make_unique<CgiRun>(std::move(child), std::move(slot));
  }
  const std::string request = EncodeFastCgiRequest(ScriptParams(realPath, query, httpsPort), "");
  // A program that ended between requests (killed, or done with its share)
  // is found out when it does not take the request: the next one is asked.
  for (int attempt = 0; attempt < 2; ++attempt) {
    PhpProcessPool::Failure failure = PhpProcessPool::Failure::None;
    std::unique_ptr<PhpProcessPool::Lease> lease = pool->Acquire(phpPath, kPhpSlotWaitMs, &failure);
    if (!lease) return ErrorPage(failure == PhpProcessPool::Failure::CannotStart ? 500 : 503, port);
    std::unique_ptr<LocalConnection> connection = lease->program().Connect(kPhpSlotWaitMs);
    if (connection && connection->Write(request.data(), request.size())) {
      return std::make_unique<FastCgiRun>(std::move(lease), std::move(connection));
    }
    lease->Discard();
    if (Thread::CurrentStopRequested()) break;
  }
  return ErrorPage(502, port);
}

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
                                   const std::string& query, int port, int httpsPort,
                                   PhpProcessPool* fastCgiPool) {
  // The same requests are refused either way PHP runs, so a page works or
  // fails alike in both.
  std::optional<std::string> commandLine = BuildPhpCommandLine(phpPath, realPath, query);
  if (!commandLine) return ErrorPage(400, port);
  // A script may take its time, and so may the wait for a free program.
  NoteBlockingWait();
  auto started = StartRun(phpPath, realPath, query, *commandLine, port, httpsPort, fastCgiPool);
  if (Response* refused = std::get_if<Response>(&started)) {
    if (Thread::CurrentStopRequested()) return std::nullopt;
    return std::move(*refused);
  }
  std::unique_ptr<ScriptRun> run = std::move(std::get<std::unique_ptr<ScriptRun>>(started));

  // Read ahead: a script that ends within kPhpReadAhead bytes is answered
  // with its length, as every short page is. A longer one is streamed.
  const Deadline deadline(phpTimeLimitMs.load());
  std::string output;
  char piece[4096];
  for (;;) {
    std::ptrdiff_t got = run->ReadWithin(piece, sizeof piece, deadline.Left());
    if (got == ScriptRun::kTimedOut) {
      run->Terminate();
      return ErrorPage(504, port);
    }
    if (got == ScriptRun::kBrokeOff) {
      run->Terminate();
      if (Thread::CurrentStopRequested()) return std::nullopt;
      return ErrorPage(502, port);
    }
    if (got == 0) break;
    output.append(piece, static_cast<std::size_t>(got));
    if (output.size() >= kPhpReadAhead) {
      Response response;
      response.contentType = "text/html";
      response.stream = std::make_unique<PhpOutput>(std::move(run), std::move(output), deadline);
      response.untilClose = true;
      response.countsAsDownload = true;
      return response;
    }
  }
  run.reset();
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
