#pragma once

#include <string>

// String values below the machine's "SOFTWARE\Quintarvo\<product>" key. On
// Linux each value is a small file under
// ${XDG_CONFIG_HOME:-$HOME/.config}/Quintarvo/<product>/. Failures are silent.

// The value's text, or "" when missing, unreadable or longer than 260 bytes.
std::string RegistryGet(const std::string& product, const std::string& value);
// Stores the value, creating the product's key when needed.
void RegistrySet(const std::string& product, const std::string& value, const std::string& text);
