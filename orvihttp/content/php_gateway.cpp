#include "orvihttp/content/php_gateway.h"

#include <memory>

#include "foundation/child_process.h"
#include "foundation/command_line.h"
#include "foundation/settings.h"
#include "foundation/thread.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/connection.h"
#include "orvihttp/http/error_response.h"
#include "orvihttp/http/header_fields.h"
#include "orvihttp/logging/access_log.h"
#include "orvihttp/logging/binary_log.h"

namespace {

bool IsSafeQuery(const std::string& query) {
  for (char c : query) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte == 0 || byte >= 0x80) return false;
  }
  return true;
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

void PhpGateway(Connection& connection, const std::string& realPath) {
  const Request& request = connection.CurrentRequest();
  std::optional<std::string> commandLine =
      BuildPhpCommandLine(GetSetting(kPhpPath), realPath, request.query);
  if (!commandLine) {
    connection.SendErrorResponse(400);
    return;
  }
  std::unique_ptr<ChildProcessStream> child = OpenChildProcess(*commandLine, "rt");
  if (!child) {
    connection.SendErrorResponse(500);
    return;
  }

  std::string output;
  char piece[4096];
  bool tooLong = false;
  for (;;) {
    std::ptrdiff_t got = child->Read(piece, sizeof piece);
    if (got <= 0) break;
    if (output.size() + static_cast<std::size_t>(got) > kMaxPhpOutput) {
      tooLong = true;
      break;
    }
    output.append(piece, static_cast<std::size_t>(got));
  }
  CloseChildProcess(std::move(child));
  // The connection is being stopped: nobody waits for the answer.
  if (Thread::CurrentStopRequested()) return;
  if (tooLong) {
    connection.SendErrorResponse(500);
    return;
  }

  HeaderFields fields;
  fields.contentType = "text/html";
  fields.contentLength = static_cast<int64_t>(output.size());
  const std::string head = StatusLine(200) + fields.BuildHeaderBlock();
  const bool headOnly = request.method == Request::kHead;
  connection.Socket().Send(headOnly ? head : head + output);
  LogRequestSucceeded(connection.PeerAddress());
  if (headOnly) {
    LogResponse(connection.PeerAddress(), request.requestLine, 200, 0);
    return;
  }
  LogResponse(connection.PeerAddress(), request.requestLine, 200,
              static_cast<int64_t>(output.size()));
  LogFileDownloaded(connection.PeerAddress(), connection.CurrentActivity(), output.size());
}
