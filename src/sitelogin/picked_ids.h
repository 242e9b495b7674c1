#pragma once
// The listing IDs picked during one opening of the site login window, in the order they were
// first picked. Its text form, each ID followed by ",", is what the opener receives.

#include <string>
#include <string_view>
#include <vector>

namespace sitelogin {

class PickedIds final {
public:
    // IDs compare whole: holding 1123 does not hold 123.
    bool holds(std::string_view id) const;
    // Appends the ID unless it is held already. An empty ID or one with a "," in it cannot be
    // one entry of the text and is passed over.
    void add(std::string_view id);
    void remove(std::string_view id);
    void clear() { ids_.clear(); }

    int count() const { return static_cast<int>(ids_.size()); }
    std::string text() const;

private:
    std::vector<std::string> ids_;
};

} // namespace sitelogin
