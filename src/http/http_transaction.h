#pragma once
// One complete HTTP or HTTPS request, run to its end on the calling (worker) thread.

#include "http/cookie_store.h"
#include "http/request_record.h"

#include <atomic>

namespace http {

// Sends the request the record describes and writes the results into it: slot 0 the response
// body (empty when nothing came), slot 1 the cookie pairs of the final response, slot 5 its raw
// headers. A request that cannot be opened leaves slots 0, 1, 5 and 6 empty. Cookies go to
// and come from `jar`; every Set-Cookie value of every response is also handed to the jar's
// response listener. When `cancelled` turns true the transfer stops soon after.
void http_transaction(RequestRecord& record, CookieStore& jar, const std::atomic<bool>* cancelled = nullptr);

} // namespace http
