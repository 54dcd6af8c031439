#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "foundation/file_text.h"
#include "foundation/settings.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/ip_blacklist.h"
#include "orvihttp/http/listener.h"
#include "orvihttp/logging/binary_log.h"
#include "orvihttp/logging/display_queue.h"
#include "orvihttp/ui/server_socket_error.h"
#include "tests/orvihttp/http/http_test_client.h"
#include "tests/orvihttp/http/message_box_answerer.h"
#include "tests/orvihttp/http/server_fixture.h"

namespace {

std::string FileResponse(const std::string& contentType, const std::string& body,
                         bool withBody = true) {
  return "HTTP/1.1 200\r\n"
         "Connection: Keep-Alive\r\n"
         "Date: <date>\r\n"
         "Server: Orvi HTTP Server " ORVI_VERSION_TEXT
         "\r\n"
         "Content-Type: " +
         contentType +
         "\r\n"
         "Content-Length: " +
         std::to_string(body.size()) +
         "\r\n"
         "Last-Modified: Tue, 14 Nov 2023 22:13:20 GMT\r\n"
         "\r\n" +
         (withBody ? body : "");
}

std::string StatusResponse(int code, const std::string& type, const std::string& body,
                           bool withBody = true) {
  return "HTTP/1.1 " + std::to_string(code) +
         "\r\n"
         "Connection: Keep-Alive\r\n"
         "Date: <date>\r\n"
         "Server: Orvi HTTP Server " ORVI_VERSION_TEXT
         "\r\n"
         "Content-Type: " +
         type +
         "\r\n"
         "Content-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + (withBody ? body : "");
}

std::string PlainError(int code, const std::string& text) {
  return StatusResponse(code, "text/plain; charset=ISO-8859-1", text);
}

std::string NotFoundPage(int port) {
  return "<html>\r\n<head>\r\n<title>404 Page not found</title>\r\n</head>\r\n<body>\r\n"
         "<h1>Page not found</h1>\r\nThe requested URL was not found on this server.\r\n"
         "<hr><i>Orvi HTTP Server " ORVI_VERSION_TEXT " at port " +
         std::to_string(port) + ".</body></html>";
}

std::string ForbiddenPage(int port) {
  return "<html>\r\n<head>\r\n<title>403 Forbidden</title>\r\n</head>\r\n<body>\r\n"
         "<h1>Forbidden</h1>\r\nYou do not have access to the requested URL on this server.\r\n"
         "<hr><i>Orvi HTTP Server " ORVI_VERSION_TEXT " at port " +
         std::to_string(port) + ".</body></html>";
}

const char kHtmlType[] = "text/html; charset=ISO-8859-1";
const char kTextType[] = "text/plain; charset=ISO-8859-1";

using Server = ServerTest;

TEST_F(Server, ServesAFileByteForByteAndKeepsTheConnection) {
  Publish("/index.html", "<p>hi</p>");
  Publish("/logo.png", std::string("\x89PNG\0\x01", 6));
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /index.html HTTP/1.1\r\nHost: test\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kHtmlType, "<p>hi</p>"));
  client.Send("GET /logo.png HTTP/1.0\r\n\r\n");  // 1.0 needs no Host
  EXPECT_EQ(WithoutDate(client.ReadResponse()),
            FileResponse("image/png", std::string("\x89PNG\0\x01", 6)));
  bool closed = true;
  EXPECT_EQ(client.ReadToEnd(300, &closed), "");
  EXPECT_FALSE(closed);
}

TEST_F(Server, ContentTypeFollowsTheUrlName) {
  Publish("/README", "plain");
  Publish("/script.php", "<?php echo 1; ?>");
  Publish("/PAGE.HTML", "x");
  Publish("/data.bin", "y");
  StartServer();
  EXPECT_EQ(WithoutDate(Get(port_, "/README")), FileResponse(kTextType, "plain"));
  EXPECT_EQ(WithoutDate(Get(port_, "/script.php")), FileResponse(kTextType, "<?php echo 1; ?>"));
  EXPECT_EQ(WithoutDate(Get(port_, "/PAGE.HTML")), FileResponse(kTextType, "x"));
  EXPECT_EQ(WithoutDate(Get(port_, "/data.bin")), FileResponse("application/octet-stream", "y"));
}

TEST_F(Server, HeadSendsHeadersOnly) {
  Publish("/ten.txt", "0123456789");
  StartServer();
  HttpTestClient client(port_);
  client.Send("HEAD /ten.txt HTTP/1.1\r\nHost: test\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse(true)), FileResponse(kTextType, "0123456789", false));
  client.Send("HEAD /missing HTTP/1.1\r\nHost: test\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse(true)),
            StatusResponse(404, kHtmlType, NotFoundPage(port_), false));
  // Nothing else came: the next response follows at once.
  client.Send("GET /ten.txt HTTP/1.1\r\nHost: test\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "0123456789"));
}

TEST_F(Server, EmptyFileHasLengthZeroAndNoBody) {
  Publish("/empty.txt", "");
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /empty.txt HTTP/1.1\r\nHost: test\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, ""));
  bool closed = true;
  EXPECT_EQ(client.ReadToEnd(300, &closed), "");
}

TEST_F(Server, ProtocolErrorsGetTheirFixedBodies) {
  StartServer();
  EXPECT_EQ(WithoutDate(Exchange(port_, "GET / HTTP/1.1\r\n\r\n")),
            PlainError(400, "400 Bad request"));
  EXPECT_EQ(WithoutDate(Exchange(port_, "GET / HTTP/1.1\r\nHost:\r\n\r\n")),
            PlainError(400, "400 Bad request"));
  EXPECT_EQ(WithoutDate(Exchange(port_, "PUT / HTTP/1.1\r\nHost: a\r\n\r\n")),
            PlainError(501, "501 Not implemented"));
  EXPECT_EQ(WithoutDate(Exchange(port_, "get / HTTP/1.1\r\nHost: a\r\n\r\n")),
            PlainError(501, "501 Not implemented"));
  // An unknown method wins over a bad version.
  EXPECT_EQ(WithoutDate(Exchange(port_, "BREW / HTTP/9\r\n\r\n")),
            PlainError(501, "501 Not implemented"));
  EXPECT_EQ(WithoutDate(Exchange(port_, "GET / HTTP/2.0\r\nHost: a\r\n\r\n")),
            PlainError(505, "505 HTTP version not supported"));
  EXPECT_EQ(WithoutDate(Exchange(port_, "GET / http/1.1\r\nHost: a\r\n\r\n")),
            PlainError(505, "505 HTTP version not supported"));
  // A short escape in the path cannot be decoded.
  EXPECT_EQ(WithoutDate(Exchange(port_, "GET /a%4 HTTP/1.1\r\nHost: a\r\n\r\n")),
            PlainError(400, "400 Bad request"));
}

TEST_F(Server, RequestLineWithoutVersionIsAnsweredAtOnce) {
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), PlainError(505, "505 HTTP version not supported"));
  // Each following header line is taken as a request line of its own.
  client.Send("Host: a\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), PlainError(501, "501 Not implemented"));
}

TEST_F(Server, BlankLineBeforeTheRequestLineEndsIn505) {
  Publish("/a.txt", "a");
  StartServer();
  EXPECT_EQ(WithoutDate(Exchange(port_, "\r\nGET /a.txt HTTP/1.1\r\nHost: a\r\n\r\n")),
            PlainError(505, "505 HTTP version not supported"));
}

TEST_F(Server, MissingFilesAndFoldersWithoutIndex) {
  Publish("/docs/readme.txt", "r");
  Publish("/gone.txt", "g");
  std::filesystem::remove(files_.File("file1"));
  StartServer();
  EXPECT_EQ(WithoutDate(Get(port_, "/nothing")),
            StatusResponse(404, kHtmlType, NotFoundPage(port_)));
  // A published file whose real file is gone.
  EXPECT_EQ(WithoutDate(Get(port_, "/gone.txt")),
            StatusResponse(404, kHtmlType, NotFoundPage(port_)));
  // A folder without index file is listed.
  EXPECT_NE(Get(port_, "/docs/").find("<h2>Index of /docs</h2>"), std::string::npos);
  SetBool("DirView", false, true);
  EXPECT_EQ(WithoutDate(Get(port_, "/docs/")),
            StatusResponse(403, kHtmlType, ForbiddenPage(port_)));
  EXPECT_EQ(WithoutDate(Get(port_, "/nothing")),
            StatusResponse(403, kHtmlType, ForbiddenPage(port_)));
}

TEST_F(Server, PagesShowThePortSettingOfTheMoment) {
  StartServer();
  SetInt("Port", 8080, true);
  EXPECT_EQ(WithoutDate(Get(port_, "/nothing")),
            StatusResponse(404, kHtmlType, NotFoundPage(8080)));
}

TEST_F(Server, FoldersServeTheirIndexFile) {
  Publish("/docs/notes.txt", "notes");
  Publish("/docs/index.html", "<h1>docs</h1>");
  Publish("/index.htm", "root");
  StartServer();
  const std::string index = FileResponse(kHtmlType, "<h1>docs</h1>");
  EXPECT_EQ(WithoutDate(Get(port_, "/docs/")), index);
  EXPECT_EQ(WithoutDate(Get(port_, "/docs")), index);
  EXPECT_EQ(WithoutDate(Get(port_, "/")), FileResponse(kHtmlType, "root"));
  EXPECT_EQ(WithoutDate(Get(port_, "http://example.org/docs/")), index);
  EXPECT_EQ(WithoutDate(Get(port_, "http://example.org")), FileResponse(kHtmlType, "root"));
  SetBool("AutoLoadIndex", false, true);
  EXPECT_NE(Get(port_, "/docs/").find("<h2>Index of /docs</h2>"), std::string::npos);
  SetBool("DirView", false, true);
  EXPECT_EQ(WithoutDate(Get(port_, "/docs/")),
            StatusResponse(403, kHtmlType, ForbiddenPage(port_)));
  EXPECT_EQ(WithoutDate(Get(port_, "/docs/index.html")), index);
}

TEST_F(Server, PathsArePercentAndPlusDecoded) {
  Publish("/a b.html", "space");
  Publish("/caf\xE9.txt", "latin");
  Publish("/x", "x");
  StartServer();
  EXPECT_EQ(WithoutDate(Get(port_, "/a%20b.html")), FileResponse(kHtmlType, "space"));
  EXPECT_EQ(WithoutDate(Get(port_, "/a+b.html")), FileResponse(kHtmlType, "space"));
  EXPECT_EQ(WithoutDate(Get(port_, "/caf%C3%A9.txt")), FileResponse(kTextType, "latin"));
  EXPECT_EQ(WithoutDate(Get(port_, "/caf%c3%a9.txt")), FileResponse(kTextType, "latin"));
  EXPECT_EQ(WithoutDate(Get(port_, "/x?a=1&b=2")), FileResponse(kTextType, "x"));
  EXPECT_EQ(WithoutDate(Get(port_, "/%78?%zz")), FileResponse(kTextType, "x"));
}

TEST_F(Server, ConnectionCloseEndsTheConnectionAfterTheResponse) {
  Publish("/a.txt", "a");
  StartServer();
  {
    HttpTestClient client(port_);
    client.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n");
    bool closed = false;
    // The response still says Keep-Alive; the server closes after it.
    EXPECT_EQ(WithoutDate(client.ReadToEnd(3000, &closed)), FileResponse(kTextType, "a"));
    EXPECT_TRUE(closed);
  }
  {
    HttpTestClient client(port_);
    client.Send("GET /none HTTP/1.1\r\nConnection: close\r\n\r\n");  // 400 then close
    bool closed = false;
    EXPECT_EQ(WithoutDate(client.ReadToEnd(3000, &closed)), PlainError(400, "400 Bad request"));
    EXPECT_TRUE(closed);
  }
  for (const char* header : {"Connection: Close", "connection: close", "Connection: close, TE",
                             "Connection: Keep-Alive"}) {
    HttpTestClient client(port_);
    client.Send(std::string("GET /a.txt HTTP/1.0\r\n") + header + "\r\n\r\n");
    EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "a"));
    bool closed = true;
    EXPECT_EQ(client.ReadToEnd(300, &closed), "");
    EXPECT_FALSE(closed) << header;
  }
}

TEST_F(Server, PipelinedRequestsAreAllAnswered) {
  Publish("/a.txt", "a");
  Publish("/b.txt", "bb");
  StartServer();
  HttpTestClient client(port_);
  client.Send(
      "GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\nHEAD /b.txt HTTP/1.1\r\nHost: t\r\n\r\n"
      "GET /b.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "a"));
  EXPECT_EQ(WithoutDate(client.ReadResponse(true)), FileResponse(kTextType, "bb", false));
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "bb"));
}

// Bursts far larger than one read, the second after the connection went
// back to waiting: a connection must not wait for news of bytes it was
// already sent.
TEST_F(Server, PipelinedBurstsBeyondOneReadAreAllAnswered) {
  Publish("/a.txt", "a");
  StartServer();
  HttpTestClient client(port_);
  constexpr int kRequests = 150;
  std::string burst;
  for (int i = 0; i < kRequests; ++i) burst += "GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n";
  for (int wave = 0; wave < 2; ++wave) {
    client.Send(burst);
    for (int i = 0; i < kRequests; ++i) {
      const std::string response = WithoutDate(client.ReadResponse());
      ASSERT_EQ(response, FileResponse(kTextType, "a")) << "wave " << wave << ", answer " << i;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

// Far more answers than the socket holds, while the client does not read:
// each head and body still arrive whole and in order when the sends that
// take them together are cut short.
TEST_F(Server, PipelinedAnswersBeyondWhatTheSocketHoldsArriveWhole) {
  std::string content(16 * 1024, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 251);
  Publish("/s.bin", content);
  StartServer();
  HttpTestClient client(port_);
  constexpr int kRequests = 400;
  std::string burst;
  for (int i = 0; i < kRequests; ++i) burst += "GET /s.bin HTTP/1.1\r\nHost: t\r\n\r\n";
  client.Send(burst);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (int i = 0; i < kRequests; ++i) {
    const std::string response = client.ReadResponse();
    ASSERT_EQ(ContentLengthOf(response), static_cast<int64_t>(content.size())) << "answer " << i;
    ASSERT_TRUE(BodyOf(response) == content) << "answer " << i;
  }
}

TEST_F(Server, PostBodiesAreReadByContentLength) {
  Publish("/form", "ok");
  StartServer();
  HttpTestClient client(port_);
  // Body in the same packet as the headers.
  client.Send("POST /form?q=1 HTTP/1.1\r\nHost: t\r\nContent-Length: 5\r\n\r\na=b&c");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "ok"));
  // Body arriving later, in pieces; lines inside it are not taken as requests.
  client.Send("POST /form HTTP/1.1\r\nHost: t\r\nContent-Length: 20\r\n\r\nGET /x HTTP/1.1\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  client.Send("\r\n\r");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "ok"));
  client.Send("POST /form HTTP/1.0\r\n\r\n");  // no body at all
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "ok"));
  client.Send("GET /form HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "ok"));
}

TEST_F(Server, BadPostLengthsAreRefusedAndTheConnectionCloses) {
  Publish("/form", "ok");
  StartServer();
  for (const char* length : {"-1", "16777217", "99999999999999999999"}) {
    HttpTestClient client(port_);
    client.Send(std::string("POST /form HTTP/1.1\r\nHost: t\r\nContent-Length: ") + length +
                "\r\n\r\nabc");
    bool closed = false;
    EXPECT_EQ(WithoutDate(client.ReadToEnd(3000, &closed)), PlainError(400, "400 Bad request"))
        << length;
    EXPECT_TRUE(closed) << length;
  }
}

TEST_F(Server, StalledPostBodyEndsTheConnection) {
  Publish("/form", "ok");
  StartServer();
  HttpTestClient client(port_);
  auto start = std::chrono::steady_clock::now();
  client.Send("POST /form HTTP/1.1\r\nHost: t\r\nContent-Length: 10\r\n\r\nabc");
  bool closed = false;
  EXPECT_EQ(client.ReadToEnd(9000, &closed), "");
  EXPECT_TRUE(closed);
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 4.5);
  EXPECT_LE(seconds, 8.0);
}

TEST_F(Server, BadBytesAndOversizedRequestsEndTheConnectionUnanswered) {
  Publish("/a.txt", "a");
  StartServer();
  {
    HttpTestClient client(port_);
    client.Send("GET /caf\xE9 HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_TRUE(client.ClosedWithoutData(3000));
  }
  {
    HttpTestClient client(port_);
    client.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\nX-Name: \x80\r\n\r\n");
    EXPECT_TRUE(client.ClosedWithoutData(3000));
  }
  {
    HttpTestClient client(port_);
    client.Send("GET /" + std::string(17 * 1024, 'a'));  // no line end at all
    EXPECT_TRUE(client.ClosedWithoutData(3000));
  }
  {
    HttpTestClient client(port_);
    client.Send("GET /a.txt HTTP/1.1\r\n");
    std::string header = "X-Filler: " + std::string(8000, 'f') + "\r\n";
    for (int i = 0; i < 9; ++i) client.Send(header);
    EXPECT_TRUE(client.ClosedWithoutData(3000));
  }
  // A long line below the bound is fine.
  HttpTestClient client(port_);
  client.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\nX-Filler: " + std::string(15000, 'f') +
              "\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "a"));
}

TEST_F(Server, IdleConnectionsEndAfterFiveToSevenSeconds) {
  StartServer();
  HttpTestClient client(port_);
  ASSERT_TRUE(WaitFor([this] { return server().clients().LiveCount() == 1; }, 2000));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(client.ClosedWithoutData(9000));
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 4.9);
  EXPECT_LE(seconds, 7.5);
  EXPECT_TRUE(WaitFor([this] { return server().clients().Clients().empty(); }, 2000));
}

TEST_F(Server, BannedAddressesAreClosedUnserved) {
  Publish("/a.txt", "a");
  server().blacklist().Ban("127.0.0.1");
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_TRUE(client.ClosedWithoutData(3000));
  EXPECT_TRUE(server().clients().Clients().empty());
  server().blacklist().Unban("127.0.0.1");
  EXPECT_EQ(WithoutDate(Get(port_, "/a.txt")), FileResponse(kTextType, "a"));
}

TEST_F(Server, MaxUsersRefusesConnectionsBeyondTheLimit) {
  Publish("/a.txt", "a");
  SetInt("MaxUsers", 2, true);
  StartServer();
  HttpTestClient first(port_);
  HttpTestClient second(port_);
  for (HttpTestClient* client : {&first, &second}) {
    client->Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_EQ(WithoutDate(client->ReadResponse()), FileResponse(kTextType, "a"));
  }
  HttpTestClient third(port_);
  third.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_TRUE(third.ClosedWithoutData(3000));
  // Once one has gone, a new client is served again.
  first.Close();
  ASSERT_TRUE(WaitFor([this] { return server().clients().LiveCount() == 1; }, 3000));
  HttpTestClient fourth(port_);
  fourth.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_EQ(WithoutDate(fourth.ReadResponse()), FileResponse(kTextType, "a"));
}

TEST_F(Server, ConnectionsAreNumberedAndKickable) {
  Publish("/a.txt", "a");
  StartServer();
  HttpTestClient first(port_);
  ASSERT_TRUE(WaitFor([this] { return server().clients().Clients().size() == 1; }, 2000));
  HttpTestClient second(port_);
  ASSERT_TRUE(WaitFor([this] { return server().clients().Clients().size() == 2; }, 2000));
  std::vector<ClientInfo> clients = server().clients().Clients();
  EXPECT_EQ(clients[0].connectionId, 0u);
  EXPECT_EQ(clients[1].connectionId, 1u);
  EXPECT_EQ(clients[0].peerAddress, "127.0.0.1");
  EXPECT_EQ(server().clients().PeerAddressOf(1), "127.0.0.1");
  EXPECT_EQ(server().clients().PeerAddressOf(7), "");

  server().clients().Kick(7);  // unknown: nothing happens
  EXPECT_EQ(server().clients().Clients().size(), 2u);
  server().clients().Kick(0);
  EXPECT_TRUE(first.ClosedWithoutData(1000));
  clients = server().clients().Clients();
  ASSERT_EQ(clients.size(), 1u);
  EXPECT_EQ(clients[0].connectionId, 1u);
  second.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_EQ(WithoutDate(second.ReadResponse()), FileResponse(kTextType, "a"));

  HttpTestClient third(port_);
  ASSERT_TRUE(WaitFor([this] { return server().clients().Clients().size() == 2; }, 2000));
  EXPECT_EQ(server().clients().Clients()[1].connectionId, 2u);  // numbers are never reused
}

TEST_F(Server, KickEndsARunningDownloadAtOnce) {
  Publish("/big.bin", std::string(4 * 1024 * 1024, 'z'));
  SetInt("MaxDown", 20, true);
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /big.bin HTTP/1.1\r\nHost: t\r\n\r\n");
  client.Read(1000, 3000);
  ASSERT_TRUE(WaitFor(
      [this] {
        std::vector<ClientInfo> clients = server().clients().Clients();
        return clients.size() == 1 && clients[0].currentActivity == "big.bin";
      },
      2000));
  auto start = std::chrono::steady_clock::now();
  server().clients().Kick(server().clients().Clients()[0].connectionId);
  bool closed = false;
  client.ReadToEnd(2000, &closed);
  EXPECT_TRUE(closed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_TRUE(WaitFor([this] { return server().clients().Clients().empty(); }, 1000));
}

TEST_F(Server, FilesOfTwoGigabytesAndMoreGetTheirTrueLength) {
  std::string realPath = Publish("/huge.bin", "");
  const uint64_t size = 3ull * 1024 * 1024 * 1024;
  std::error_code error;
  std::filesystem::resize_file(realPath, size, error);
  if (error) GTEST_SKIP() << "no room for a sparse 3 GiB file: " << error.message();
  StartServer();
  HttpTestClient client(port_);
  client.Send("HEAD /huge.bin HTTP/1.1\r\nHost: t\r\n\r\n");
  std::string head = client.ReadResponse(true);
  EXPECT_EQ(ContentLengthOf(head), static_cast<int64_t>(size)) << head;
  client.Send("GET /huge.bin HTTP/1.1\r\nHost: t\r\n\r\n");
  head = client.ReadResponse(true);
  EXPECT_NE(head.find("\r\nContent-Length: 3221225472\r\n"), std::string::npos) << head;
  EXPECT_EQ(client.Read(100000, 3000), std::string(100000, '\0'));
}

TEST_F(Server, ResponsesAreLoggedForTheLogPageAndTheBinaryLog) {
  Publish("/a.txt", "a");
  std::string binlog = files_.File("events.binlog");
  SetString("BinLogPath", binlog, false);
  server().logs().display.Clear();
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  client.ReadResponse();
  client.Send("HEAD /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  client.ReadResponse(true);
  client.Send("GET /none HTTP/1.1\r\nHost: t\r\n\r\n");
  client.ReadResponse();
  // Each response is logged after it was sent.
  ASSERT_TRUE(WaitFor([this] { return server().logs().display.AllLines().size() == 4; }, 2000));

  std::vector<int32_t> types;
  std::vector<uint32_t> sizes;
  for (const BinLogRecord& record : BinLogRecordsOnceThere(binlog, 5)) {
    types.push_back(record.type);
    if (record.type == 8) sizes.push_back(record.value);
    if (record.type != 0) {
      EXPECT_EQ(record.first, "127.0.0.1");
    }
    if (record.type == 8) {
      EXPECT_EQ(record.second, "a.txt");
    }
  }
  EXPECT_EQ(types, (std::vector<int32_t>{0, 3, 8, 3, 4}));
  EXPECT_EQ(sizes, (std::vector<uint32_t>{1}));

  std::vector<DisplayLine> lines = server().logs().display.AllLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].kind, 0u);
  EXPECT_NE(lines[0].text.find(" --- Started Orvi HTTP Server"), std::string::npos);
  EXPECT_EQ(lines[1].kind, 2u);
  EXPECT_NE(lines[1].text.find(" - 127.0.0.1 - GET /a.txt HTTP/1.1"), std::string::npos);
  EXPECT_EQ(lines[3].kind, 3u);
  EXPECT_NE(lines[3].text.find(" - 127.0.0.1 - GET /none HTTP/1.1"), std::string::npos);
}

TEST_F(Server, BusyPortIsReportedAndTheServerStaysStopped) {
  SocketHandle holder = kInvalidSocket;
  ASSERT_EQ(OpenListeningSocket(port_, &holder), ListenResult::Listening);
  {
    // The engine only reports the failure: the box is its caller's, shown
    // once the listener's lock is free.
    MessageBoxAnswerer answerer("Orvi HTTP Server");
    EXPECT_EQ(server().listener().Start(), ListenerStart::PortUnavailable);
    EXPECT_EQ(answerer.Text(), "");
  }
  server().logs().display.Clear();
  {
    MessageBoxAnswerer answerer("Orvi HTTP Server");
    EXPECT_FALSE(StartListenerOrTellUser(server().listener()));
    EXPECT_EQ(answerer.Text(), "Error: Cannot initialise server socket!");
  }
  EXPECT_FALSE(server().listener().IsListening());
  std::vector<DisplayLine> lines = server().logs().display.AllLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].kind, 0u);
  const std::string tail =
      " --- Could not initialise server socket at port " + std::to_string(port_);
  EXPECT_EQ(lines[0].text.substr(lines[0].text.size() - tail.size()), tail);
  CloseSocket(holder);
  StartServer();  // the port is free again
}

TEST_F(Server, StoppedListenerLeavesConnectionsServing) {
  Publish("/a.txt", "a");
  StartServer();
  HttpTestClient client(port_);
  client.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "a"));
  auto start = std::chrono::steady_clock::now();
  server().listener().Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));  // not a 4 s wait
  EXPECT_FALSE(server().listener().IsListening());
  HttpTestClient refused;
  EXPECT_FALSE(refused.Connect(port_));
  client.Send("GET /a.txt HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_EQ(WithoutDate(client.ReadResponse()), FileResponse(kTextType, "a"));
  StartServer();
  EXPECT_EQ(WithoutDate(Get(port_, "/a.txt")), FileResponse(kTextType, "a"));
}

}  // namespace
