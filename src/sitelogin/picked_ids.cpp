#include "sitelogin/picked_ids.h"

#include <algorithm>

namespace sitelogin {

bool PickedIds::holds(std::string_view id) const { return std::find(ids_.begin(), ids_.end(), id) != ids_.end(); }

void PickedIds::add(std::string_view id) {
    if (id.empty() || id.find(',') != std::string_view::npos || holds(id))
        return;
    ids_.emplace_back(id);
}

void PickedIds::remove(std::string_view id) { std::erase(ids_, id); }

std::string PickedIds::text() const {
    std::string text;
    for (const std::string& id : ids_) {
        text += id;
        text += ',';
    }
    return text;
}

} // namespace sitelogin
