#include "orvihttp/http/access_rules.h"

#include <vector>

#include "foundation/clock.h"
#include "foundation/paths.h"
#include "orvihttp/http/server.h"
#include "orvihttp/http/upload_exchange.h"
#include "orvihttp/logging/access_log.h"

namespace {

constexpr int64_t kSweepIntervalMs = 60 * 60 * 1000;

bool Same(const std::optional<FileStatus>& a, const std::optional<FileStatus>& b) {
  if (!a || !b) return !a && !b;
  return a->SameFileAs(*b);
}

}  // namespace

AccessRulesFiles::AccessRulesFiles(std::string folder)
    : usersPath_(JoinPath(folder, kUsersFileName)),
      rightsPath_(JoinPath(folder, kRightsFileName)) {}

AccessRulesFiles::Stamps AccessRulesFiles::Current() const {
  return Stamps{QueryFileStatus(usersPath_), QueryFileStatus(rightsPath_)};
}

void AccessRulesFiles::Load(Server& server) {
  loaded_ = Current();
  lastSweepMs_ = NowMs();
  std::vector<std::string> problems;
  UserAccounts accounts;
  if (!accounts.Load(usersPath_, &problems)) {
    problems.push_back("Cannot read " + usersPath_ + ": nobody can sign in");
  }
  FolderRightsTable rights;
  if (!rights.Load(rightsPath_, &problems)) {
    problems.push_back("Cannot read " + rightsPath_ + ": every folder is closed until it can be");
    rights = FolderRightsTable();
    rights.Set("/", FolderRight::See, RightHolders{RightHolders::Kind::Names, {}});
  }
  std::shared_ptr<const ServerSettings> settings = server.Settings();
  for (const std::string& problem : problems) LogServerNotice(server.logs(), *settings, problem);
  server.access().Replace(std::move(accounts), std::move(rights));
  RemoveLeftoverUploads(server, false);
}

void AccessRulesFiles::ReloadIfChanged(Server& server) {
  const Stamps now = Current();
  if (!Same(now.users, loaded_.users) || !Same(now.rights, loaded_.rights)) {
    Load(server);
  } else if (NowMs() - lastSweepMs_ >= kSweepIntervalMs) {
    lastSweepMs_ = NowMs();
    RemoveLeftoverUploads(server, false);
  }
}

void LoadAccessRules(Server& server, const std::string& folder) {
  AccessRulesFiles(folder).Load(server);
}
