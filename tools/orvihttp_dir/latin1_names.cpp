#include "tools/orvihttp_dir/latin1_names.h"

#include "orvihttp/content/virtual_directory.h"

std::string Utf8NameToLatin1(const std::string& name) {
  std::string latin1;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(name[i]);
    if (byte < 0x80) {
      latin1.push_back(name[i]);
      continue;
    }
    // Only C2 xx and C3 xx spell characters U+0080 to U+00FF.
    if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= name.size()) return name;
    const unsigned char next = static_cast<unsigned char>(name[i + 1]);
    if ((next & 0xC0) != 0x80) return name;
    latin1.push_back(static_cast<char>(((byte & 0x1F) << 6) | (next & 0x3F)));
    ++i;
  }
  return latin1;
}

void ConvertNamesToLatin1(VirtualFolder& folder) {
  folder.name = Utf8NameToLatin1(folder.name);
  for (VirtualFile& file : folder.files) file.name = Utf8NameToLatin1(file.name);
  for (VirtualFolder& sub : folder.subfolders) ConvertNamesToLatin1(sub);
}
