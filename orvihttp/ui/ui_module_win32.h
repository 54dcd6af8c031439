#pragma once

#include <windows.h>

#include <string>

// The plugin library's own module: its dialogs and icons live there, not in
// the host's executable.
HINSTANCE UiModule();

// An icon of the library's resources at `size` pixels; the caller destroys it.
HICON LoadUiIcon(int resource, int size);

// The pages' text prompt: a form with one empty field labelled `label`,
// OK and Cancel, and the window's icons, owned by the settings window that
// holds `page`. Gives the typed text (at most 63 characters) after OK, and ""
// after Cancel or close.
std::string PromptForText(HWND page, const std::string& caption, const std::string& label,
                          int fieldId);

// Control texts, moved without flicker: a text that is already shown is not
// set again.
std::string ControlText(HWND dialog, int id, int limit = 1024);
void ShowText(HWND dialog, int id, const std::string& text);
