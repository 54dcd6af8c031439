#include "orvihttp/access/sign_in_sessions.h"

#include <cctype>

#include "orvihttp/tls/password_hash.h"

namespace {

constexpr std::size_t kTokenBytes = 32;

std::string Hex(const unsigned char* bytes, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

bool IsToken(const std::string& text) {
  if (text.size() != kTokenBytes * 2) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

std::string SignInSessions::Begin(const std::string& account, int64_t nowMs) {
  unsigned char bytes[kTokenBytes];
  if (!RandomBytes(bytes, sizeof bytes)) return "";
  const std::string token = Hex(bytes, sizeof bytes);
  std::string key = KeyedDigest(token);
  if (key.empty()) return "";
  std::lock_guard<std::mutex> lock(mutex_);
  if (sessions_.size() >= kMostSessions) {
    auto oldest = sessions_.begin();
    for (auto at = sessions_.begin(); at != sessions_.end(); ++at) {
      if (at->second.lastUsedMs < oldest->second.lastUsedMs) oldest = at;
    }
    sessions_.erase(oldest);
  }
  sessions_[std::move(key)] = Session{account, nowMs};
  return token;
}

std::optional<std::string> SignInSessions::AccountOf(const std::string& token, int64_t nowMs) {
  if (!IsToken(token)) return std::nullopt;
  const std::string key = KeyedDigest(token);
  if (key.empty()) return std::nullopt;
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = sessions_.find(key);
  if (found == sessions_.end()) return std::nullopt;
  if (nowMs - found->second.lastUsedMs > kIdleMs) {
    sessions_.erase(found);
    return std::nullopt;
  }
  found->second.lastUsedMs = nowMs;
  return found->second.account;
}

void SignInSessions::End(const std::string& token) {
  if (!IsToken(token)) return;
  const std::string key = KeyedDigest(token);
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.erase(key);
}

void SignInSessions::EndAllOf(const std::string& account) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(sessions_, [&](const auto& entry) { return entry.second.account == account; });
}

void SignInSessions::EndAllExcept(const std::function<bool(const std::string&)>& exists) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(sessions_, [&](const auto& entry) { return !exists(entry.second.account); });
}

std::string SessionTokenFromCookies(const std::string& cookieHeader) {
  std::size_t at = 0;
  while (at < cookieHeader.size()) {
    std::size_t end = cookieHeader.find(';', at);
    if (end == std::string::npos) end = cookieHeader.size();
    std::size_t begin = at;
    while (begin < end && (cookieHeader[begin] == ' ' || cookieHeader[begin] == '\t')) ++begin;
    const std::size_t equals = cookieHeader.find('=', begin);
    if (equals != std::string::npos && equals < end &&
        cookieHeader.compare(begin, equals - begin, kSessionCookieName) == 0) {
      std::size_t valueEnd = end;
      while (valueEnd > equals + 1 &&
             (cookieHeader[valueEnd - 1] == ' ' || cookieHeader[valueEnd - 1] == '\t')) {
        --valueEnd;
      }
      const std::string value = cookieHeader.substr(equals + 1, valueEnd - equals - 1);
      if (IsToken(value)) return value;
    }
    at = end + 1;
  }
  return "";
}
