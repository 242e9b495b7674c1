#pragma once
// Test support: runs the local site simulator (site_sim.py beside this file) on a free port of
// 127.0.0.1 and drives it through its control endpoints. Never linked into the program.
//
// The control calls use a plain blocking socket of their own, so they work on any thread and
// never depend on the program's HTTP client that the tests examine.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QProcess;

namespace sitesim {

// One request the simulator received (control endpoints are never recorded).
struct RecordedRequest {
    std::string method;
    std::string target;   // path and query exactly as received
    std::string version;  // "HTTP/1.1"
    std::string body;     // bytes
    std::string raw_head; // request line and header lines as received, through the blank line
    std::vector<std::pair<std::string, std::string>> headers; // in the order sent
    int connection = 0;   // requests that came over one kept-alive connection share the number
    double received_at = 0; // seconds since the epoch when the simulator had read the request

    // Value of the first header of that name (any letter case); empty when absent.
    std::string header(std::string_view name) const;
    bool has_header(std::string_view name) const;
    // The target up to its "?".
    std::string path() const;
};

// The session cookie of a signed-in agent.
struct SessionCookie {
    std::string name, value;
    std::string pair() const { return name + "=" + value; }
    bool empty() const { return value.empty(); }
};

class Simulator final {
public:
    Simulator();
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Starts python3 with the simulator on a free port and waits until it listens. The script
    // is found under $QICHENG_SOURCE_DIR, else at the path the build compiled in.
    bool start();
    void stop();
    bool running() const;

    int port() const { return port_; }
    // "127.0.0.1:<port>", the value the program's settings take for a site host.
    std::string host() const;
    // "http://127.0.0.1:<port>" followed by `path_and_query`.
    std::string url(std::string_view path_and_query) const;

    // Knobs (see README.md): false when the simulator refused the name or did not answer.
    bool set_knob(const std::string& name, const std::string& value);
    // Knobs back to their defaults, recorded requests and sessions cleared.
    bool reset();

    std::vector<RecordedRequest> requests();
    bool clear_requests();

    // A new signed-in session, as the sign-in form would make it; empty when that failed.
    SessionCookie sign_in(const std::string& user = "demo");
    // Ends every session: the agent is signed out everywhere.
    bool sign_out_everywhere();

    // Address of the generic responder, which answers with exactly this status, these header
    // lines (each "Name: value", no line end) and this body.
    std::string respond_url(int status, const std::vector<std::string>& header_lines,
                            std::string_view body) const;

    // The line a Netscape cookie file holds for the session cookie on this host.
    std::string netscape_cookie_line(const SessionCookie& cookie) const;

    // Sends `request_bytes` over a new connection and returns every byte received until the
    // simulator closes it (send "Connection: close") or 10 seconds pass.
    std::string send_raw(std::string_view request_bytes) const;

    // Percent-encodes every byte except unreserved ASCII letters, digits and "-._~".
    static std::string percent_encode(std::string_view bytes);

private:
    // GET of a control endpoint; the body, or nothing when the status was not 200.
    bool control(const std::string& path_and_query, std::string* body = nullptr) const;

    std::unique_ptr<QProcess> process_;
    int port_ = 0;
};

} // namespace sitesim
