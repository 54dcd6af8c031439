// Any OrviHTTP.dir content must parse without reading past the buffer, and a
// tree that was accepted must write out and read back as the same tree.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orvihttp/content/virtual_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::optional<VirtualFolder> tree = ParseTree(data, size);
  if (!tree) return 0;
  std::string saved = SerializeTree(*tree);
  std::optional<VirtualFolder> again =
      ParseTree(reinterpret_cast<const uint8_t*>(saved.data()), saved.size());
  if (!again || !(*again == *tree)) {
    std::fprintf(stderr, "virtual_directory_fuzz: saved tree does not read back\n");
    std::abort();
  }
  if (SerializeTree(*again) != saved) {
    std::fprintf(stderr, "virtual_directory_fuzz: save is not a fixed point\n");
    std::abort();
  }
  // Lookups on whatever was loaded must stay inside the tree.
  std::string path(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
  (void)tree->ResolveFile(path);
  (void)tree->ResolveFolder(path);
  tree->RemoveEntry(path);
  return 0;
}
