#include "orvihttp/ui/accounts_dialog_model.h"

#include <utility>

#include "foundation/paths.h"
#include "orvihttp/http/access_rules.h"
#include "orvihttp/http/server.h"

namespace {

// The checks that need no hashing, so a refused click costs nothing.
std::string PasswordProblem(const std::string& password, const std::string& passwordAgain) {
  if (password.empty()) return kEmptyPasswordText;
  if (password != passwordAgain) return kPasswordsDifferText;
  return "";
}

}  // namespace

AccountsDialogModel::AccountsDialogModel(std::string installFolder)
    : installFolder_(std::move(installFolder)) {
  std::vector<std::string> problems;
  if (!accounts_.Load(JoinPath(installFolder_, kUsersFileName), &problems)) {
    accounts_ = UserAccounts();
    loadError_ =
        problems.empty() ? std::string("The accounts file cannot be read.") : problems.front();
  } else if (!problems.empty()) {
    // Saving would drop the lines that could not be read.
    loadError_ = problems.front() + " The accounts file is left as it is.";
  }
}

std::string AccountsDialogModel::Add(const std::string& name, const std::string& password,
                                     const std::string& passwordAgain) {
  std::string why;
  if (!UserAccounts::IsNewAccountName(name, &why)) return why;
  if (accounts_.Contains(name)) return "An account named \"" + name + "\" exists already.";
  why = PasswordProblem(password, passwordAgain);
  if (!why.empty()) return why;
  if (!accounts_.Add(name, password, &why)) return why;
  changed_ = true;
  return "";
}

std::string AccountsDialogModel::SetPassword(const std::string& name, const std::string& password,
                                             const std::string& passwordAgain) {
  if (name.empty() || !accounts_.Contains(name)) return kNoAccountSelectedText;
  std::string why = PasswordProblem(password, passwordAgain);
  if (!why.empty()) return why;
  if (!accounts_.SetPassword(name, password, &why)) return why;
  endSessions_.insert(name);
  changed_ = true;
  return "";
}

std::string AccountsDialogModel::Remove(const std::string& name) {
  if (!accounts_.Remove(name)) return kNoAccountSelectedText;
  endSessions_.insert(name);
  changed_ = true;
  return "";
}

std::string AccountsDialogModel::Commit(Server& server) {
  if (!changed_) return "";
  if (!loadError_.empty()) return loadError_;
  std::string error;
  if (!accounts_.Save(JoinPath(installFolder_, kUsersFileName), &error)) {
    return error.empty() ? std::string("The accounts file cannot be written.") : error;
  }
  LoadAccessRules(server, installFolder_);
  // After the new accounts are in force, so a session cannot start again
  // from the old password in between.
  for (const std::string& name : endSessions_) server.access().EndSessionsOf(name);
  changed_ = false;
  endSessions_.clear();
  return "";
}
