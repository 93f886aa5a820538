// How file names are ordered and shown in the catalogue.
#pragma once

#include <string>

namespace file_names {

// Natural order: letters without regard to case, runs of digits by their
// value ("tex2" before "tex10"); names equal that way fall back to byte
// order, so the order is total.
bool NaturalLess(const std::string& a, const std::string& b);

// A name as a menu shows it: "&" marks a mnemonic there, so it is doubled.
std::string MenuLabel(const std::string& name);

// The last component of a path.
std::string BaseName(const std::string& path, char separator);

}  // namespace file_names
