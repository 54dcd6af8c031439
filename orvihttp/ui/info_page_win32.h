#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "orvihttp/http/server.h"
#include "orvihttp/ui/page_window_win32.h"

// The "Info" page: the server's state with its start and stop buttons, and
// the connected clients with kick and ban. It acts on the live server at once.
class InfoPage final : public PageWindow {
 public:
  explicit InfoPage(Server& server) : server_(server) {}
  ~InfoPage() override;

 private:
  void OnCreate() override;
  void OnCommand(int id, int code) override;
  void OnTimer() override;

  void RefreshClientList();
  void RefreshDetails();
  void Kick();
  void Ban();

  Server& server_;
  // The addresses the client list shows, line by line.
  std::vector<std::string> rows_;
  HICON startIcon_ = nullptr;
  HICON stopIcon_ = nullptr;
};
