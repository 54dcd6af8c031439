#pragma once

#include <string>

struct VirtualFolder;

// The server decodes URLs into Latin-1 bytes and its pages declare
// ISO-8859-1, so a name is best stored in Latin-1. Linux file systems give
// UTF-8 names; these helpers turn them into Latin-1 where that is possible.

// `name` in Latin-1 when it is valid UTF-8 whose characters all lie below
// U+0100; otherwise unchanged.
std::string Utf8NameToLatin1(const std::string& name);
// The same for every name in a tree (the root's own name included).
void ConvertNamesToLatin1(VirtualFolder& folder);
