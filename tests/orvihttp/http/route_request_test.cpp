// The routing on its own: a request, the settings it is served under and a
// tree of real files in, the answer out, without a socket.
#include "orvihttp/http/route_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvihttp/content/virtual_directory.h"
#include "tests/support/test_support.h"

namespace {

Request Parse(const std::vector<std::string>& lines) {
  Request request;
  for (const std::string& line : lines) request.FeedLine(line);
  request.EndOfHeaders();
  return request;
}

std::string BodyOf(Response& response) {
  if (!response.stream) return response.body;
  std::string bytes(static_cast<std::size_t>(response.streamSize), '\0');
  bytes.resize(response.stream->Read(bytes.data(), bytes.size()));
  return bytes;
}

class Routing : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteFileBytes(folder_.File("a.txt"), "0123456789"));
    ASSERT_TRUE(WriteFileBytes(folder_.File("index.html"), "<p>index</p>"));
    ASSERT_TRUE(WriteFileBytes(folder_.File("s.php"), "<?php echo 1;"));
    directory_.AddFile("", "a.txt", folder_.File("a.txt"));
    directory_.AddFile("", "s.php", folder_.File("s.php"));
    directory_.AddFile("", "gone.txt", folder_.File("gone.txt"));
    directory_.AddFolder("", "docs");
    directory_.AddFile("/docs", "index.html", folder_.File("index.html"));
    directory_.AddFolder("", "empty");
    settings_.port = 8123;
    settings_.autoLoadIndex = true;
  }

  Response Route(const std::vector<std::string>& lines) {
    served_.clear();
    std::optional<Response> response =
        RouteRequest(Parse(lines), RouteContext{settings_, directory_},
                     [this](const std::string& name) { served_ = name; });
    EXPECT_TRUE(response.has_value());
    return response ? std::move(*response) : Response{};
  }

  TempFolder folder_;
  VirtualDirectory directory_;
  ServerSettings settings_;
  std::string served_;
};

TEST_F(Routing, FilesPartsIndexesListingsAndRefusals) {
  Response whole = Route({"GET /a.txt HTTP/1.1", "Host: x"});
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.contentType, "text/plain");
  EXPECT_FALSE(whole.acceptsRanges) << "not advertised by default";
  EXPECT_TRUE(whole.countsAsDownload);
  EXPECT_EQ(BodyOf(whole), "0123456789");
  EXPECT_EQ(served_, "a.txt");

  Response part = Route({"GET /a.txt HTTP/1.1", "Host: x", "Range: bytes=2-4"});
  EXPECT_EQ(part.status, 206);
  EXPECT_TRUE(part.acceptsRanges);
  EXPECT_EQ(part.contentRange, "bytes 2-4/10");
  EXPECT_EQ(BodyOf(part), "234");

  settings_.advertiseRanges = true;
  EXPECT_TRUE(Route({"GET /a.txt HTTP/1.0"}).acceptsRanges);
  EXPECT_EQ(
      Route({"GET /a.txt HTTP/1.0", "If-Modified-Since: Fri, 01 Jan 2100 00:00:00 GMT"}).status,
      304);
  EXPECT_EQ(Route({"GET /a.txt HTTP/1.0", "Range: bytes=50-"}).status, 416);

  Response index = Route({"GET /docs HTTP/1.0"});
  EXPECT_EQ(BodyOf(index), "<p>index</p>");
  EXPECT_EQ(served_, "index.html");

  settings_.dirView = false;
  Response refused = Route({"GET /empty/ HTTP/1.0"});
  EXPECT_EQ(refused.status, 403);
  EXPECT_NE(refused.body.find("8123"), std::string::npos) << "error pages name the port";
  settings_.dirView = true;
  Response listing = Route({"GET /empty/ HTTP/1.0"});
  EXPECT_EQ(listing.status, 200);
  EXPECT_EQ(listing.activity, "directory listing");
  EXPECT_NE(listing.body.find("8123"), std::string::npos);

  EXPECT_EQ(Route({"GET /nothing HTTP/1.0"}).status, 404);
  EXPECT_EQ(Route({"GET /gone.txt HTTP/1.0"}).status, 404) << "an entry whose file is missing";
}

TEST_F(Routing, OnlyARunnableScriptTakesTheBody) {
  const Request post = Parse({"POST /s.php HTTP/1.0", "Content-Length: 3"});
  EXPECT_FALSE(RouteUsesBody(post, RouteContext{settings_, directory_}));
  Response asFile = Route({"GET /s.php HTTP/1.0"});
  EXPECT_EQ(BodyOf(asFile), "<?php echo 1;") << "PHP off: the script is a file";
  settings_.phpEnable = true;
  EXPECT_FALSE(RouteUsesBody(post, RouteContext{settings_, directory_})) << "no program chosen";
  settings_.phpPath = "php-cgi";
  EXPECT_TRUE(RouteUsesBody(post, RouteContext{settings_, directory_}));
  EXPECT_FALSE(RouteUsesBody(Parse({"POST /a.txt HTTP/1.0", "Content-Length: 3"}),
                             RouteContext{settings_, directory_}));
}

}  // namespace
