#pragma once

#include <string>
#include <vector>

// The fixed table from file-name extensions to MIME types: a constant of the
// process, the same for every server in it.

struct MimeRow {
  std::string type;
  std::vector<std::string> extensions;  // lower case, without the dot
};

// The MIME type of the first row listing `extension` (exact, case-sensitive);
// "text/plain" when none does.
std::string ContentTypeFor(const std::string& extension);
// The type for the text after a name's last "."; "" for a name without ".".
std::string ContentTypeForName(const std::string& name);
// A copy of the whole table in its fixed order.
std::vector<MimeRow> MimeTableRows();
