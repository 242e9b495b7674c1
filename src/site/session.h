#pragma once
// What the site layer holds in memory between requests: the signed-in agent's ID and the
// address the site login window opens on. Both are empty at start and never stored.

#include <string>

namespace site {

class SiteSession final {
public:
    SiteSession() = default;
    // One session per program; a copy would silently stop seeing the agent ID change.
    SiteSession(const SiteSession&) = delete;
    SiteSession& operator=(const SiteSession&) = delete;

    const std::string& agent_id() const { return agent_id_; }
    void set_agent_id(std::string id) { agent_id_ = std::move(id); }

    const std::string& start_address() const { return start_address_; }
    void set_start_address(std::string address) { start_address_ = std::move(address); }

private:
    std::string agent_id_;
    std::string start_address_;
};

} // namespace site
