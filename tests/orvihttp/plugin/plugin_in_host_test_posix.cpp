// The plugin in the real host program, installed the way a user installs it:
// <root>/Trellan and <root>/Plugins/Orvi HTTP Server/OrviHTTP.so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "foundation/dovetab.h"
#include "foundation/paths.h"
#include "foundation/registry.h"
#include "orvihttp/http/socket_io.h"
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

// The host exits while a client is connected and the status thread reports:
// every thread of the plugin ends, the files are saved, the host ends cleanly.
TEST_F(PluginInHost, ExitWhileAClientIsConnected) {
  SocketHandle probe = kInvalidSocket;
  ASSERT_EQ(OpenListeningSocket(0, &probe), ListenResult::Listening);
  int port = SocketLocalPort(probe);
  CloseSocket(probe);
  {
    std::ofstream ini(JoinPath(folder_, "OrviHTTP.ini"), std::ios::binary);
    ini << dovetab::kHeader << "FirstTime = No\r\nActive = Yes\r\nPort = " << port << "\r\n";
  }
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

}  // namespace
