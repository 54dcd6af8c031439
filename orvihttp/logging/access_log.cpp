#include "orvihttp/logging/access_log.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "foundation/second_text.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/logging/display_queue.h"
#include "orvihttp/logging/local_time.h"
#include "orvihttp/logging/log_escaping.h"
#include "orvihttp/logging/log_file.h"

namespace {

std::string Format(std::time_t now, const char* pattern) {
  std::tm local = LocalCalendarTime(now);
  char buffer[128];
  std::size_t length = std::strftime(buffer, sizeof buffer, pattern, &local);
  return std::string(buffer, length);
}

}  // namespace

std::string ZoneSuffix(int32_t biasMinutes) {
  int32_t hours = -(biasMinutes / 60);  // whole hours, truncated toward zero
  std::string suffix = hours < 0 ? "-" : "+";
  if (hours >= -9 && hours <= 9) suffix += "0";
  suffix += std::to_string(std::abs(hours));
  suffix += "00]";
  return suffix;
}

std::string LogTimestampAt(std::time_t now, int32_t biasMinutes) {
  return Format(now, "[%d/%b/%Y:%H:%M:%S ") + ZoneSuffix(biasMinutes);
}

std::string LogTimestamp() {
  return std::string(LogTimestampView());
}

std::string_view LogTimestampView() {
  // Formatted once a second per thread: at thousands of lines a second the
  // calendar conversion was a noticeable share of a request.
  thread_local SecondText formatted;
  const std::time_t now = std::time(nullptr);
  // Keyed by the zone too: a change of zone shows in the next line.
  const int32_t bias = StandardTimeBiasMinutes();
  const int64_t key = static_cast<int64_t>(now) * 4096 + (bias + 2048);
  return formatted.View(key, [&] { return LogTimestampAt(now, bias); });
}

std::string LocalTimestampAt(std::time_t now) {
  return Format(now, "%a, %d %b %Y %H:%M:%S");
}

namespace {
thread_local SecondText localFormatted;
}  // namespace

std::string LocalTimestamp() {
  const std::time_t now = std::time(nullptr);
  return localFormatted.For(now, [&] { return LocalTimestampAt(now); });
}

void AppendLocalTimestamp(std::string& out) {
  const std::time_t now = std::time(nullptr);
  localFormatted.AppendTo(
      now, [&] { return LocalTimestampAt(now); }, out);
}

void AppendAccessLog(ServerLogs& logs, const ServerSettings& settings, const std::string& text) {
  if (!settings.log || settings.logPath.empty()) return;
  AppendToLog(logs, &OpenLogs::access, settings.logPath, text);
}

std::string AccessLogLine(const std::string& peerAddress, const std::string& requestLine,
                          int status, int64_t bodyBytes, std::string_view timestamp,
                          const std::string& account) {
  std::string line;
  line.reserve(peerAddress.size() + account.size() + timestamp.size() + requestLine.size() + 48);
  line += peerAddress;
  line += " - ";
  if (account.empty()) {
    line += "-";
  } else {
    AppendEscapedForLog(account, line);
  }
  line += " ";
  line += timestamp;
  line += " \"";
  if (requestLine.empty()) {
    line += "Faulty request";
  } else {
    AppendEscapedForLog(requestLine, line);
  }
  line += "\" ";
  char digits[24];
  line.append(digits, std::to_chars(digits, digits + sizeof digits, status).ptr);
  line += " ";
  line.append(digits, std::to_chars(digits, digits + sizeof digits, bodyBytes).ptr);
  line += "\r\n";
  return line;
}

void LogResponse(ServerLogs& logs, const ServerSettings& settings, const std::string& peerAddress,
                 const std::string& requestLine, int status, int64_t bodyBytes,
                 const std::string& account) {
  if (settings.log) {
    AppendAccessLog(
        logs, settings,
        AccessLogLine(peerAddress, requestLine, status, bodyBytes, LogTimestampView(), account));
  }
  std::string shown;
  shown.reserve(32 + peerAddress.size() + requestLine.size() + 8);
  AppendLocalTimestamp(shown);
  shown += " - ";
  shown += peerAddress;
  shown += " - ";
  AppendEscapedForLog(requestLine, shown);
  logs.display.Post(status > 399 ? LogLineKind::Failed : LogLineKind::Answered, shown);
}

void LogServerStarted(ServerLogs& logs, const ServerSettings& settings) {
  AppendAccessLog(
      logs, settings,
      std::string("#\r\n# Started ") + kProductName + " " + LogTimestamp() + "\r\n#\r\n");
  logs.display.Post(LogLineKind::ListenerEvent, LocalTimestamp() + " --- Started " + kProductName);
}

void LogServerSocketFailed(ServerLogs& logs, const ServerSettings& settings, int port) {
  std::string portText = std::to_string(port);
  if (settings.log) {
    AppendAccessLog(
        logs, settings,
        "# Could not initialise server socket at port " + portText + " " + LogTimestamp() + "\r\n");
  }
  logs.display.Post(
      LogLineKind::ListenerEvent,
      LocalTimestamp() + " --- Could not initialise server socket at port " + portText);
}

void LogServerNotice(ServerLogs& logs, const ServerSettings& settings, const std::string& text) {
  if (settings.log) AppendAccessLog(logs, settings, "# " + text + " " + LogTimestamp() + "\r\n");
  logs.display.Post(LogLineKind::ListenerEvent, LocalTimestamp() + " --- " + text);
  std::fprintf(stderr, "%s\n", text.c_str());
}
