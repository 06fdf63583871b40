// What the conduit needs of the web: one HTTP GET, the whole body or nothing. The Win32
// binding goes through WinINet under the agent name "Stashmate"; natively the conduit has no
// web to reach, and tests hand in one of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class WebClient {
public:
    virtual ~WebClient() = default;

    // Fetches `url` into `body`, through `proxy` ("http=http://host:port") when it is not
    // empty. True only when the server answered 200 with the whole body; an error page, a
    // cut-short body or no answer is false. Called from a worker thread.
    virtual bool Fetch(const std::string& url, const std::string& proxy,
                       std::vector<uint8_t>& body) = 0;
};

std::unique_ptr<WebClient> MakeWebClient();
