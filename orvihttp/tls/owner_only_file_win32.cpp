#include <windows.h>

#include <vector>

#include "foundation/system_error_text.h"
#include "orvihttp/tls/owner_only_file.h"

namespace {

// The current user's security identifier, copied out of the process token.
std::vector<unsigned char> CurrentUserSid() {
  std::vector<unsigned char> sid;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return sid;
  }
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    sid.resize(GetLengthSid(user));
    if (!CopySid(static_cast<DWORD>(sid.size()), sid.data(), user)) {
      sid.clear();
    }
  }
  CloseHandle(token);
  return sid;
}

}  // namespace

bool WriteOwnerOnlyFile(const std::string& path, const std::string& bytes, std::string* error) {
  std::vector<unsigned char> sid = CurrentUserSid();
  if (sid.empty()) {
    *error = LastSystemErrorText();
    return false;
  }
  // One entry: the user, full access. A protected list inherits nothing
  // from the folder, so no group or other user gets in through it.
  const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid.data());
  std::vector<unsigned char> aclBuffer(aclSize);
  ACL* acl = reinterpret_cast<ACL*>(aclBuffer.data());
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
      !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid.data()) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    *error = LastSystemErrorText();
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastSystemErrorText();
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(file);
  if (!ok) {
    *error = LastSystemErrorText();
  }
  CloseHandle(file);
  return ok;
}
