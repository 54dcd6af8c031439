// Any OrviHTTP.rights content must parse, and what was read must write out
// and read back as the same rules: the same folders, and for each of them
// the same holders of every right.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "orvihttp/access/folder_rights.h"

namespace {

void Fail(const char* what, const std::string& folder) {
  std::fprintf(stderr, "rights_file_fuzz: %s (folder of %zu bytes)\n", what, folder.size());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> problems;
  const FolderRightsTable table = FolderRightsTable::Parse(text, &problems);
  const std::string saved = table.Serialize();
  std::vector<std::string> again;
  const FolderRightsTable reread = FolderRightsTable::Parse(saved, &again);
  if (!again.empty()) Fail("the written file has problems", again.front());
  if (reread.Folders() != table.Folders()) Fail("the folders differ after a round trip", "");
  for (const std::string& folder : table.Folders()) {
    for (FolderRight right : kFolderRights) {
      if (reread.Effective(folder, right) != table.Effective(folder, right) ||
          reread.Own(folder, right) != table.Own(folder, right)) {
        Fail("a right differs after a round trip", folder);
      }
    }
  }
  if (reread.Serialize() != saved) Fail("writing what was read gives another text", "");
  // Lookups by any path stay inside the table.
  const std::string path = text.substr(0, 64);
  for (FolderRight right : kFolderRights) (void)table.Effective(path, right);
  return 0;
}
