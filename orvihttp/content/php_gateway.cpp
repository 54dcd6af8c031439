#include "orvihttp/content/php_gateway.h"

#include <memory>

#include "foundation/child_process.h"
#include "foundation/command_line.h"
#include "foundation/settings.h"
#include "foundation/thread.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/content/error_page.h"

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

bool IsPhpScriptName(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot != std::string::npos && name.compare(dot + 1, 3, "php") == 0;
}

std::optional<Response> PhpGateway(const std::string& realPath, const std::string& query) {
  std::optional<std::string> commandLine =
      BuildPhpCommandLine(GetSetting(kPhpPath), realPath, query);
  if (!commandLine) return ErrorPage(400, GetSetting(kPort));
  std::unique_ptr<ChildProcessStream> child = OpenChildProcess(*commandLine, "rt");
  if (!child) return ErrorPage(500, GetSetting(kPort));

  // The header block announces the output's length, so the output is read
  // whole before anything is sent; the limit bounds what that may cost.
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
  if (Thread::CurrentStopRequested()) return std::nullopt;
  if (tooLong) return ErrorPage(500, GetSetting(kPort));

  Response response;
  response.contentType = "text/html";
  response.body = std::move(output);
  response.countsAsDownload = true;
  return response;
}
