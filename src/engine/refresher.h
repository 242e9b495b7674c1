#pragma once
// How the run loop asks the site to refresh one listing.

#include <string>

namespace engine {

inline constexpr const char* kRefreshSucceeded = "刷新成功";

class Refresher {
public:
    virtual ~Refresher() = default;
    // Sends the refresh request for one listing ID; "刷新成功" means success, anything else
    // (possibly empty) is the outcome text to log.
    virtual std::string refresh_listing(const std::string& listing_id) = 0;
};

} // namespace engine
