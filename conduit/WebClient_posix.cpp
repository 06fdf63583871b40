// Natively the conduit has no web to reach: every fetch fails, and an update of the virus
// scanners with it.
#include "conduit/WebClient.h"

namespace {

class NoWeb : public WebClient {
public:
    bool Fetch(const std::string&, const std::string&, std::vector<uint8_t>&) override {
        return false;
    }
};

}  // namespace

std::unique_ptr<WebClient> MakeWebClient() { return std::make_unique<NoWeb>(); }
