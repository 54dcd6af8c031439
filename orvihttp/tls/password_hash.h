#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Password hashes for the server's accounts, and the few other secrets the
// sign-in code needs. A stored hash is one line of text:
//
//   pbkdf2-sha256$<iterations>$<salt, base64>$<hash, base64>
//
// PBKDF2 with HMAC-SHA-256 over a 16-byte random salt, giving 32 bytes. The
// iteration count is kept in the text, so hashes made with a higher count
// later still check beside older ones.

// What every new hash costs: about 0.6 s on one core here, which an
// attacker with a copy of the file pays for every guess.
inline constexpr uint32_t kNewPasswordHashIterations = 600000;
// The counts a stored hash may give. Fewer would make guessing cheap; more
// would let a tampered file make one sign-in cost minutes.
inline constexpr uint32_t kFewestPasswordHashIterations = 1000;
inline constexpr uint32_t kMostPasswordHashIterations = 10000000;

// A new stored hash of `password` with a fresh salt. "" when the system gave
// no random numbers or `iterations` is outside the counts above.
std::string MakePasswordHash(const std::string& password,
                             uint32_t iterations = kNewPasswordHashIterations);

// True when `password` gives `storedHash`. A hash that is not well formed
// (see below) never matches. The hashes are compared in constant time.
bool CheckPasswordHash(const std::string& password, const std::string& storedHash);

// True when `storedHash` has the form above with a 16-byte salt, a 32-byte
// hash, an allowed iteration count and canonical base64, so it writes back
// exactly as it was read. Otherwise false with the reason in `*why` when it
// is given. Costs no hashing.
bool IsWellFormedPasswordHash(const std::string& storedHash, std::string* why = nullptr);

// HMAC-SHA-256 of `text` under a key drawn once per process: 32 raw bytes
// that stand for the text (a credential already checked) without keeping it,
// and that mean nothing to another process. "" when the system gave no random
// numbers; an empty digest must never be remembered or compared.
std::string KeyedDigest(const std::string& text);

// Fills `out` with `length` bytes from the process's random generator; false
// when the system gave no random numbers.
bool RandomBytes(void* out, size_t length);

// True when both hold the same bytes, in a time that depends only on their
// lengths.
bool ConstantTimeEqual(const std::string& a, const std::string& b);
