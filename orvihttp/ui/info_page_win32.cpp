#include "orvihttp/ui/info_page_win32.h"

#include <ctime>

#include "foundation/clock.h"
#include "foundation/setting_key.h"
#include "foundation/thread.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/config/server_keys.h"
#include "orvihttp/http/client_registry.h"
#include "orvihttp/http/listener.h"
#include "orvihttp/tls/machine_names.h"
#include "orvihttp/ui/https_dialog_model.h"
#include "orvihttp/ui/info_page_model.h"
#include "orvihttp/ui/plugin_resources.h"
#include "orvihttp/ui/server_socket_error.h"
#include "orvihttp/ui/settings_window_ids.h"
#include "orvihttp/ui/ui_module_win32.h"

namespace {

// Lets a kicked connection end before the list is read again.
constexpr DWORD kSettleMs = 300;

bool AskOkCancel(HWND owner, const std::string& question) {
  int answer = MessageBoxA(owner, question.c_str(), kProductName, MB_OKCANCEL | MB_ICONQUESTION);
  // A window that is being closed answers its open questions with no.
  return answer == IDOK && !Thread::CurrentStopRequested();
}

}  // namespace

InfoPage::~InfoPage() {
  if (startIcon_) DestroyIcon(startIcon_);
  if (stopIcon_) DestroyIcon(stopIcon_);
}

void InfoPage::OnCreate() {
  startIcon_ = LoadUiIcon(ORVI_ICON_START, 32);
  stopIcon_ = LoadUiIcon(ORVI_ICON_STOP, 32);
  SendDlgItemMessageA(window_, IDC_START_SERVER, BM_SETIMAGE, IMAGE_ICON,
                      reinterpret_cast<LPARAM>(startIcon_));
  SendDlgItemMessageA(window_, IDC_STOP_SERVER, BM_SETIMAGE, IMAGE_ICON,
                      reinterpret_cast<LPARAM>(stopIcon_));
  RefreshClientList();
  SendDlgItemMessageA(window_, IDC_CLIENT_LIST, LB_SETCURSEL, 0, 0);
  RefreshDetails();
  StartRefreshTimer(1000);
}

void InfoPage::OnTimer() {
  RefreshClientList();
  RefreshDetails();
}

void InfoPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_CLIENT_LIST:
      if (code == LBN_SELCHANGE) RefreshDetails();
      break;
    case IDC_START_SERVER:
      if (code != BN_CLICKED) break;
      SetSetting(kActive, true);
      StartListenerOrTellUser(server_.listener());
      RefreshDetails();
      break;
    case IDC_STOP_SERVER:
      if (code != BN_CLICKED) break;
      SetSetting(kActive, false);
      server_.listener().Stop();
      RefreshDetails();
      break;
    case IDC_KICK_CLIENT:
      if (code == BN_CLICKED) Kick();
      break;
    case IDC_BAN_CLIENT:
      if (code == BN_CLICKED) Ban();
      break;
    default:
      break;
  }
}

void InfoPage::RefreshClientList() {
  std::vector<std::string> rows = ClientListRows(server_.clients().Clients());
  if (rows == rows_) return;
  rows_ = std::move(rows);
  HWND list = GetDlgItem(window_, IDC_CLIENT_LIST);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& row : rows_) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  }
}

void InfoPage::RefreshDetails() {
  std::vector<ClientInfo> clients = server_.clients().Clients();
  int64_t now = std::time(nullptr);
  int line = static_cast<int>(SendDlgItemMessageA(window_, IDC_CLIENT_LIST, LB_GETCURSEL, 0, 0));
  if (line >= 0 && static_cast<std::size_t>(line) < rows_.size()) {
    // A line whose client moved on keeps its last values until the list
    // catches up.
    if (std::optional<ClientInfo> client = ClientOnLine(clients, rows_, line)) {
      ClientDetails details = DetailsOf(*client, now);
      ShowText(window_, IDC_CONNECTION_TIME, details.connectionTime);
      ShowText(window_, IDC_CURRENT_ACTIVITY, details.activity);
      ShowText(window_, IDC_CLIENT_BANDWIDTH, details.bandwidth);
    }
  } else {
    ShowText(window_, IDC_CONNECTION_TIME, "");
    ShowText(window_, IDC_CURRENT_ACTIVITY, "");
    ShowText(window_, IDC_CLIENT_BANDWIDTH, "");
  }

  ServerActivity server =
      ServerActivityOf(server_.listener().IsListening(), server_.listener().StartTime(), now);
  ShowText(window_, IDC_SERVER_STATUS, server.status);
  // Where to open the server, once HTTPS is served beside HTTP.
  const int httpsPort = server_.listener().HttpsPort();
  ShowText(window_, IDC_SERVER_ADDRESSES,
           httpsPort > 0
               ? ServerAddressesText(LocalHostName(), server_.listener().Port(), httpsPort)
               : "");
  ShowText(window_, IDC_UPTIME, server.uptime);
  EnableWindow(GetDlgItem(window_, IDC_START_SERVER), server.startEnabled);
  EnableWindow(GetDlgItem(window_, IDC_STOP_SERVER), server.stopEnabled);
  ShowText(window_, IDC_TOTAL_BANDWIDTH, TotalBandwidthText(clients));
  ShowText(window_, IDC_LOCKED_OUT, LockedOutText(server_.access().LockedOutAddresses(NowMs())));
}

void InfoPage::Kick() {
  int line = static_cast<int>(SendDlgItemMessageA(window_, IDC_CLIENT_LIST, LB_GETCURSEL, 0, 0));
  std::optional<ClientInfo> client = ClientOnLine(server_.clients().Clients(), rows_, line);
  if (!client) return;
  if (!AskOkCancel(window_, KickQuestion(client->peerAddress))) return;
  server_.clients().Kick(client->connectionId);
  Sleep(kSettleMs);
  RefreshClientList();
  RefreshDetails();
}

void InfoPage::Ban() {
  int line = static_cast<int>(SendDlgItemMessageA(window_, IDC_CLIENT_LIST, LB_GETCURSEL, 0, 0));
  std::optional<ClientInfo> client = ClientOnLine(server_.clients().Clients(), rows_, line);
  if (!client) return;
  if (!AskOkCancel(window_, BanQuestion(client->peerAddress))) return;
  BanConnection(server_, client->connectionId);
  Sleep(kSettleMs);
  RefreshClientList();
  RefreshDetails();
}
