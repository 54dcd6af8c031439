// The plugin in the real host program, installed the way a user installs it:
// <root>/Trellan and <root>/Plugins/Orvi HTTP Server/OrviHTTP.so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>
#include <vector>

#include "foundation/dovetab.h"
#include "foundation/file_system.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "orvihttp/access/folder_rights.h"
#include "orvihttp/http/socket_io.h"
#include "orvihttp/logging/binary_log.h"
#include "orvihttp/logging/log_file.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace {

// The host as a child process; killed if a test leaves it running.
class HostChild {
 public:
  ~HostChild() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool Start(const std::string& program, const std::string& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    int result = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) pid_ = -1;
    return result == 0;
  }

  // SIGTERM, as the desktop's Exit; the exit code, or -1 when it did not end
  // in time.
  // SIGKILL, as a crash or a power cut would end it: nothing of the host runs
  // afterwards.
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  int Exit(int timeoutMs) {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

bool WaitForText(const std::string& path, const std::string& text, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (ReadFileBytes(path).find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Reads one response (head and Content-Length body) from a non-blocking
// socket; what came beyond it stays in `pending`.
bool ReadOneResponse(SocketHandle socket, std::string& pending) {
  char buffer[4096];
  for (;;) {
    std::size_t headEnd = pending.find("\r\n\r\n");
    if (headEnd != std::string::npos) {
      std::size_t field = pending.find("Content-Length: ");
      if (field == std::string::npos || field > headEnd) return false;
      std::size_t total = headEnd + 4 + std::stoul(pending.substr(field + 16));
      if (pending.size() >= total) {
        pending.erase(0, total);
        return true;
      }
    }
    if (WaitForSocket(socket, false, 2000, nullptr) != SocketWait::Ready) return false;
    SocketTransfer got = ReceiveSome(socket, buffer, sizeof buffer);
    if (got.result != SocketResult::Done) return false;
    pending.append(buffer, static_cast<std::size_t>(got.bytes));
  }
}

// Sends all of `bytes` on a non-blocking socket.
bool SendAll(SocketHandle socket, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (WaitForSocket(socket, true, 10000, nullptr) != SocketWait::Ready) return false;
    const SocketTransfer sent =
        SendSome(socket, bytes.data() + done, static_cast<int>(bytes.size() - done));
    if (sent.result != SocketResult::Done) return false;
    done += static_cast<std::size_t>(sent.bytes);
  }
  return true;
}

class PluginInHost : public testing::Test {
 protected:
  void SetUp() override {
    program_ = root_.File("Trellan");
    std::error_code error;
    std::filesystem::copy_file(JoinPath(TestBinaryDir(), "Trellan"), program_, error);
    ASSERT_FALSE(error);
    folder_ = JoinPath(root_.File("Plugins"), "Orvi HTTP Server");
    std::filesystem::create_directories(folder_, error);
    std::filesystem::copy_file(JoinPath(TestBinaryDir(), "OrviHTTP.so"),
                               JoinPath(folder_, "OrviHTTP.so"), error);
    ASSERT_FALSE(error);
    output_ = root_.File("output.txt");
    RegistrySet("Trellan", "Path", root_.path());
    RegistrySet("Orvi HTTP Server", "Path", "");
  }

  std::string Output() { return ReadFileBytes(output_); }

  // Settings under which the plugin serves at once, on a port free just
  // now; 0 when none could be found.
  int ServeOnAFreePort() {
    SocketHandle probe = kInvalidSocket;
    if (OpenListeningSocket(0, &probe) != ListenResult::Listening) return 0;
    const int port = SocketLocalPort(probe);
    CloseSocket(probe);
    std::ofstream ini(JoinPath(folder_, "OrviHTTP.ini"), std::ios::binary);
    ini << dovetab::kHeader << "FirstTime = No\r\nActive = Yes\r\nPort = " << port << "\r\n";
    return port;
  }

  TempFolder root_;
  std::string program_;
  std::string folder_;
  std::string output_;
};

TEST_F(PluginInHost, FirstRunInAFreshInstallation) {
  HostChild host;
  ASSERT_TRUE(host.Start(program_, output_));
  ASSERT_TRUE(WaitForText(output_, "tip=Orvi HTTP Server: Offline", 20000)) << Output();
  EXPECT_EQ(host.Exit(20000), 0) << Output();

  std::string output = Output();
  EXPECT_NE(output.find("[Orvi HTTP Server] Welcome to Orvi HTTP Server!"), std::string::npos)
      << output;
  // The plugin found its folder below the host's and recorded it.
  EXPECT_EQ(RegistryGet("Orvi HTTP Server", "Path"), folder_);
  std::string ini = ReadFileBytes(JoinPath(folder_, "OrviHTTP.ini"));
  EXPECT_EQ(ini.rfind(std::string(dovetab::kHeader) + "FirstTime = No\r\nActive = No\r\n", 0), 0u)
      << ini;
  EXPECT_EQ(ReadFileBytes(JoinPath(folder_, "OrviHTTP.dir")).size(), 13u);
}

// A recorded folder that no longer exists was left by a copy since deleted or
// moved: the plugin keeps its files beside the host instead, and records that.
TEST_F(PluginInHost, ARecordedFolderThatIsGoneGivesWayToTheFolderBesideTheHost) {
  RegistrySet("Orvi HTTP Server", "Path", root_.File("deleted copy"));
  HostChild host;
  ASSERT_TRUE(host.Start(program_, output_));
  ASSERT_TRUE(WaitForText(output_, "tip=Orvi HTTP Server: Offline", 20000)) << Output();
  EXPECT_EQ(host.Exit(20000), 0) << Output();
  EXPECT_EQ(RegistryGet("Orvi HTTP Server", "Path"), folder_);
  EXPECT_TRUE(IsFile(JoinPath(folder_, "OrviHTTP.ini")));
  EXPECT_FALSE(IsFolder(root_.File("deleted copy")));
}

// The host exits while a client is connected and the status thread reports:
// every thread of the plugin ends, the files are saved, the host ends cleanly.
TEST_F(PluginInHost, ExitWhileAClientIsConnected) {
  const int port = ServeOnAFreePort();
  ASSERT_GT(port, 0);
  HostChild host;
  ASSERT_TRUE(host.Start(program_, output_));
  ASSERT_TRUE(WaitForText(output_, "tip=Orvi HTTP Server: Online", 20000)) << Output();
  SocketHandle client = ConnectToLoopback(port);
  ASSERT_NE(client, kInvalidSocket);
  EXPECT_TRUE(WaitForText(output_, "tip=Orvi HTTP Server\n", 20000)) << Output();
  EXPECT_EQ(host.Exit(20000), 0) << Output();
  // The server closed the connection on its way out.
  char byte;
  EXPECT_EQ(WaitForSocket(client, false, 5000, nullptr), SocketWait::Ready);
  EXPECT_NE(ReceiveSome(client, &byte, 1).result, SocketResult::Done);
  CloseSocket(client);
  EXPECT_EQ(Output().find("Welcome"), std::string::npos);
  EXPECT_NE(ReadFileBytes(JoinPath(folder_, "OrviHTTP.ini")).find("Port = " + std::to_string(port)),
            std::string::npos);
}

// The host is killed while clients keep it busy: both logs hold only whole
// lines and records, one for every response the clients saw before the kill,
// save the one write the kill may cut short (the system stops a write to a
// file between two pages when the process is killed).
TEST_F(PluginInHost, KilledUnderLoadLeavesWholeLogs) {
  const int port = ServeOnAFreePort();
  ASSERT_GT(port, 0);
  HostChild host;
  ASSERT_TRUE(host.Start(program_, output_));
  ASSERT_TRUE(WaitForText(output_, "tip=Orvi HTTP Server: Online", 20000)) << Output();

  // Keep-alive clients asking as fast as they can, with a long request line
  // so that a torn line would show.
  const std::string path = "/" + std::string(500, 'x');
  std::atomic<bool> go{true};
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  constexpr int kClients = 4;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&] {
      SocketHandle socket = ConnectToLoopback(port);
      if (socket == kInvalidSocket) return;
      const std::string request = "GET " + path + " HTTP/1.1\r\nHost: t\r\n\r\n";
      std::string pending;
      while (go) {
        if (SendSome(socket, request.data(), static_cast<int>(request.size())).bytes !=
            static_cast<int>(request.size())) {
          break;
        }
        if (!ReadOneResponse(socket, pending)) break;
        ++answered;
      }
      CloseSocket(socket);
    });
  }
  ASSERT_TRUE(WaitForText(JoinPath(folder_, "OrviHTTP.log"), "\r\n127.0.0.1", 10000));
  // Lines may be held back a moment to go out together: those of answers
  // older than that are in the file whatever the kill cuts short.
  const int seenBeforeTheLastMoment = answered;
  std::this_thread::sleep_for(std::chrono::milliseconds(kLogHoldBackMs + 300));
  host.Kill();
  const int seen = answered;
  go = false;
  for (std::thread& client : clients) client.join();
  ASSERT_GT(seen, 20);

  const std::string log = ReadFileBytes(JoinPath(folder_, "OrviHTTP.log"));
  ASSERT_FALSE(log.empty());
  const std::regex line(
      R"(#|# Started Orvi HTTP Server \[.*\]|127\.0\.0\.1 - - \[[^\]]*\] "GET /x{500} HTTP/1\.1" 404 \d+)");
  int lines = 0;
  std::size_t start = 0;
  for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string one = log.substr(start, end - start);
    ASSERT_TRUE(std::regex_match(one, line)) << one.substr(0, 100);
    if (one[0] != '#') ++lines;
  }
  // What follows the last line end can only be the start of a line.
  const std::string cut = log.substr(start);
  const std::string lineStart = "127.0.0.1 - - [";
  const std::size_t shared = std::min(cut.size(), lineStart.size());
  EXPECT_EQ(cut.substr(0, shared), lineStart.substr(0, shared));
  EXPECT_LT(cut.size(), 600u);
  // A response is logged just after it went out: the kill may come between
  // the two for the one response each client was last given.
  EXPECT_GE(lines, seenBeforeTheLastMoment - kClients);
  // And no line for a response that was not sent whole: its client read
  // each one, if only after the kill.
  EXPECT_LE(lines, answered.load());

  const std::string events = ReadFileBytes(JoinPath(folder_, "OrviHTTP.binlog"));
  int accepted = 0;
  int failed = 0;
  // Record after record from the start, none damaged; only the last may be
  // cut short.
  const auto* data = reinterpret_cast<const uint8_t*>(events.data());
  std::size_t offset = 0;
  BinLogRecord record;
  std::size_t length = 0;
  BinLogRead read;
  while ((read = ReadBinLogRecord(data + offset, events.size() - offset, record, length)) ==
         BinLogRead::Complete) {
    if (record.type == 0) ++accepted;
    if (record.type == 4) ++failed;
    EXPECT_TRUE(record.type == 0 || record.type == 4);
    offset += length;
  }
  EXPECT_TRUE(offset == events.size() || read == BinLogRead::Incomplete) << offset;
  EXPECT_EQ(accepted, kClients);
  EXPECT_GE(failed, seenBeforeTheLastMoment - kClients);
}

// The host is killed while a 1 GiB PUT is half sent: no file under the
// upload's name, and the next start removes the temporary it left.
TEST_F(PluginInHost, KilledDuringAnUploadLeavesNoFileAndTheNextStartClearsUp) {
  const int port = ServeOnAFreePort();
  ASSERT_GT(port, 0);
  TempFolder inbox;
  FolderRightsTable rights;
  rights.SetUploadTo("/", inbox.path());
  WriteFileBytes(JoinPath(folder_, "OrviHTTP.rights"), rights.Serialize());
  const auto temporaries = [&] {
    std::vector<std::string> names;
    for (const FolderEntry& entry : ListFolder(inbox.path())) {
      if (entry.name.rfind(".orvi-upload-", 0) == 0) names.push_back(entry.name);
    }
    return names;
  };

  HostChild host;
  ASSERT_TRUE(host.Start(program_, output_));
  ASSERT_TRUE(WaitForText(output_, "tip=Orvi HTTP Server: Online", 20000)) << Output();
  SocketHandle client = ConnectToLoopback(port);
  ASSERT_NE(client, kInvalidSocket);
  const std::string head =
      "PUT /big.bin HTTP/1.1\r\nHost: t\r\nContent-Length: " + std::to_string(1ull << 30) +
      "\r\n\r\n";
  ASSERT_TRUE(SendAll(client, head));
  // A quarter of it, then the kill while the server still waits for more.
  const std::string block(1 << 20, 'u');
  for (int sent = 0; sent < 256; ++sent) ASSERT_TRUE(SendAll(client, block));
  const auto arrived = [&] {
    const std::vector<std::string> names = temporaries();
    std::optional<FileStatus> status;
    if (names.size() == 1) status = QueryFileStatus(JoinPath(inbox.path(), names[0]));
    return status ? status->size : 0;
  };
  for (int tries = 0; tries < 1000 && arrived() < (200u << 20); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GE(arrived(), 200u << 20);
  host.Kill();
  CloseSocket(client);
  EXPECT_FALSE(IsFile(inbox.File("big.bin")));
  EXPECT_EQ(temporaries().size(), 1u);

  HostChild again;
  const std::string output = root_.File("output-again.txt");
  ASSERT_TRUE(again.Start(program_, output));
  ASSERT_TRUE(WaitForText(output, "tip=Orvi HTTP Server: Online", 20000)) << ReadFileBytes(output);
  EXPECT_TRUE(temporaries().empty());
  EXPECT_TRUE(ListFolder(inbox.path()).empty());
  EXPECT_EQ(again.Exit(20000), 0) << ReadFileBytes(output);
}

}  // namespace
