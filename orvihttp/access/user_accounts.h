#pragma once

#include <string>
#include <vector>

#include "orvihttp/config/install_files.h"

// The server's accounts: names with their password hashes, kept in
// OrviHTTP.users (kUsersFileName) beside OrviHTTP.ini. The file is UTF-8 text,
// one account a line:
//
//   # Orvi HTTP Server accounts
//   alice:pbkdf2-sha256$600000$<salt>$<hash>
//
// Lines starting with "#" and empty lines are skipped when reading. Only
// password hashes are kept, in memory and on disk; a password is never
// written anywhere. Names are matched exactly, letter case included.
class UserAccounts {
 public:
  // True when a new account may take `name`: IsValidAccountName accepts it
  // and it does not begin with "#" (the file would read it as a comment).
  // Otherwise false with the reason in `*why` when it is given.
  static bool IsNewAccountName(const std::string& name, std::string* why = nullptr);

  // Adds an account. False, with the reason in `*why` when it is given, for
  // a name IsNewAccountName refuses, a name already taken or an empty
  // password.
  bool Add(const std::string& name, const std::string& password, std::string* why = nullptr);
  // Gives an existing account a new password; false with the reason as Add.
  bool SetPassword(const std::string& name, const std::string& password,
                   std::string* why = nullptr);
  // False when there was no such account.
  bool Remove(const std::string& name);

  // The names in the order of the file (new ones at its end).
  std::vector<std::string> Names() const;
  bool Contains(const std::string& name) const;
  bool empty() const { return accounts_.empty(); }

  // True when `password` is the account's. An unknown name is false after
  // the same work as a known one, so the time taken does not tell which
  // names exist.
  bool Check(const std::string& name, const std::string& password) const;

  // Reads the file's text. A line that cannot be an account (an invalid or
  // repeated name, a damaged hash, no ":") is left out, so it lets nobody in,
  // and a sentence naming its line number is added to `*problems` when it is
  // given.
  static UserAccounts Parse(const std::string& text, std::vector<std::string>* problems);
  // The file's text: the comment line, then one line per account.
  std::string Serialize() const;

  // Replaces these accounts with the file's. A missing file holds no
  // accounts (true); a file that cannot be read is false, with the reason in
  // `*problems`. Lines left out are reported there as for Parse.
  bool Load(const std::string& path, std::vector<std::string>* problems);
  // Writes the file in one step: a new file only the current user may read,
  // `<path>.tmp`, then put in the place of the old one, so a failure never
  // leaves a half-written or readable file. False with the reason in
  // `*error` when it is given.
  bool Save(const std::string& path, std::string* error = nullptr) const;

 private:
  struct Account {
    std::string name;
    std::string storedHash;
  };

  const Account* Find(const std::string& name) const;

  std::vector<Account> accounts_;
};
