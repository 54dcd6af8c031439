#include "orvihttp/access/access_gate.h"

#include "orvihttp/access/basic_credentials.h"
#include "orvihttp/tls/password_hash.h"

namespace {

// A download manager's thousand requests need one entry; many clients at
// once need few more. Past this, the table starts again.
constexpr std::size_t kMostRemembered = 1024;

}  // namespace

AccessGate::AccessGate() : rules_(std::make_shared<Rules>()) {}

void AccessGate::Replace(UserAccounts accounts, FolderRightsTable rights) {
  auto rules = std::make_shared<Rules>(Rules{std::move(accounts), std::move(rights)});
  const bool active = !rules->accounts.empty() || !rules->rights.empty();
  // A session lives only as long as its account; whoever changes a
  // password ends that account's sessions too (EndSessionsOf).
  sessions_.EndAllExcept(
      [&](const std::string& account) { return rules->accounts.Contains(account); });
  std::lock_guard<std::mutex> lock(mutex_);
  rules_ = std::move(rules);
  active_.store(active, std::memory_order_release);
  remembered_.clear();
}

void AccessGate::EndSessionsOf(const std::string& account) {
  sessions_.EndAllOf(account);
}

bool AccessGate::Active() const {
  return active_.load(std::memory_order_acquire);
}

std::shared_ptr<const AccessGate::Rules> AccessGate::CurrentRules() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rules_;
}

AccessGate::Decision AccessGate::Decide(const Asker& asker, int64_t nowMs) {
  Decision decision;
  if (!Active()) return decision;
  std::shared_ptr<const Rules> rules = CurrentRules();
  const std::string& peerAddress = asker.peerAddress;
  const bool loopback = asker.loopback;
  // Another scheme than Basic is no password guess: the request is taken as
  // coming from nobody.
  if (std::optional<BasicCredentials> credentials = ParseBasicAuthorization(asker.authorization)) {
    if (!loopback && lockouts_.IsLockedOut(peerAddress, nowMs)) {
      decision.outcome = Decision::Outcome::LockedOut;
      return decision;
    }
    if (!Verify(*rules, credentials->name, credentials->password, nowMs)) {
      decision.outcome = Decision::Outcome::SignInNeeded;
      decision.failedSignIn = true;
      decision.triedName = credentials->name;
      decision.lockedOutNow = !loopback && lockouts_.RecordFailure(peerAddress, nowMs);
      return decision;
    }
    decision.account = credentials->name;
  } else if (const std::string token = SessionTokenFromCookies(asker.cookies); !token.empty()) {
    if (std::optional<std::string> account = sessions_.AccountOf(token, nowMs)) {
      decision.account = std::move(*account);
      decision.fromSession = true;
    }
  }
  const std::string* account = decision.account.empty() ? nullptr : &decision.account;
  if (rules->rights.Effective(asker.path, asker.right).Admits(account)) return decision;
  decision.outcome = account ? Decision::Outcome::Forbidden : Decision::Outcome::SignInNeeded;
  return decision;
}

bool AccessGate::MaySee(const std::string& folderPath, const std::string& account) const {
  std::shared_ptr<const Rules> rules = CurrentRules();
  return rules->rights.Effective(folderPath, FolderRight::See)
      .Admits(account.empty() ? nullptr : &account);
}

bool AccessGate::Holds(const std::string& path, FolderRight right,
                       const std::string& account) const {
  std::shared_ptr<const Rules> rules = CurrentRules();
  return rules->rights.Effective(path, right).Admits(account.empty() ? nullptr : &account);
}

std::optional<std::string> AccessGate::UploadFolder(const std::string& folderPath) const {
  std::shared_ptr<const Rules> rules = CurrentRules();
  return rules->rights.UploadTo(folderPath);
}

std::vector<std::string> AccessGate::UploadFolders() const {
  std::shared_ptr<const Rules> rules = CurrentRules();
  return rules->rights.UploadFolders();
}

AccessGate::SignInResult AccessGate::SignIn(const std::string& name, const std::string& password,
                                            const std::string& peerAddress, bool loopback,
                                            int64_t nowMs) {
  SignInResult result;
  if (!loopback && lockouts_.IsLockedOut(peerAddress, nowMs)) {
    result.outcome = SignInResult::Outcome::LockedOut;
    return result;
  }
  std::shared_ptr<const Rules> rules = CurrentRules();
  if (!Verify(*rules, name, password, nowMs)) {
    result.lockedOutNow = !loopback && lockouts_.RecordFailure(peerAddress, nowMs);
    return result;
  }
  result.token = sessions_.Begin(name, nowMs);
  result.outcome =
      result.token.empty() ? SignInResult::Outcome::Failed : SignInResult::Outcome::SignedIn;
  return result;
}

void AccessGate::SignOut(const std::string& cookies) {
  sessions_.End(SessionTokenFromCookies(cookies));
}

std::vector<std::string> AccessGate::LockedOutAddresses(int64_t nowMs) const {
  return lockouts_.LockedOut(nowMs);
}

bool AccessGate::Verify(const Rules& rules, const std::string& name, const std::string& password,
                        int64_t nowMs) {
  // The digest is keyed with a secret of this process, so the table holds
  // nothing a password could be recovered from.
  const std::string key = KeyedDigest(name + ':' + password);
  // Without a key (no random numbers) nothing is remembered.
  if (!key.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = remembered_.find(key);
    if (found != remembered_.end() && found->second.expiresMs > nowMs &&
        found->second.account == name) {
      return true;
    }
  }
  // The full hash runs without the lock: it takes a while by design.
  if (!rules.accounts.Check(name, password)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  // Rules replaced meanwhile: this check was against the old ones.
  if (rules_.get() != &rules || key.empty()) return true;
  if (remembered_.size() >= kMostRemembered) remembered_.clear();
  remembered_[key] = Remembered{name, nowMs + kRememberCredentialMs};
  return true;
}
