#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "orvihttp/access/folder_rights.h"
#include "orvihttp/access/sign_in_lockouts.h"
#include "orvihttp/access/sign_in_sessions.h"
#include "orvihttp/access/user_accounts.h"

// Who may have what: decides each request from the accounts and the rights
// on folders in force, and answers which sub-folders a listing may name.
// With no account and no right (every install until the user sets one),
// every request is let through without a look at its headers.
class AccessGate {
 public:
  struct Decision {
    enum class Outcome {
      Allowed,       // serve it
      SignInNeeded,  // 401 with a challenge: nobody (or a wrong password) signed in
      Forbidden,     // 403: the signed-in account lacks the right
      LockedOut,     // 429: the address guessed wrong too often
    };
    Outcome outcome = Outcome::Allowed;
    // The signed-in account, "" for nobody, and whether it signed in through
    // the sign-in page (so it can sign out there).
    std::string account;
    bool fromSession = false;
    // The request carried a name and password that did not match; the name
    // as given, for the log.
    bool failedSignIn = false;
    std::string triedName;
    // That failure locked the address out.
    bool lockedOutNow = false;
  };

  // Who asks for what, as far as the rules care.
  struct Asker {
    std::string path;           // percent-decoded
    std::string authorization;  // the Authorization header's value, "" when none
    std::string cookies;        // the Cookie header's value, "" when none
    std::string peerAddress;
    bool loopback = false;  // never locked out
    // What the request would do there: an upload or a removal needs that
    // right instead of the right to see.
    FolderRight right = FolderRight::See;
  };

  struct SignInResult {
    enum class Outcome { SignedIn, Wrong, LockedOut, Failed };
    Outcome outcome = Outcome::Wrong;
    std::string token;  // the new session's, when signed in
    bool lockedOutNow = false;
  };

  AccessGate();
  // The accounts and rights in force from now on. Remembered credentials
  // are forgotten, so a changed or removed password stops working at once.
  void Replace(UserAccounts accounts, FolderRightsTable rights);
  // False while there is no account and no right.
  bool Active() const;

  // The answer for one request. A session cookie signs the client in; so
  // does a Basic credential, which is checked when it is sent.
  Decision Decide(const Asker& asker, int64_t nowMs);
  // The sign-in form: a new session when the name and password match,
  // counted against the address like a Basic credential when they do not.
  SignInResult SignIn(const std::string& name, const std::string& password,
                      const std::string& peerAddress, bool loopback, int64_t nowMs);
  void SignOut(const std::string& cookies);
  // After a password changed: whoever signed in with the old one must sign in
  // again.
  void EndSessionsOf(const std::string& account);
  // Whether `account` ("" for nobody) may see the folder at `folderPath`:
  // a listing leaves out the sub-folders it may not.
  bool MaySee(const std::string& folderPath, const std::string& account) const;
  std::vector<std::string> LockedOutAddresses(int64_t nowMs) const;
  // Whether `account` holds `right` at `path`, as Decide judges it.
  bool Holds(const std::string& path, FolderRight right, const std::string& account) const;
  // The real folder that receives the uploads of the virtual folder at
  // `folderPath`, if it is marked for them.
  std::optional<std::string> UploadFolder(const std::string& folderPath) const;
  std::vector<std::string> UploadFolders() const;

  // How long a verified name and password are taken without hashing again.
  static constexpr int64_t kRememberCredentialMs = 5 * 60 * 1000;

 private:
  struct Rules {
    UserAccounts accounts;
    FolderRightsTable rights;
  };
  std::shared_ptr<const Rules> CurrentRules() const;
  // True when the name and password match an account, from memory when they
  // matched a short while ago.
  bool Verify(const Rules& rules, const std::string& name, const std::string& password,
              int64_t nowMs);

  mutable std::mutex mutex_;
  std::shared_ptr<const Rules> rules_;
  // Read without the lock by every request, so an install without rules
  // pays nothing for them.
  std::atomic<bool> active_{false};
  // Keyed digests of verified credentials (never the credentials), with the
  // account and when they stop counting.
  struct Remembered {
    std::string account;
    int64_t expiresMs = 0;
  };
  std::map<std::string, Remembered> remembered_;
  SignInLockouts lockouts_;
  SignInSessions sessions_;
};
