// HTTP through WinINet, under the agent name "Stashmate", with the proxy the settings give or
// else the system's own. Time-outs bound every wait, so a server that stops answering ends the
// fetch instead of holding the HotSync for ever.
#include <windows.h>
#include <wininet.h>

#include "conduit/WebClient.h"

namespace {

constexpr const char* kAgent = "Stashmate";
constexpr DWORD kTimeoutMs = 30000;
// Far beyond any plug-in or list: a server that sends without end is cut off.
constexpr size_t kMostBytes = size_t{64} << 20;

class Internet {
public:
    explicit Internet(HINTERNET handle) : handle_(handle) {}
    ~Internet() {
        if (handle_) InternetCloseHandle(handle_);
    }
    Internet(const Internet&) = delete;
    Internet& operator=(const Internet&) = delete;
    operator HINTERNET() const { return handle_; }

private:
    HINTERNET handle_;
};

// This machine itself is never reached through a proxy.
bool Loopback(const std::string& url) {
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return false;
    const std::string name(host, parts.dwHostNameLength);
    return name == "127.0.0.1" || name == "::1" || lstrcmpiA(name.c_str(), "localhost") == 0;
}

bool Number(HINTERNET request, DWORD query, DWORD& value) {
    DWORD size = sizeof value;
    return HttpQueryInfoA(request, query | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr) != 0;
}

class WinInetClient : public WebClient {
public:
    bool Fetch(const std::string& url, const std::string& proxy,
               std::vector<uint8_t>& body) override {
        body.clear();
        const bool direct = Loopback(url);
        const bool viaProxy = !direct && !proxy.empty();
        Internet session(InternetOpenA(kAgent,
                                       direct     ? INTERNET_OPEN_TYPE_DIRECT
                                       : viaProxy ? INTERNET_OPEN_TYPE_PROXY
                                                  : INTERNET_OPEN_TYPE_PRECONFIG,
                                       viaProxy ? proxy.c_str() : nullptr,
                                       viaProxy ? "<local>" : nullptr, 0));
        if (!session) return false;
        DWORD timeout = kTimeoutMs;
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT})
            InternetSetOptionA(session, option, &timeout, sizeof timeout);
        // Always from the server: a cached list or plug-in would hide the newer one.
        Internet request(InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                              INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                              INTERNET_FLAG_NO_COOKIES,
                                          0));
        if (!request) return false;
        // An error page is the server's answer, not the file asked for.
        DWORD status = 0;
        if (!Number(request, HTTP_QUERY_STATUS_CODE, status) || status != HTTP_STATUS_OK)
            return false;
        DWORD length = 0;
        const bool lengthKnown = Number(request, HTTP_QUERY_CONTENT_LENGTH, length);
        uint8_t chunk[16384];
        for (;;) {
            DWORD got = 0;
            if (!InternetReadFile(request, chunk, sizeof chunk, &got)) return false;
            if (got == 0) break;
            if (got > kMostBytes - body.size()) return false;
            body.insert(body.end(), chunk, chunk + got);
        }
        // A connection that broke off early ends the body early.
        return !lengthKnown || body.size() == length;
    }
};

}  // namespace

std::unique_ptr<WebClient> MakeWebClient() { return std::make_unique<WinInetClient>(); }
