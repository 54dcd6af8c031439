#include "orvihttp/content/fastcgi_records.h"

#include <gtest/gtest.h>

namespace {

std::string Record(int type, const std::string& content, int padding = 0, int id = 1) {
  const char header[8] = {1,
                          static_cast<char>(type),
                          static_cast<char>(id >> 8),
                          static_cast<char>(id & 0xFF),
                          static_cast<char>(content.size() >> 8),
                          static_cast<char>(content.size() & 0xFF),
                          static_cast<char>(padding),
                          0};
  return std::string(header, 8) + content + std::string(padding, '\0');
}

const std::string kEnd = Record(3, std::string(8, '\0'));

// The page and final state of a reply fed `step` bytes at a time.
std::pair<std::string, FastCgiReplyReader::State> Read(const std::string& reply, std::size_t step) {
  FastCgiReplyReader reader;
  std::string page;
  for (std::size_t at = 0; at < reply.size(); at += step)
    reader.Feed(reply.data() + at, std::min(step, reply.size() - at), &page);
  return {page, reader.state()};
}

}  // namespace

TEST(FastCgiReply, PageWithoutItsHeadWhateverThePieces) {
  using State = FastCgiReplyReader::State;
  const std::string reply = Record(6, "X-Powered-By: PHP\r\nContent-type: text/html\r\n", 5) +
                            Record(7, "a warning") + Record(6, "\r\nx=1\r\n\x1a") + Record(6, "") +
                            kEnd + "after the end";
  for (std::size_t step : {1u, 3u, 8u, 1000u}) {
    EXPECT_EQ(Read(reply, step), std::make_pair(std::string("x=1\r\n\x1a"), State::Ended)) << step;
  }
  // Lines may end in a line feed alone; a reply cut before its end is not ended.
  EXPECT_EQ(Read(Record(6, "Status: 404\n\nbody\n"), 2),
            std::make_pair(std::string("body\n"), State::More));
  // Another request's records, or a head that never ends, are not this reply.
  EXPECT_EQ(Read(Record(6, "a\n\nb", 0, 2) + kEnd, 4).second, State::Malformed);
  std::string endless;
  for (std::size_t lines = 0; lines * 6 <= FastCgiReplyReader::kMaxHeadBytes; ++lines)
    endless += Record(6, "X: y\r\n");
  EXPECT_EQ(Read(endless + kEnd, 4096).second, State::Malformed);
}

TEST(FastCgiRequest, LongValuesSpanRecordsWithFourByteLengths) {
  const std::string value(70000, 'v');
  const std::string request = EncodeFastCgiRequest({{"QUERY_STRING", value}, {"A", "b"}}, "");
  // BEGIN_REQUEST, then PARAMS records up to the empty one, then an empty STDIN.
  std::string params;
  std::size_t at = 16;
  for (;;) {
    ASSERT_EQ(request[at + 1], 4);
    const std::size_t length = static_cast<unsigned char>(request[at + 4]) << 8 |
                               static_cast<unsigned char>(request[at + 5]);
    params += request.substr(at + 8, length);
    at += 8 + length;
    if (length == 0) break;
  }
  EXPECT_EQ(request.substr(at), Record(5, ""));
  EXPECT_EQ(params,
            std::string("\x0C\x80\x01\x11\x70", 5) + "QUERY_STRING" + value + "\x01\x01" + "Ab");
}
