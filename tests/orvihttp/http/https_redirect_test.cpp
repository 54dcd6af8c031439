#include "orvihttp/http/https_redirect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

Request Parse(const std::vector<std::string>& lines) {
  Request request;
  for (const std::string& line : lines) request.FeedLine(line);
  request.EndOfHeaders();
  return request;
}

std::string LocationFor(const std::vector<std::string>& lines, int port = 8443) {
  Response response = HttpsRedirect(Parse(lines), port, "192.168.1.5");
  EXPECT_EQ(response.status, 301);
  return response.location;
}

TEST(HttpsRedirect, SameTargetUnderTheClientsNameOnTheHttpsPort) {
  EXPECT_EQ(LocationFor({"GET /a%20b/c.txt?x=1 HTTP/1.1", "Host: files.example:8080"}),
            "https://files.example:8443/a%20b/c.txt?x=1");
  EXPECT_EQ(LocationFor({"GET / HTTP/1.1", "Host: [::1]:80"}), "https://[::1]:8443/");
  EXPECT_EQ(LocationFor({"HEAD /x HTTP/1.1", "Host: example.org"}, 443), "https://example.org/x");
  // No name from the client, or one that could forge the line: the address
  // it reached.
  EXPECT_EQ(LocationFor({"GET /x HTTP/1.0"}), "https://192.168.1.5:8443/x");
  EXPECT_EQ(LocationFor({"GET /x HTTP/1.1", "Host: evil.example/path@"}),
            "https://192.168.1.5:8443/x");
  // A target that is not a plain path goes to the top.
  EXPECT_EQ(LocationFor({"GET http://other/x HTTP/1.1", "Host: h"}), "https://h:8443/");
}

}  // namespace
