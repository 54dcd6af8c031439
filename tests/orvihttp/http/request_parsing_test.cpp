#include <gtest/gtest.h>

#include "orvihttp/http/header_fields.h"
#include "orvihttp/http/request.h"
#include "orvihttp/http/uri_decoding.h"

namespace {

DecodedUri Decode(const std::string& uri) {
  return DecodeRequestUri(uri);
}

TEST(UriDecoding, PercentAndPlusBecomeSpaces) {
  EXPECT_EQ(Decode("/a%20b.html").path, "/a b.html");
  EXPECT_EQ(Decode("/a+b.html").path, "/a b.html");
  EXPECT_EQ(Decode("/%41%62%7e").path, "/Ab~");
}

TEST(UriDecoding, Utf8IsFoldedIntoSingleBytes) {
  EXPECT_EQ(Decode("/caf%C3%A9.txt").path, "/caf\xE9.txt");
  // U+20AC keeps only its low 8 bits.
  EXPECT_EQ(Decode("/%E2%82%AC").path, "/\xAC");
  // A lone lead byte never completes; a stray continuation byte is dropped.
  EXPECT_EQ(Decode("/%E9.txt").path, "/.txt");
  EXPECT_EQ(Decode("/x%A9y").path, "/xy");
  // A 7-bit character inside a sequence is kept, and the sequence goes on.
  EXPECT_EQ(Decode("/%C3a%A9").path, "/a\xE9");
  // Four-byte sequence: U+1F600 keeps 0x00.
  EXPECT_EQ(Decode("/%F0%9F%98%80").path, std::string("/\0", 2));
}

TEST(UriDecoding, OddHexDigitsAreNotRefused) {
  // "z" counts as 35 and "!" as -15; only the low 8 bits stay.
  EXPECT_EQ(Decode("/%zz").path, "/S");
  EXPECT_EQ(Decode("/%!!").path, "/\x01");
}

TEST(UriDecoding, ShortEscapeIsMalformedAndNeverReadsPastThePath) {
  EXPECT_TRUE(Decode("/a%").malformed);
  EXPECT_TRUE(Decode("/a%4").malformed);
  EXPECT_TRUE(Decode("/a%4?x=1").malformed);
  EXPECT_FALSE(Decode("/a%41?x=1").malformed);
  EXPECT_EQ(Decode("/a%41?x=1").path, "/aA");
}

TEST(UriDecoding, AbsoluteUrisLoseSchemeAndHost) {
  EXPECT_EQ(Decode("http://example.org/docs/").path, "/docs/");
  EXPECT_EQ(Decode("http://example.org").path, "");
  EXPECT_EQ(Decode("http://example.org?q").path, "");
  EXPECT_EQ(Decode("http://example.org?q").query, "");
  // Only the exact lower-case scheme, and only with something after it.
  EXPECT_EQ(Decode("HTTP://example.org/x").path, "HTTP://example.org/x");
  EXPECT_EQ(Decode("http://").path, "http://");
}

TEST(UriDecoding, QueryIsTheRawTextAfterTheFirstQuestionMark) {
  DecodedUri uri = Decode("/x?a=1&b=%20?c");
  EXPECT_EQ(uri.path, "/x");
  EXPECT_EQ(uri.query, "a=1&b=%20?c");
  EXPECT_EQ(Decode("/x").query, "");
}

TEST(RequestLine, LineEndsAreStripped) {
  EXPECT_EQ(StripLineEnd("GET / HTTP/1.1\r\r\n"), "GET / HTTP/1.1");
  EXPECT_EQ(StripLineEnd("\r\n"), "");
  EXPECT_EQ(StripLineEnd("\n"), "");
  EXPECT_EQ(StripLineEnd("Host: a\rb\r\nrest"), "Host: a\rb");
}

TEST(RequestLine, ThreeWordsStartTheHeaders) {
  Request request;
  EXPECT_FALSE(request.FeedLine("  GET   /a%20b?x=1   HTTP/1.1   extra"));
  EXPECT_EQ(request.method, Request::Method::Get);
  EXPECT_EQ(request.path, "/a b");
  EXPECT_EQ(request.query, "x=1");
  EXPECT_EQ(request.version, "HTTP/1.1");
  EXPECT_EQ(request.requestLine, "  GET   /a%20b?x=1   HTTP/1.1   extra");
  EXPECT_EQ(request.state, Request::State::Headers);
  EXPECT_FALSE(request.FeedLine("Host: example.org"));
  EXPECT_EQ(request.headers.host, "example.org");
  EXPECT_TRUE(request.EndOfHeaders());
}

TEST(RequestLine, MethodsAreCaseSensitive) {
  const std::pair<const char*, Request::Method> cases[] = {
      {"GET", Request::Method::Get},   {"HEAD", Request::Method::Head},
      {"POST", Request::Method::Post}, {"get", Request::Method::Other},
      {"PUT", Request::Method::Put},   {"Host:", Request::Method::Other}};
  for (const auto& [word, method] : cases) {
    Request request;
    request.FeedLine(std::string(word) + " / HTTP/1.0");
    EXPECT_EQ(request.method, method) << word;
  }
}

TEST(RequestLine, ShortLinesCompleteAtOnceWithNothingKept) {
  Request request;
  EXPECT_TRUE(request.FeedLine("GET /x"));
  EXPECT_EQ(request.method, Request::Method::Get);
  EXPECT_EQ(request.version, "");
  EXPECT_EQ(request.path, "");
  EXPECT_EQ(request.requestLine, "");
  EXPECT_EQ(request.state, Request::State::RequestLine);
  EXPECT_TRUE(request.FeedLine("POST"));
  EXPECT_EQ(request.method, Request::Method::Post);
  // A line of spaces has no word; the method stays.
  EXPECT_TRUE(request.FeedLine("   "));
  EXPECT_EQ(request.method, Request::Method::Post);
}

TEST(RequestLine, BlankLineFirstMakesTheRequestLineAHeader) {
  Request request;
  EXPECT_FALSE(request.EndOfHeaders());
  EXPECT_FALSE(request.FeedLine("GET / HTTP/1.1"));
  EXPECT_TRUE(request.EndOfHeaders());
  EXPECT_EQ(request.version, "");
  EXPECT_EQ(request.method, Request::Method::None);
}

TEST(RequestLine, ResetClearsEverythingButTheMethod) {
  Request request;
  request.FeedLine("HEAD /a?b HTTP/1.1");
  request.FeedLine("Connection: close");
  request.FeedLine("Content-Length: 12");
  request.Reset();
  EXPECT_EQ(request.method, Request::Method::Head);
  EXPECT_EQ(request.path, "");
  EXPECT_EQ(request.query, "");
  EXPECT_EQ(request.version, "");
  EXPECT_EQ(request.requestLine, "");
  EXPECT_EQ(request.headers.connectionMode, HeaderFields::kNotStated);
  EXPECT_EQ(request.headers.contentLength, 0);
  EXPECT_EQ(request.state, Request::State::RequestLine);
}

TEST(HeaderLines, OnlyTheSecondWordOfExactNamesCounts) {
  HeaderFields fields;
  fields.ParseHeaderLine("Connection: close");
  EXPECT_EQ(fields.connectionMode, HeaderFields::kClose);
  fields.ParseHeaderLine("Connection: Keep-Alive");
  EXPECT_EQ(fields.connectionMode, HeaderFields::kKeepAlive);
  fields.ParseHeaderLine("Connection: close, TE");
  EXPECT_EQ(fields.connectionMode, HeaderFields::kNotStated);
  fields.ParseHeaderLine("Connection: Close");
  EXPECT_EQ(fields.connectionMode, HeaderFields::kNotStated);
  fields.ParseHeaderLine("connection: close");
  EXPECT_EQ(fields.connectionMode, HeaderFields::kNotStated);
  fields.ParseHeaderLine("Connection:close");  // one word: ignored
  EXPECT_EQ(fields.connectionMode, HeaderFields::kNotStated);

  fields.ParseHeaderLine("Host: a b");
  EXPECT_EQ(fields.host, "a");
  fields.ParseHeaderLine("Host:");
  EXPECT_EQ(fields.host, "a");
  fields.ParseHeaderLine("Host:\tx");  // a tab is part of the word
  EXPECT_EQ(fields.host, "a");
}

TEST(HeaderLines, ContentLengthReadsLeadingDigits) {
  HeaderFields fields;
  fields.ParseHeaderLine("Content-Length: 42abc");
  EXPECT_EQ(fields.contentLength, 42);
  fields.ParseHeaderLine("Content-Length: abc");
  EXPECT_EQ(fields.contentLength, 0);
  fields.ParseHeaderLine("Content-Length: -7");
  EXPECT_EQ(fields.contentLength, -7);
  fields.ParseHeaderLine("Content-Length: 5000000000");
  EXPECT_EQ(fields.contentLength, 5000000000LL);
  fields.ParseHeaderLine("Content-Length: 99999999999999999999999999999");
  EXPECT_EQ(fields.contentLength, INT64_MAX);
}

}  // namespace
