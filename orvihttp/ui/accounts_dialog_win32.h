#pragma once

#include <windows.h>

#include <string>

class Server;

// The Settings page's "Accounts..." dialog, modal over `owner`: edits the
// accounts of OrviHTTP.users in `installFolder`. OK writes them and puts
// them in force for `server` at once; Cancel leaves everything as it was.
void ShowAccountsDialog(HWND owner, Server& server, const std::string& installFolder);
