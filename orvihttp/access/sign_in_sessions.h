#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

// The browsers signed in through the sign-in page: each holds a random
// 256-bit token in a cookie, and the server keeps, in memory only, a keyed
// digest of it with the account's name. A session ends when it signs out,
// when it was not used for kIdleMs, when its account goes, or when the
// server stops.
class SignInSessions {
 public:
  static constexpr int64_t kIdleMs = 12LL * 60 * 60 * 1000;
  // More sessions at once than any personal server sees; past it, the one
  // idle longest makes room.
  static constexpr std::size_t kMostSessions = 4096;

  // A new session for `account`: its token as the cookie carries it (64
  // hex digits), or "" when no random token could be made.
  std::string Begin(const std::string& account, int64_t nowMs);
  // The account of a live session, which counts as used now.
  std::optional<std::string> AccountOf(const std::string& token, int64_t nowMs);
  void End(const std::string& token);
  // Every session of an account that no longer exists or changed its
  // password ends with it.
  void EndAllOf(const std::string& account);
  // Ends the sessions of accounts for which `exists` is false.
  void EndAllExcept(const std::function<bool(const std::string& account)>& exists);

 private:
  struct Session {
    std::string account;
    int64_t lastUsedMs = 0;
  };
  std::mutex mutex_;
  std::map<std::string, Session> sessions_;  // by keyed digest of the token
};

// The cookie that carries the token.
inline constexpr char kSessionCookieName[] = "OrviSession";

// The token in a request's Cookie header value ("" when there is none): the
// value of the first cookie named kSessionCookieName that is 64 hex digits.
std::string SessionTokenFromCookies(const std::string& cookieHeader);
