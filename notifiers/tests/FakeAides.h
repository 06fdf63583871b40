// Test equipment: HotSync's libraries and the desktop's files as a notifier sees them, held in
// memory. Libraries that are handed too small a buffer cut their text to fit, as the stand-ins
// do; every call is written down in order.
#pragma once

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "notifiers/AidesEdge.h"

class FakeAides final : public AidesEdge {
public:
    // The module "kvrnotify.dll" of the calling process; nullopt when it has none.
    std::optional<std::string> loadedAs = "C:\\Kit\\kvrnotify.dll";
    std::string user = "Ann";
    std::map<std::string, std::string> directories = {{"Ann", "C:\\Palm\\Ann"}};
    std::set<std::string> files;
    std::vector<std::string> calls;

    std::string UserName(uint32_t data, uint32_t capacity) override {
        calls.push_back("user " + std::to_string(data) + " " + std::to_string(capacity));
        return Cut(user, capacity);
    }
    std::string UserDirectory(const std::string& name, uint32_t capacity) override {
        calls.push_back("directory " + name + " " + std::to_string(capacity));
        const auto it = directories.find(name);
        return it == directories.end() ? "" : Cut(it->second, capacity);
    }
    void QueueInstall(const std::string& name, const std::string& path) override {
        calls.push_back("queue " + name + " " + path);
    }
    std::optional<std::string> ModuleFileName(const std::string& module,
                                              uint32_t capacity) override {
        calls.push_back("module " + module + " " + std::to_string(capacity));
        if (!loadedAs || module != "kvrnotify.dll") return std::nullopt;
        return Cut(*loadedAs, capacity);
    }
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    bool RemoveFile(const std::string& path) override {
        calls.push_back("remove " + path);
        return files.erase(path) != 0;
    }

    std::vector<std::string> Calls(const std::string& kind) const {
        std::vector<std::string> found;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                     [&](const std::string& call) { return call.rfind(kind + " ", 0) == 0; });
        return found;
    }

private:
    static std::string Cut(const std::string& text, uint32_t capacity) {
        return text.substr(0, capacity == 0 ? 0 : capacity - 1);
    }
};
