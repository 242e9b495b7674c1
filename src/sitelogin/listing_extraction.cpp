#include "sitelogin/listing_extraction.h"

#include "sitelogin/picked_ids.h"
#include "webpage/page_automation.h"

#include <optional>

namespace sitelogin {

void extract_ticked_listings(webpage::PageAutomation& automation, QWidget* browser, PickedIds& picks) {
    automation.attach(browser);
    const int count = automation.count_check_boxes(false);
    for (int number = 1; number <= count; ++number) {
        std::string title, name, id;
        std::optional<webpage::InputElement> box;
        automation.check_box_info(number, &title, &name, &id, nullptr, box);
        const std::string value = box ? box->value : std::string();
        if (automation.is_check_box_ticked(std::to_string(number))) {
            if (name == kListingCheckBoxName)
                picks.add(value);
        } else {
            picks.remove(value);
        }
    }
}

std::string picked_count_text(const PickedIds& picks) {
    return "本次累积选择 " + std::to_string(picks.count()) + " 条";
}

} // namespace sitelogin
