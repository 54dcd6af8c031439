#include "tools/orvihttp_dir/latin1_names.h"

#include "foundation/text_basics.h"
#include "orvihttp/content/virtual_directory.h"

void ConvertNamesToLatin1(VirtualFolder& folder) {
  folder.name = Utf8NameToLatin1(folder.name);
  for (VirtualFile& file : folder.files) file.name = Utf8NameToLatin1(file.name);
  for (VirtualFolder& sub : folder.subfolders) ConvertNamesToLatin1(sub);
}
