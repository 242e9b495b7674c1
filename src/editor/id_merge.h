#pragma once
// Merging listing IDs picked on the site into the plan's ID box.

#include <string>
#include <string_view>

namespace editor {

// The box's own IDs first, in their order, then the picked ones (each followed by ","), in
// picking order: every ID trimmed of spaces, none twice (whole IDs compared, so 1123 does not
// hide 123), no empty items, joined by "," without one at the end.
std::string merge_ids(std::string_view own, std::string_view picked);

} // namespace editor
