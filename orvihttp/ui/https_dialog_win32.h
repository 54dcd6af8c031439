#pragma once

#include <windows.h>

#include <string>

#include "orvihttp/ui/https_dialog_model.h"

// The Settings page's "HTTPS..." dialog, modal over `owner`: edits `choices`
// and shows what the certificate they name is. True after OK, with the
// entered choices; false after Cancel, with `choices` as they were.
bool ShowHttpsDialog(HWND owner, HttpsChoices& choices, const std::string& installFolder);
