#pragma once

#include <set>
#include <string>
#include <vector>

#include "orvihttp/access/user_accounts.h"

class Server;

// What the Settings page's "Accounts..." dialog does, apart from drawing: a
// working copy of OrviHTTP.users that the dialog edits and OK writes back.
// Passwords are hashed at once and dropped; only the hashes are kept.
class AccountsDialogModel {
 public:
  // Reads the accounts file of `installFolder`. A file that cannot be read
  // leaves the copy empty and loadError() says why; OK then writes nothing,
  // so the accounts in it are not lost.
  explicit AccountsDialogModel(std::string installFolder);

  const std::string& loadError() const { return loadError_; }
  std::vector<std::string> Names() const { return accounts_.Names(); }

  // Each answers "" when done, otherwise the sentence to show the user; a
  // refused edit changes nothing. A password is hashed at most once per call.
  std::string Add(const std::string& name, const std::string& password,
                  const std::string& passwordAgain);
  std::string SetPassword(const std::string& name, const std::string& password,
                          const std::string& passwordAgain);
  std::string Remove(const std::string& name);

  bool changed() const { return changed_; }

  // OK: writes the file (in one step), ends the sessions of every account
  // whose password changed or that went, and puts the accounts and the
  // folder rights of the install folder in force for `server`. An untouched
  // copy writes nothing. "" when done, otherwise why the file was not
  // written (nothing else then changes either).
  std::string Commit(Server& server);

 private:
  std::string installFolder_;
  std::string loadError_;
  UserAccounts accounts_;
  std::set<std::string> endSessions_;
  bool changed_ = false;
};

inline constexpr char kNoAccountSelectedText[] = "Select an account in the list first.";
inline constexpr char kEmptyPasswordText[] = "Type a password.";
inline constexpr char kPasswordsDifferText[] =
    "The two passwords differ. Type the same password in both boxes.";
