#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "orvihttp/config/server_settings.h"
#include "orvihttp/logging/server_logs.h"

// The text access log (file named by `LogPath`, written while `Log` is on)
// and the display lines of the Log page (posted whatever `Log` says).

// "[06/Dec/2026:01:15:29 +0100]": local time and the standard-time zone in
// whole hours.
std::string LogTimestamp();
// The same as a view of this thread's copy, good until its next call.
std::string_view LogTimestampView();
// The same for a given time and bias (minutes west of UTC).
std::string LogTimestampAt(std::time_t now, int32_t biasMinutes);
// "+0100]" and the like: the stamp's end for a bias.
std::string ZoneSuffix(int32_t biasMinutes);

// "Sun, 06 Dec 2026 01:15:29": local time, as the Log page shows it.
std::string LocalTimestamp();
// The same, appended to `out`.
void AppendLocalTimestamp(std::string& out);
std::string LocalTimestampAt(std::time_t now);

// Appends `text` to `LogPath` in one write when `Log` is on and the path
// is not empty. Lost silently when the file cannot be written.
void AppendAccessLog(ServerLogs& logs, const ServerSettings& settings, const std::string& text);

// One access-log line: peer - user [stamp] "request line" status size\r\n,
// with "-" for the user when nobody signed in. An empty request line is
// logged as "Faulty request"; any other, and the account's name, are escaped
// (log_escaping.h) so a client cannot forge lines.
std::string AccessLogLine(const std::string& peerAddress, const std::string& requestLine,
                          int status, int64_t bodyBytes, std::string_view timestamp,
                          const std::string& account = "");

// Logs one response after it was sent: the access-log line when `Log` is on,
// then always the display line (kind 3 for status above 399, else 2).
// `bodyBytes` is 0 for HEAD and bodiless responses. `settings` are the ones
// the request was served under.
void LogResponse(ServerLogs& logs, const ServerSettings& settings, const std::string& peerAddress,
                 const std::string& requestLine, int status, int64_t bodyBytes,
                 const std::string& account = "");

// The listener's events: comment lines in the access log and display lines
// of kind 0. After LogServerSocketFailed the listener reports the failure to
// its caller, which shows the "Cannot initialise server socket" message box.
void LogServerStarted(ServerLogs& logs, const ServerSettings& settings);
void LogServerSocketFailed(ServerLogs& logs, const ServerSettings& settings, int port);
// A notice of the server (the HTTPS port opened or why it stays closed, a
// wrong password, a file of accounts or rights that could not be read): a
// comment line in the access log, a display line of kind 0, and the same on
// standard error, where a server without a window is read.
void LogServerNotice(ServerLogs& logs, const ServerSettings& settings, const std::string& text);
