#include "orvihttp/access/user_accounts.h"

#include <cstdio>

#include "foundation/file_system.h"
#include "foundation/system_error_text.h"
#include "orvihttp/access/account_name.h"
#include "orvihttp/config/product_identity.h"
#include "orvihttp/tls/owner_only_file.h"
#include "orvihttp/tls/password_hash.h"

namespace {

// Checked in place of a name that has no account, so that a wrong name costs
// what a wrong password costs. Nobody knows a password for it.
constexpr char kNoAccountHash[] =
    "pbkdf2-sha256$600000$b3J2aS1uby1hY2NvdW50IQ==$DVn32UWMAkJl+Nd55ex2k6Z6noIWGMY39BCnAZme8Xw=";

constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

bool Refuse(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return false;
}

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

// The reason a line cannot be an account, or "" when it can.
std::string LineProblem(const std::string& line, std::string* name, std::string* storedHash) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return "it is not of the form name:password hash";
  *name = line.substr(0, colon);
  *storedHash = line.substr(colon + 1);
  std::string why;
  if (!IsValidAccountName(*name, &why)) return why;
  if (!IsWellFormedPasswordHash(*storedHash, &why)) {
    return "the password hash of \"" + *name + "\" is damaged (" + why + ")";
  }
  return std::string();
}

}  // namespace

bool UserAccounts::IsNewAccountName(const std::string& name, std::string* why) {
  if (!IsValidAccountName(name, why)) return false;
  if (name[0] == '#') {
    return Refuse(why,
                  "an account name cannot begin with \"#\" (the file takes that for a comment)");
  }
  return true;
}

bool UserAccounts::Add(const std::string& name, const std::string& password, std::string* why) {
  if (!IsNewAccountName(name, why)) return false;
  if (Contains(name)) return Refuse(why, "there is already an account \"" + name + "\"");
  if (password.empty()) return Refuse(why, "a password cannot be empty");
  const std::string storedHash = MakePasswordHash(password);
  if (storedHash.empty()) return Refuse(why, "the system gave no random numbers for a salt");
  accounts_.push_back({name, storedHash});
  return true;
}

bool UserAccounts::SetPassword(const std::string& name, const std::string& password,
                               std::string* why) {
  Account* account = nullptr;
  for (Account& candidate : accounts_) {
    if (candidate.name == name) account = &candidate;
  }
  if (!account) return Refuse(why, "there is no account \"" + name + "\"");
  if (password.empty()) return Refuse(why, "a password cannot be empty");
  const std::string storedHash = MakePasswordHash(password);
  if (storedHash.empty()) return Refuse(why, "the system gave no random numbers for a salt");
  account->storedHash = storedHash;
  return true;
}

bool UserAccounts::Remove(const std::string& name) {
  for (auto it = accounts_.begin(); it != accounts_.end(); ++it) {
    if (it->name == name) {
      accounts_.erase(it);
      return true;
    }
  }
  return false;
}

std::vector<std::string> UserAccounts::Names() const {
  std::vector<std::string> names;
  for (const Account& account : accounts_) names.push_back(account.name);
  return names;
}

bool UserAccounts::Contains(const std::string& name) const {
  return Find(name) != nullptr;
}

bool UserAccounts::Check(const std::string& name, const std::string& password) const {
  const Account* account = Find(name);
  const bool matches = CheckPasswordHash(password, account ? account->storedHash : kNoAccountHash);
  return account != nullptr && !password.empty() && matches;
}

UserAccounts UserAccounts::Parse(const std::string& text, std::vector<std::string>* problems) {
  UserAccounts read;
  size_t start = text.compare(0, 3, kUtf8ByteOrderMark) == 0 ? 3 : 0;
  for (size_t number = 1; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsBlank(line) || line[0] == '#') continue;
    std::string name;
    std::string storedHash;
    std::string problem = LineProblem(line, &name, &storedHash);
    if (problem.empty() && read.Contains(name)) {
      problem = "the account \"" + name + "\" is already on an earlier line";
    }
    if (!problem.empty()) {
      if (problems) {
        problems->push_back("Line " + std::to_string(number) + " is skipped: " + problem + ".");
      }
      continue;
    }
    read.accounts_.push_back({name, storedHash});
  }
  return read;
}

std::string UserAccounts::Serialize() const {
  std::string text = std::string("# ") + kProductName + " accounts\n";
  for (const Account& account : accounts_) text += account.name + ":" + account.storedHash + "\n";
  return text;
}

bool UserAccounts::Load(const std::string& path, std::vector<std::string>* problems) {
  accounts_.clear();
  if (IsFolder(path)) {
    if (problems) problems->push_back(path + " is a folder, not an accounts file.");
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    if (!IsFile(path)) return true;  // no file yet: no accounts
    if (problems) problems->push_back("Cannot read " + path + ": " + LastSystemErrorText() + ".");
    return false;
  }
  std::string text;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    if (problems) problems->push_back("Cannot read " + path + ".");
    return false;
  }
  *this = Parse(text, problems);
  return true;
}

bool UserAccounts::Save(const std::string& path, std::string* error) const {
  const std::string temporary = path + ".tmp";
  RemoveFile(temporary);  // left by a write that was cut short
  std::string reason;
  if (!WriteOwnerOnlyFile(temporary, Serialize(), &reason)) {
    return Refuse(error, "cannot write " + temporary + ": " + reason);
  }
  if (!RenameFile(temporary, path)) {
    reason = LastSystemErrorText();
    RemoveFile(temporary);
    return Refuse(error, "cannot replace " + path + ": " + reason);
  }
  return true;
}

const UserAccounts::Account* UserAccounts::Find(const std::string& name) const {
  for (const Account& account : accounts_) {
    if (account.name == name) return &account;
  }
  return nullptr;
}
