#pragma once

#include <string>

// Making stored names safe to show in a page and to link to.

// `text` with &, <, >, " and ' written as character references, so it can
// stand in page text and in quoted attribute values without ending them.
std::string EscapeHtml(const std::string& text);

// A URL path for a link: every byte but letters, digits, "-", ".", "_", "~"
// (and "/" when `keepSlashes`) is percent-encoded. Bytes 0x80 to 0xFF are
// taken as the Latin-1 characters they stand for and written as the UTF-8
// escapes of that character (0xE9 -> %C3%A9), which the server's request
// decoding folds back into the one byte, so the link names the stored name.
std::string EncodeUrlPath(const std::string& path, bool keepSlashes);
