// The real form dialog, driven from a second thread the way a user would: find
// it by its caption, change the field, press a button.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "desktop/dialog_helpers.h"

namespace {

constexpr int kFieldId = 667;

HWND WaitForDialog(const char* caption) {
  for (int waited = 0; waited < 20000; waited += 50) {
    HWND dialog = FindWindowA("#32770", caption);
    if (dialog && IsWindowVisible(dialog)) return dialog;
    Sleep(50);
  }
  return nullptr;
}

std::string ItemText(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

FormDescription OneFieldForm(const char* caption, const std::string& value) {
  FormDescription form;
  form.caption = caption;
  form.buttons = FormDescription::Buttons::OkCancel;
  form.rows.push_back({0, FormRow::Kind::Text, "Give the address to ban.", ""});
  form.rows.push_back({kFieldId, FormRow::Kind::Field, "IP to add:", value});
  return form;
}

// Shows the form on this thread, owned by `owner`, while `user` drives it
// from another. Returns what the user's side saw before it acted (empty when
// it found no dialog).
std::string ShowWhile(FormDescription& form, const std::function<void(HWND)>& user,
                      HWND owner = nullptr) {
  std::string seen;
  std::thread driver([&] {
    HWND dialog = WaitForDialog(form.caption.c_str());
    if (!dialog) return;
    seen = ItemText(dialog, kFieldId);
    user(dialog);
  });
  ShowFormDialog(owner, form);
  driver.join();
  return seen;
}

void Click(HWND dialog, int id) {
  SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

TEST(FormDialog, OkReadsTheFieldsCancelAndCloseKeepThem) {
  FormDescription cleared = OneFieldForm("Blacklist IP", "0.0.0.0");
  EXPECT_EQ(ShowWhile(cleared,
                      [](HWND dialog) {
                        EXPECT_EQ(ItemText(dialog, IDOK), "OK");
                        EXPECT_EQ(ItemText(dialog, IDCANCEL), "Cancel");
                        SetDlgItemTextA(dialog, kFieldId, "");
                        Click(dialog, IDOK);
                      }),
            "0.0.0.0");
  EXPECT_EQ(cleared.rows[1].value, "");
  EXPECT_EQ(cleared.rows[0].value, "");

  FormDescription cancelled = OneFieldForm("Blacklist IP", "0.0.0.0");
  ShowWhile(cancelled, [](HWND dialog) {
    SetDlgItemTextA(dialog, kFieldId, "10.0.0.5");
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(cancelled.rows[1].value, "0.0.0.0");

  // The title bar's close button is Cancel, also without a Cancel button.
  FormDescription closed = OneFieldForm("Blacklist IP", "0.0.0.0");
  closed.buttons = FormDescription::Buttons::OkOnly;
  ShowWhile(closed, [](HWND dialog) {
    EXPECT_EQ(GetDlgItem(dialog, IDCANCEL), nullptr);
    SetDlgItemTextA(dialog, kFieldId, "10.0.0.5");
    SendMessageA(dialog, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(closed.rows[1].value, "0.0.0.0");
}

TEST(FormDialog, FieldsHoldAtMostSixtyThreeCharacters) {
  FormDescription form = OneFieldForm("Long entry", std::string(70, 'a'));
  std::string shown = ShowWhile(form, [](HWND dialog) {
    // Typing stops at the limit.
    HWND field = GetDlgItem(dialog, kFieldId);
    EXPECT_EQ(SendMessageA(field, EM_GETLIMITTEXT, 0, 0), 63);
    SetWindowTextA(field, std::string(80, 'b').c_str());
    Click(dialog, IDOK);
  });
  EXPECT_EQ(shown, std::string(63, 'a'));
  EXPECT_EQ(form.rows[1].value, std::string(63, 'b'));
}

TEST(FormDialog, IsModalToItsOwner) {
  HWND owner = CreateWindowExA(0, "STATIC", "Form owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  FormDescription form = OneFieldForm("Owned form", "");
  HWND seenOwner = nullptr;
  bool ownerEnabled = true;
  ShowWhile(
      form,
      [&](HWND dialog) {
        seenOwner = GetWindow(dialog, GW_OWNER);
        ownerEnabled = IsWindowEnabled(owner);
        Click(dialog, IDCANCEL);
      },
      owner);
  EXPECT_EQ(seenOwner, owner);
  EXPECT_FALSE(ownerEnabled);
  // Closing the form gives the owner back to the user.
  EXPECT_TRUE(IsWindowEnabled(owner));
  DestroyWindow(owner);

  // Without an owner the form stands alone.
  FormDescription alone = OneFieldForm("Lone form", "");
  HWND loneOwner = owner;
  ShowWhile(alone, [&](HWND dialog) {
    loneOwner = GetWindow(dialog, GW_OWNER);
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(loneOwner, nullptr);
}

TEST(FormDialog, RowsStackAboveCentredButtonsOnACentredWindow) {
  FormDescription form = OneFieldForm("Layout check", "");
  form.rows.push_back({668, FormRow::Kind::Field, "Second:", "x"});
  RECT text{}, first{}, second{}, ok{}, cancel{}, window{}, client{};
  ShowWhile(form, [&](HWND dialog) {
    HWND label = GetWindow(GetDlgItem(dialog, kFieldId), GW_HWNDPREV);
    GetWindowRect(GetWindow(label, GW_HWNDPREV), &text);
    GetWindowRect(GetDlgItem(dialog, kFieldId), &first);
    GetWindowRect(GetDlgItem(dialog, 668), &second);
    GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &cancel);
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    Click(dialog, IDCANCEL);
  });
  EXPECT_LT(text.bottom, first.top);
  EXPECT_LT(first.bottom, second.top);
  EXPECT_EQ(first.left, second.left);
  EXPECT_LT(second.bottom, ok.top);
  EXPECT_EQ(ok.top, cancel.top);
  EXPECT_LT(ok.right, cancel.left);
  // The buttons as a group sit in the middle of the client area.
  EXPECT_NEAR((ok.left + cancel.right) / 2, (client.left + client.right) / 2, 2);
  EXPECT_NEAR((text.left + text.right) / 2, (client.left + client.right) / 2, 2);
  // Everything inside the window, and the window in the middle of the screen.
  EXPECT_LE(first.right, client.right);
  EXPECT_LE(cancel.bottom, client.bottom);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 2);
  EXPECT_NEAR((window.top + window.bottom) / 2, (work.top + work.bottom) / 2, 2);
}

}  // namespace
