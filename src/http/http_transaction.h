#pragma once
// One complete HTTP or HTTPS request. The network thread runs its transfer among the others on
// its curl multi handle; everything here happens on that thread.

#include "http/cookie_store.h"
#include "http/request_record.h"
#include "http/transfer_plan.h"

#include <memory>
#include <vector>

struct curl_slist;

namespace http {

class HttpTransaction final {
public:
    // Reads the record and prepares the transfer on a handle attached to the jar's share.
    HttpTransaction(RequestRecord record, CookieStore& jar);
    ~HttpTransaction();
    HttpTransaction(const HttpTransaction&) = delete;
    HttpTransaction& operator=(const HttpTransaction&) = delete;

    // The easy handle to run, or null when there is nothing to send (the request cannot be
    // opened, or its method is neither GET nor POST): finish() may then follow at once.
    void* handle() const { return handle_; }

    // After the transfer ended: the record with the results in it. Slot 0 the response body
    // (empty when nothing came), slot 1 the cookie pairs of the final response, slot 5 its raw
    // headers; a request that cannot be opened leaves slots 0, 1, 5 and 6 empty. What the
    // responses set goes into the jar; `heard` receives it as the browser should have it.
    RequestRecord finish(CookieStore& jar, std::vector<Cookie>& heard);

    // The state curl's callbacks write into; its own type keeps curl out of this header.
    struct Received;

private:
    RequestRecord record_;
    TransferPlan plan_;
    void* handle_ = nullptr; // CURL*
    curl_slist* header_lines_ = nullptr;
    std::unique_ptr<Received> received_;
};

} // namespace http
