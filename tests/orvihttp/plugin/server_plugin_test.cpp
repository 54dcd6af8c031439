// The real OrviHTTP library, loaded the way the host loads it, driven through
// its two exports and the plugin object with a fake host callback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "foundation/dovetab.h"
#include "foundation/dynamic_library.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/winsock_startup.h"
#include "orvihttp/content/virtual_directory.h"
#include "orvihttp/http/socket_io.h"
#include "orvihttp/logging/binary_log.h"
#include "orvihttp/logging/binary_log_reader.h"
#include "tests/orvihttp/plugin/loaded_server_plugin.h"

namespace {

WinsockStartup winsock;

std::string Quoted(const std::string& text) {
  Setting entry;
  entry.type = Setting::Type::String;
  entry.stringValue = text;
  return dovetab::FormatValue(entry);
}

// Sends one request with "Connection: close" and reads until the server
// closes; "" when nothing came.
std::string Exchange(int port, const std::string& request) {
  SocketHandle socket = ConnectToLoopback(port);
  if (socket == kInvalidSocket) return "";
  std::size_t sent = 0;
  while (sent < request.size()) {
    if (WaitForSocket(socket, true, 5000, nullptr) != SocketWait::Ready) break;
    const SocketTransfer n =
        SendSome(socket, request.data() + sent, static_cast<int>(request.size() - sent));
    if (n.result == SocketResult::WouldBlock) continue;
    if (n.result != SocketResult::Done || n.bytes == 0) break;
    sent += static_cast<std::size_t>(n.bytes);
  }
  std::string response;
  char buffer[4096];
  while (WaitForSocket(socket, false, 5000, nullptr) == SocketWait::Ready) {
    const SocketTransfer n = ReceiveSome(socket, buffer, sizeof buffer);
    if (n.result == SocketResult::WouldBlock) continue;
    if (n.result != SocketResult::Done) break;
    response.append(buffer, static_cast<std::size_t>(n.bytes));
  }
  CloseSocket(socket);
  return response;
}

// A port nobody listens on at the moment.
int FreePort() {
  SocketHandle socket = kInvalidSocket;
  if (OpenListeningSocket(0, &socket) != ListenResult::Listening) return 0;
  int port = SocketLocalPort(socket);
  CloseSocket(socket);
  return port;
}

TEST(ServerPluginExports, VersionObjectNameAndVersion) {
  DynamicLibrary library;
  ASSERT_TRUE(library.Load(JoinPath(TestBinaryDir(), LibraryFileName("OrviHTTP"))));
  auto version = reinterpret_cast<GetPluginVersionFunction>(library.Symbol("GetPluginVersion"));
  auto get_plugin = reinterpret_cast<GetPluginFunction>(library.Symbol("GetPlugin"));
  ASSERT_NE(version, nullptr);
  ASSERT_NE(get_plugin, nullptr);
  EXPECT_EQ(version(), 2);
  Plugin* first = nullptr;
  Plugin* second = nullptr;
  get_plugin(&first);
  get_plugin(&second);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->GetVersion(), 0x00020001u);
  EXPECT_STREQ(first->GetName(), "Orvi HTTP Server");
  // Commands the plugin does not know do nothing, before any Start too.
  EXPECT_EQ(first->OnCommand(0), 0);
  EXPECT_EQ(first->OnCommand(255), 0);
  get_plugin(nullptr);  // a null slot is ignored
}

TEST(ServerPluginTest, DefaultsAreWrittenAtStopAndStatusStartsOffline) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No"});
  server.Start();
  ASSERT_TRUE(ReportRecorder::Instance().WaitForReports(1, 5000));
  // A steady state sends nothing more.
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  server.Stop();

  std::vector<HostReport> reports = ReportRecorder::Instance().Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].pluginId, LoadedServerPlugin::kPluginId);
  EXPECT_EQ(reports[0].command, 3);
  EXPECT_EQ(reports[0].priority, 2);
  EXPECT_EQ(reports[0].text, "Orvi HTTP Server: Offline");
  EXPECT_NE(reports[0].icon, 0u);

  std::string folder = server.folder().path();
  std::vector<std::string> expected = {
      "FirstTime = No",      "Active = No",
      "Port = 80",           "PHPEnable = No",
      "MaxUsers = 0",        "MaxDown = 0",
      "AutoLoadIndex = Yes", "DirView = Yes",
      "Log = Yes",           "LogPath = " + Quoted(JoinPath(folder, "OrviHTTP.log"))};
  EXPECT_EQ(server.IniEntries(), expected);
  // The empty tree was saved; no log was written since no request came.
  EXPECT_EQ(server.ReadFile("OrviHTTP.dir").size(), 13u);
  EXPECT_FALSE(IsFile(server.folder().File("OrviHTTP.log")));
}

TEST(ServerPluginTest, NonPersistentKeyInTheFileIsWrittenBack) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No", "Port = 8123", "BinLogPath = \"\""});
  server.Start();
  server.Stop();
  std::vector<std::string> entries = server.IniEntries();
  ASSERT_EQ(entries.size(), 11u);
  EXPECT_EQ(entries[0], "BinLogPath = \"\"");  // first set, so first written
  EXPECT_EQ(entries[1], "FirstTime = No");
  EXPECT_EQ(entries[3], "Port = 8123");
  std::string text = server.ReadFile("OrviHTTP.ini");
  EXPECT_EQ(text.find("InstallPath"), std::string::npos);
  EXPECT_EQ(text.find("MainDialog"), std::string::npos);
}

TEST(ServerPluginTest, ActiveServerReportsOnlineFirstThenBusyWithAClient) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  int port = FreePort();
  ASSERT_NE(port, 0);
  server.WriteIni({"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port)});
  server.Start();
  ReportRecorder& recorder = ReportRecorder::Instance();
  ASSERT_TRUE(recorder.WaitForReports(1, 5000));
  EXPECT_EQ(recorder.Reports()[0].text, "Orvi HTTP Server: Online");

  SocketHandle client = ConnectToLoopback(port);
  ASSERT_NE(client, kInvalidSocket);
  ASSERT_TRUE(recorder.WaitForReports(2, 5000));
  HostReport busy = recorder.Reports()[1];
  EXPECT_EQ(busy.text, "Orvi HTTP Server");
  EXPECT_EQ(busy.command, 3);
  EXPECT_EQ(busy.priority, 2);
  CloseSocket(client);
  ASSERT_TRUE(recorder.WaitForReports(3, 5000));
  EXPECT_EQ(recorder.Reports()[2].text, "Orvi HTTP Server: Online");
  server.Stop();

  std::vector<HostReport> reports = recorder.Reports();
  ASSERT_EQ(reports.size(), 3u);
  // Three states, three distinct icons.
  EXPECT_NE(reports[0].icon, reports[1].icon);
  EXPECT_EQ(reports[0].icon, reports[2].icon);
  // After the stop the port is free again.
  SocketHandle again = kInvalidSocket;
  EXPECT_EQ(OpenListeningSocket(port, &again), ListenResult::Listening);
  CloseSocket(again);
}

// The road of one request through the deliverable: the tree comes from
// OrviHTTP.dir, both logs go to their default files in the install folder.
TEST(ServerPluginTest, ServesItsDirFileAndLogsBesideIt) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  std::string real = server.folder().File("page.html");
  {
    std::ofstream out(real, std::ios::binary);
    out << "0123456789";
  }
  VirtualFolder root;
  root.AddFolder("docs");
  root.FindFolder("docs")->AddFile("index.html", real);
  {
    std::string bytes = SerializeTree(root);
    std::ofstream out(server.folder().File("OrviHTTP.dir"), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  int port = FreePort();
  ASSERT_NE(port, 0);
  server.WriteIni({"FirstTime = No", "Active = Yes", "Port = " + std::to_string(port)});
  server.Start();

  std::string get = Exchange(port, "GET /docs/ HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(get.rfind("HTTP/1.1 200\r\n", 0), 0u) << get;
  EXPECT_EQ(get.substr(get.size() - 10), "0123456789");
  std::string head = Exchange(port, "HEAD /docs/index.html HTTP/1.0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(head.rfind("HTTP/1.1 200\r\n", 0), 0u) << head;
  EXPECT_EQ(head.find("0123456789"), std::string::npos);
  server.Stop();

  std::string log = server.ReadFile("OrviHTTP.log");
  EXPECT_NE(log.find("#\r\n# Started Orvi HTTP Server ["), std::string::npos) << log;
  EXPECT_NE(log.find("127.0.0.1 - - ["), std::string::npos) << log;
  EXPECT_NE(log.find("] \"GET /docs/ HTTP/1.1\" 200 10\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] \"HEAD /docs/index.html HTTP/1.0\" 200 0\r\n"), std::string::npos) << log;

  std::vector<BinLogRecord> records;
  ASSERT_TRUE(ReadBinLogFile(server.folder().File("OrviHTTP.binlog"),
                             [&](const BinLogRecord& record) { records.push_back(record); }));
  // GET: accepted, succeeded, downloaded; HEAD: accepted, succeeded.
  ASSERT_EQ(records.size(), 5u);
  std::vector<int32_t> types;
  for (const BinLogRecord& record : records) types.push_back(record.type);
  EXPECT_EQ(types, (std::vector<int32_t>{0, 3, 8, 0, 3}));
  EXPECT_EQ(records[1].first, "127.0.0.1");
  EXPECT_EQ(records[2].second, "index.html");
  EXPECT_EQ(records[2].value, 10u);
  // The tree is saved back unchanged.
  EXPECT_EQ(server.ReadFile("OrviHTTP.dir"), SerializeTree(root));
}

TEST(ServerPluginTest, StopWaitsOutACallbackBlockedInTheHost) {
  LoadedServerPlugin server;
  ASSERT_TRUE(server.loaded());
  server.WriteIni({"FirstTime = No"});
  ReportRecorder& recorder = ReportRecorder::Instance();
  recorder.BlockCalls();
  server.Start();
  ASSERT_TRUE(recorder.WaitUntilBlocked(5000));

  // The host completes (or gives up) the pending call while it runs Stop;
  // here a second thread plays that part a little after Stop has begun.
  std::atomic<bool> stop_returned{false};
  std::thread host([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(stop_returned.load());
    recorder.Unblock();
  });
  server.Stop();
  stop_returned = true;
  host.join();
  EXPECT_EQ(recorder.CallsInside(), 0);
  std::size_t reports = recorder.Reports().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_EQ(recorder.Reports().size(), reports);  // nothing after Stop

  // No lock was left held: a new object of the same library starts and stops.
  Plugin* next = server.NewObject();
  ASSERT_NE(next, nullptr);
  recorder.Reset();
  next->Start();
  EXPECT_TRUE(recorder.WaitForReports(1, 5000));
  next->Stop();
  EXPECT_EQ(server.IniEntries().front(), "FirstTime = No");
}

}  // namespace
