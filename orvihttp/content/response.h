#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Where a streamed body comes from. The sender pulls it piece by piece at the
// pace the download cap allows, so a large body is never held whole in memory.
class BodySource {
 public:
  virtual ~BodySource() = default;
  // Up to `length` bytes into `buffer`; 0 at the end or when reading fails.
  virtual std::size_t Read(char* buffer, std::size_t length) = 0;
  // Reading goes on from `offset` bytes into the body; false when the body
  // cannot get there (or cannot move at all).
  virtual bool Seek(uint64_t offset) {
    (void)offset;
    return false;
  }
  // The caller promises to leave each buffer it reads into as it is until
  // its next Read or ReleaseBuffer(), so the body may go on working on those
  // bytes after Read has returned, while they are sent.
  virtual void KeepBuffersUntilNextRead() {}
  // Waits until the body is done with the buffer of the last Read; the
  // caller may then change or free it.
  virtual void ReleaseBuffer() {}
  // The rest of the body when it is already whole in memory, so that it can
  // be sent from where it is; empty when it is not (or nothing is left).
  virtual std::string_view InMemory() const { return {}; }
};

// What to answer one request with. The handlers (file, listing, PHP script,
// error page) fill it in; the connection sends the status line, the header
// block and the body, and writes the response's log lines and records.
struct Response {
  int status = 200;
  std::string contentType;   // "" goes out as text/plain
  std::string lastModified;  // no Last-Modified line when ""
  // Tells the client that it may ask for parts of the body
  // ("Accept-Ranges: bytes").
  bool acceptsRanges = false;
  // No Content-Range line when "".
  std::string contentRange;
  // No Range line when "": how much of a resumable upload arrived.
  std::string range;
  // No Location line when "" (a redirect's target).
  std::string location;
  // No WWW-Authenticate line when "" (a 401's challenge), no Set-Cookie
  // line when "" (a sign-in's session).
  std::string wwwAuthenticate;
  std::string setCookie;
  // The body is `body`, or, when `stream` is set, the `streamSize` bytes it
  // yields.
  std::string body;
  std::unique_ptr<BodySource> stream;
  uint64_t streamSize = 0;
  // A stream whose length is not known ahead (a script still printing): it
  // goes out without Content-Length, with "Connection: close", and the body
  // ends where the connection does. `streamSize` plays no part then.
  bool untilClose = false;
  // With `untilClose`: an HTTP/1.1 client gets the body in chunks instead
  // ("Transfer-Encoding: chunked"), so the connection stays open after it.
  bool chunkedForHttp11 = false;
  // "Accept-Ranges: none": a body made while it is sent has no parts.
  bool refusesRanges = false;
  // No Content-Disposition line when "" (a download's file name).
  std::string contentDisposition;
  // A file or script output: once the body went out, the binary log records
  // it as downloaded under the connection's activity.
  bool countsAsDownload = false;
  // When not "", what the connection shows as its activity from now on.
  std::string activity;

  int64_t ContentLength() const {
    return stream ? static_cast<int64_t>(streamSize) : static_cast<int64_t>(body.size());
  }
};
