#pragma once

#include <string>

#include "foundation/text_basics.h"

struct VirtualFolder;

// The server decodes URLs into Latin-1 bytes and its pages declare
// ISO-8859-1, so a name is best stored in Latin-1. Linux file systems give
// UTF-8 names; these helpers turn them into Latin-1 where that is possible.

// Every name in a tree (the root's own name included) in Latin-1 where
// that is possible (see Utf8NameToLatin1).
void ConvertNamesToLatin1(VirtualFolder& folder);
