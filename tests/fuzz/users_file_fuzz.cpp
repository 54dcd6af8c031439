// Any bytes read as OrviHTTP.users must give accounts whose written text reads
// back as the same accounts, without a reported problem, and writes back the
// same. Only the form of the hashes is looked at: checking a password would
// cost over half a second per input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "orvihttp/access/user_accounts.h"
#include "orvihttp/tls/password_hash.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "users_file_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> problems;
  const UserAccounts accounts = UserAccounts::Parse(text, &problems);
  for (const std::string& problem : problems) {
    if (problem.compare(0, 5, "Line ") != 0) Fail("a problem does not name its line");
  }
  const std::string written = accounts.Serialize();
  std::vector<std::string> again;
  const UserAccounts back = UserAccounts::Parse(written, &again);
  if (!again.empty()) Fail("the written text has problems");
  if (back.Names() != accounts.Names()) Fail("the written text reads back as other names");
  if (back.Serialize() != written) Fail("writing what was read gives another text");
  IsWellFormedPasswordHash(text);
  return 0;
}
