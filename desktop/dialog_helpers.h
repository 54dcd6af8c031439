#pragma once

#include <string>
#include <utility>
#include <vector>

// Small modal dialogs of the settings window. They run on the calling thread.
// The Linux build has no windows: there the choosers return "" and the form
// leaves every value as it was, as if the user had cancelled.

// Owner is a native window handle (HWND) passed as void* so the header stays
// portable. The chosen folder's full path, or "" when cancelled.
std::string BrowseForFolder(void* owner);

// The folder chooser with `title` above its tree and `initialFolder` picked
// when it opens ("" for none); the user may make a new folder in it. The
// chosen folder's full path, or "" when cancelled.
std::string AskFolder(void* owner, const std::string& title, const std::string& initialFolder);

// The save-file dialog. `filters` pairs a caption with its pattern
// ({"Log file (*.log)", "*.log"}); the first is selected. `defaultExtension`
// (with or without its dot) is added to a typed name that has none. The chosen
// full path, or "" when cancelled.
std::string AskSaveFileName(const std::string& title,
                            const std::vector<std::pair<std::string, std::string>>& filters,
                            const std::string& defaultExtension, const std::string& initialName);

// The open-file dialog for an existing file, in the same way.
std::string AskOpenFileName(void* owner, const std::string& title,
                            const std::vector<std::pair<std::string, std::string>>& filters,
                            const std::string& initialName);

// The longest text a form field holds.
inline constexpr std::size_t kFormValueLimit = 63;

struct FormRow {
  int id = 0;
  enum class Kind { Text = 0, Field = 1 } kind = Kind::Text;
  std::string label;
  std::string value; /* at most 63 characters */
};

struct FormDescription {
  std::string caption;
  enum class Buttons { OkOnly = 0, OkCancel = 1 } buttons = Buttons::OkCancel;
  void* largeIcon = nullptr;  // HICON
  void* smallIcon = nullptr;  // HICON
  std::vector<FormRow> rows;
};

// A modal dialog built from `form`, owned by `owner` (an HWND, or null): the
// owner is disabled while the form is open and the form stays in front of it.
// After OK every field's value holds the entered text; after Cancel or
// closing the values are unchanged, which is how callers tell the two apart.
void ShowFormDialog(void* owner, FormDescription& form);
