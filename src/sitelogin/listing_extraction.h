#pragma once
// Taking the IDs of the listings ticked on the back office's listing page into the picks.

#include <string>

class QWidget;
namespace webpage { class PageAutomation; }

namespace sitelogin {

class PickedIds;

// Name of the check box each listing carries; its value is the listing's ID.
inline constexpr const char* kListingCheckBoxName = "selectitem";

// Reads the page in `browser` once: every ticked listing check box adds its ID, every
// un-ticked check box (of any name) takes its value out. A page without check boxes, or no
// page at all, changes nothing.
void extract_ticked_listings(webpage::PageAutomation& automation, QWidget* browser, PickedIds& picks);

// The status text for the picks so far: "本次累积选择 N 条".
std::string picked_count_text(const PickedIds& picks);

} // namespace sitelogin
