#include <gtest/gtest.h>

#include <ctime>
#include <set>

#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/http_date.h"
#include "orvihttp/http/error_response.h"
#include "orvihttp/http/header_fields.h"
#include "orvihttp/http/mime_table.h"

namespace {

const char kDate[] = "Sun, 06 Dec 2026 01:15:29 GMT";

TEST(HeaderBlock, LinesComeInTheirFixedOrder) {
  HeaderFields fields;
  fields.contentLength = 10;
  fields.contentType = "image/gif";
  fields.lastModified = "Tue, 14 Nov 2023 22:13:20 GMT";
  EXPECT_EQ(fields.BuildHeaderBlockWithDate(kDate),
            "Connection: Keep-Alive\r\n"
            "Date: Sun, 06 Dec 2026 01:15:29 GMT\r\n"
            "Server: Orvi HTTP Server " ORVI_VERSION_TEXT
            "\r\n"
            "Content-Type: image/gif\r\n"
            "Content-Length: 10\r\n"
            "Last-Modified: Tue, 14 Nov 2023 22:13:20 GMT\r\n"
            "\r\n");
  EXPECT_EQ(fields.date, kDate);
}

TEST(HeaderBlock, EmptyTypeIsTextPlainAndOnlyTextTypesGetTheCharset) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "text/plain; charset=ISO-8859-1"},
      {"text", "text; charset=ISO-8859-1"},
      {"text/html", "text/html; charset=ISO-8859-1"},
      {"tex", "tex"},
      {"Text/html", "Text/html"},
      {"image/png", "image/png"},
  };
  for (const auto& [type, line] : cases) {
    HeaderFields fields;
    fields.contentType = type;
    std::string block = fields.BuildHeaderBlockWithDate(kDate);
    EXPECT_NE(
        block.find(std::string("\r\nContent-Type: ") + line + "\r\nContent-Length: 0\r\n\r\n"),
        std::string::npos)
        << block;
  }
}

TEST(HeaderBlock, CloseModeAndLargeLengths) {
  HeaderFields fields;
  fields.connectionMode = HeaderFields::kClose;
  fields.contentLength = 3000000000LL;  // above 2 GiB: the true length
  std::string block = fields.BuildHeaderBlockWithDate(kDate);
  EXPECT_EQ(block.rfind("Connection: close\r\n", 0), 0u);
  EXPECT_NE(block.find("\r\nContent-Length: 3000000000\r\n"), std::string::npos);
  fields.connectionMode = HeaderFields::kKeepAlive;
  EXPECT_EQ(fields.BuildHeaderBlockWithDate(kDate).rfind("Connection: Keep-Alive\r\n", 0), 0u);
}

TEST(HeaderBlock, ContentTypeComesFromTheTextAfterTheLastDot) {
  const std::pair<const char*, const char*> cases[] = {{"index.html", "text/html"},
                                                       {"style.css", "text/css"},
                                                       {"app.js", "application/x-javascript"},
                                                       {"logo.png", "image/png"},
                                                       {"photo.jpg", "image/jpeg"},
                                                       {"photo.jpeg", "image/jpeg"},
                                                       {"notes.txt", "text/plain"},
                                                       {"favicon.ico", "image/x-icon"},
                                                       {"PAGE.HTML", "text/plain"},
                                                       {"archive.tar.gz", "text/plain"},
                                                       {"script.php", "text/plain"},
                                                       {"ends.", "text/plain"},
                                                       {"lib.so", "application/octet-stream"}};
  for (const auto& [name, type] : cases) {
    HeaderFields fields;
    fields.SetContentTypeForName(name);
    EXPECT_EQ(fields.contentType, type) << name;
  }
  HeaderFields fields;
  fields.contentType = "kept";
  fields.SetContentTypeForName("README");
  EXPECT_EQ(fields.contentType, "kept");
}

TEST(MimeTable, HasAllRowsWithUniqueExtensions) {
  std::vector<MimeRow> rows = MimeTableRows();
  ASSERT_EQ(rows.size(), 108u);
  std::size_t extensions = 0;
  std::set<std::string> seen;
  for (const MimeRow& row : rows) {
    for (const std::string& extension : row.extensions) {
      ++extensions;
      EXPECT_TRUE(seen.insert(extension).second) << extension;
      EXPECT_EQ(ContentTypeFor(extension), row.type);
    }
  }
  EXPECT_EQ(extensions, 154u);
  EXPECT_EQ(rows.front().type, "application/andrew-inset");
  EXPECT_EQ(rows[64].type, "application/vnd.rn-realmedia");
  EXPECT_EQ(rows.back().type, "x-conference/x-cooltalk");
  EXPECT_EQ(ContentTypeFor("gz"), "text/plain");
  EXPECT_EQ(ContentTypeFor(""), "text/plain");
  EXPECT_EQ(ContentTypeFor("svg"), "image/svg+xml");
}

TEST(ErrorResponses, StatusOnlyBodiesAreTextPlain) {
  const std::pair<int, const char*> cases[] = {{400, "400 Bad request"},
                                               {500, "500 Internal server error"},
                                               {501, "501 Not implemented"},
                                               {505, "505 HTTP version not supported"}};
  for (const auto& [code, body] : cases) {
    ErrorResponse response = BuildErrorResponseWithDate(code, 80, kDate);
    EXPECT_EQ(response.body, body);
    EXPECT_EQ(response.head, "HTTP/1.1 " + std::to_string(code) +
                                 "\r\n"
                                 "Connection: Keep-Alive\r\n"
                                 "Date: Sun, 06 Dec 2026 01:15:29 GMT\r\n"
                                 "Server: Orvi HTTP Server " ORVI_VERSION_TEXT
                                 "\r\n"
                                 "Content-Type: text/plain; charset=ISO-8859-1\r\n"
                                 "Content-Length: " +
                                 std::to_string(std::string(body).size()) + "\r\n\r\n");
  }
}

TEST(ErrorResponses, PagesNameThePort) {
  ErrorResponse notFound = BuildErrorResponseWithDate(404, 8080, kDate);
  EXPECT_EQ(notFound.body,
            "<html>\r\n<head>\r\n<title>404 Page not found</title>\r\n</head>\r\n<body>\r\n"
            "<h1>Page not found</h1>\r\nThe requested URL was not found on this server.\r\n"
            "<hr><i>Orvi HTTP Server " ORVI_VERSION_TEXT " at port 8080.</body></html>");
  EXPECT_NE(notFound.head.find("Content-Type: text/html; charset=ISO-8859-1\r\nContent-Length: " +
                               std::to_string(notFound.body.size()) + "\r\n\r\n"),
            std::string::npos);
  ErrorResponse forbidden = BuildErrorResponseWithDate(403, 81, kDate);
  EXPECT_EQ(forbidden.body,
            "<html>\r\n<head>\r\n<title>403 Forbidden</title>\r\n</head>\r\n<body>\r\n"
            "<h1>Forbidden</h1>\r\nYou do not have access to the requested URL on this server.\r\n"
            "<hr><i>Orvi HTTP Server " ORVI_VERSION_TEXT " at port 81.</body></html>");
  EXPECT_EQ(forbidden.head.rfind("HTTP/1.1 403\r\n", 0), 0u);
  ErrorResponse other = BuildErrorResponseWithDate(302, 80, kDate);
  EXPECT_EQ(other.body, "");
  EXPECT_NE(other.head.find("Content-Length: 0\r\n"), std::string::npos);
}

TEST(HttpDate, MatchesStrftimeInGmt) {
  const int64_t moments[] = {0, 951782400 /* 2000-02-29 */, 1700000000, 1796519729,
                             4102444799 /* 2099-12-31 23:59:59 */};
  for (int64_t moment : moments) {
    std::time_t time = static_cast<std::time_t>(moment);
    char expected[64];
    std::strftime(expected, sizeof expected, "%a, %d %b %Y %H:%M:%S GMT", std::gmtime(&time));
    EXPECT_EQ(FormatHttpDate(moment), expected);
  }
  EXPECT_EQ(FormatHttpDate(1796519729), kDate);
}

}  // namespace
