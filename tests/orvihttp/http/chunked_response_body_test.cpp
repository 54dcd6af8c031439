// A body of unknown length in HTTP/1.1 chunks, whatever the size of the
// steps the sender takes it in.
#include "orvihttp/http/chunked_response_body.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "orvihttp/content/memory_body.h"

namespace {

std::string AllInSteps(const std::string& payload, std::size_t step) {
  MemoryBody inner(std::make_shared<const std::string>(payload), 0);
  ChunkedResponseBody chunks(inner);
  std::string out;
  std::string buffer(step, '\0');
  while (std::size_t got = chunks.Read(buffer.data(), buffer.size())) out.append(buffer, 0, got);
  EXPECT_TRUE(chunks.Finished());
  EXPECT_EQ(chunks.PayloadBytes(), payload.size());
  return out;
}

std::string Unchunked(const std::string& framed) {
  std::string data;
  std::size_t at = 0;
  while (true) {
    const std::size_t lineEnd = framed.find("\r\n", at);
    if (lineEnd == std::string::npos) return "(no line end)";
    const std::size_t size = std::stoul(framed.substr(at, lineEnd - at), nullptr, 16);
    at = lineEnd + 2;
    if (size == 0) return framed.substr(at) == "\r\n" ? data : "(bad end)";
    data += framed.substr(at, size);
    if (framed.compare(at + size, 2, "\r\n") != 0) return "(bad chunk end)";
    at += size + 2;
  }
}

}  // namespace

TEST(ChunkedResponseBody, EachPieceBecomesAChunkAndTheEndAnEmptyOne) {
  EXPECT_EQ(AllInSteps("hello", 4096), "00000005\r\nhello\r\n0\r\n\r\n");
  EXPECT_EQ(AllInSteps("", 4096), "0\r\n\r\n");
}

TEST(ChunkedResponseBody, AnyStepSizeGivesTheSameBody) {
  std::string payload;
  for (int i = 0; i < 5000; ++i) payload += static_cast<char>(i * 7);
  for (const std::size_t step : {1u, 3u, 11u, 75u, 76u, 77u, 100u, 1000u, 65536u}) {
    EXPECT_EQ(Unchunked(AllInSteps(payload, step)), payload) << step;
  }
}
