#include "conduit/VirusScan.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <future>
#include <set>
#include <utility>
#include <vector>

#include "base/PeImage.h"
#include "base/SyncLayouts.h"
#include "base/Text.h"
#include "base/VirusScannerApi.h"
#include "conduit/BackupNames.h"
#include "conduit/BackupWindows.h"
#include "conduit/DesktopFiles.h"
#include "conduit/SMPrefs.h"
#include "conduit/ScannerPlugin.h"
#include "conduit/SyncCalls.h"
#include "conduit/WebClient.h"

namespace {

// A download is written here, beside the plug-in, and renamed over it once judged.
constexpr const char* kDownloadSuffix = ".download";
constexpr auto kWaitStep = std::chrono::milliseconds(100);
// What must be readable of an infected file before its database is removed from the handheld:
// a whole header, so a stray short file never names a database to delete.
constexpr size_t kRemovalHeadSize = 80;
constexpr size_t kDatabaseNameSize = 32;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// A line (trimmed, lower-cased) that starts a web page: a server that answers with its own
// page instead of the list (a portal, an error page) has said nothing about the plug-in.
bool StartsWebPage(std::string_view line) {
    if (line.starts_with("<!doctype html")) return true;
    if (!line.starts_with("<html")) return false;
    return line.size() == 5 || line[5] == '>' || IsBlank(line[5]);
}

// A library this process can load that exports GetScanners, judged from its bytes alone: none
// of its code runs before it passes.
bool UsablePlugin(const std::vector<uint8_t>& bytes, uint16_t machine) {
    std::string error;
    const auto image = pe::Read(bytes, error);
    if (!image || image->machine != machine) return false;
    return std::any_of(image->exports.begin(), image->exports.end(),
                       [](const pe::Export& e) { return e.name == kGetScannersExport; });
}

class Scan {
public:
    Scan(ScanRun& run, ScannerPlugin& plugin, WebClient& web)
        : run_(run), plugin_(plugin), web_(web) {}

    void Go() {
        loaded_ = LoadJudged();
        if (!loaded_) {
            Warn("WARNING: unable to load virus scanners");
            return;
        }
        if (UpdateDue()) {
            if (Update()) {
                Note("Successfully updated virus scanners");
                run_.prefs.lastUpdate = run_.now;
                SaveSMPrefs(run_.files, run_.folders.user, run_.prefs);
            } else {
                Warn("WARNING: unable to update virus scanners");
            }
            if (!loaded_) {
                Warn("WARNING: unable to load virus scanners");
                return;
            }
        }
        const std::string& quarantine = run_.folders.quarantine;
        if (const int32_t error = run_.files.MakeDirectory(quarantine)) {
            Warn(FormatText("WARNING: unable to create quaranitine directory %s (%ld)",
                            quarantine.c_str(), static_cast<long>(error)));
        } else {
            ScanFolder(run_.folders.backup, run_.prefs.removeInfected != 0);
            // A flash-ROM database cannot be deleted from the handheld.
            ScanFolder(run_.folders.rom, false);
        }
        loaded_.reset();
    }

private:
    void Note(const std::string& text) { run_.log.Add(logactivity::kText, false, text); }
    void Warn(const std::string& text) { run_.log.Add(logactivity::kWarning, false, text); }
    void KeepAlive() { run_.calls.Sync().KeepAlive(); }

    // The plug-in, loaded only once its file passed; its bytes are kept, so that a newer one
    // that passes but will not load can be taken back.
    std::unique_ptr<LoadedScanners> LoadJudged() {
        std::vector<uint8_t> bytes;
        if (run_.files.ReadAll(plugin_.Path(), bytes) != 0 ||
            !UsablePlugin(bytes, plugin_.Machine()))
            return nullptr;
        auto loaded = plugin_.Load();
        if (loaded) pluginBytes_ = std::move(bytes);
        return loaded;
    }

    bool UpdateDue() const {
        const CSMPrefs& p = run_.prefs;
        return p.autoUpdate && uint64_t{p.lastUpdate} + p.updateInterval < run_.now;
    }

    std::string Proxy() const {
        const CSMPrefs& p = run_.prefs;
        if (!p.useProxy || p.proxyHost.empty()) return {};
        std::string proxy = "http=http://" + p.proxyHost;
        if (!p.proxyPort.empty()) proxy += ":" + p.proxyPort;
        return proxy;
    }

    bool Update() {
        run_.windows.SetTitle("Updating virus scanners...");
        std::vector<uint8_t> list;
        if (!Fetch(loaded_->UpdateListUrl(), list)) return false;
        const virusscan::ListedPlugin listed = virusscan::ReadUpdateList(
            std::string_view(reinterpret_cast<const char*>(list.data()), list.size()));
        if (listed.page) return false;
        if (!listed.listed || listed.version == loaded_->Version()) return true;
        // A line without a version gives nothing to compare with, and would fetch the
        // plug-in again at every update.
        if (listed.version.empty()) return false;
        std::vector<uint8_t> newer;
        if (!Fetch(loaded_->DownloadUrl(), newer) || !UsablePlugin(newer, plugin_.Machine()))
            return false;
        return Install(newer);
    }

    // The fetch runs on a worker thread; meanwhile the HotSync connection is kept alive.
    bool Fetch(const std::string& url, std::vector<uint8_t>& body) {
        if (url.empty()) return false;
        try {
            auto fetched = std::async(std::launch::async, [&web = web_, url, proxy = Proxy()] {
                std::vector<uint8_t> bytes;
                const bool ok = web.Fetch(url, proxy, bytes);
                return std::make_pair(ok, std::move(bytes));
            });
            while (fetched.wait_for(kWaitStep) != std::future_status::ready) KeepAlive();
            auto [ok, bytes] = fetched.get();
            body = std::move(bytes);
            return ok;
        } catch (const std::exception&) {
            return false;  // no thread to be had, or no memory for the body
        }
    }

    int32_t WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
        int32_t error = 0;
        auto writer = run_.files.Create(path, error);
        if (!writer) return error;
        if ((error = writer->Write(bytes.data(), bytes.size())) != 0) return error;
        return writer->Close();
    }

    // Puts `bytes`, judged already, in the plug-in's place in one step and loads them; true
    // when the new plug-in is the one loaded. Otherwise the previous plug-in stays, loaded
    // again, unless it could not be put back (then nothing is loaded).
    bool Install(const std::vector<uint8_t>& bytes) {
        const std::string& path = plugin_.Path();
        const std::string temporary = path + kDownloadSuffix;
        if (WriteWhole(temporary, bytes) != 0) {
            run_.files.Delete(temporary);
            return false;
        }
        // Windows keeps the file of a loaded library from being replaced.
        loaded_.reset();
        if (run_.files.Replace(temporary, path) != 0) {
            run_.files.Delete(temporary);
            loaded_ = LoadJudged();
            return false;
        }
        if ((loaded_ = LoadJudged())) return true;
        // It passed as a library but does not load here: the previous one goes back.
        if (WriteWhole(temporary, pluginBytes_) == 0 && run_.files.Replace(temporary, path) == 0)
            loaded_ = LoadJudged();
        else
            run_.files.Delete(temporary);
        return false;
    }

    void ScanFolder(const std::string& folder, bool remove) {
        const std::string scanning = FormatText("Scanning for viruses in %s", folder.c_str());
        run_.windows.SetTitle(scanning);
        Note(scanning);
        std::vector<DesktopEntry> entries;
        run_.files.List(folder, entries);
        std::vector<std::string> files;
        for (const DesktopEntry& entry : entries)
            if (!entry.directory && !backup::Skipped(entry.name)) files.push_back(entry.name);

        const size_t scanners = loaded_->Count();
        const auto Bar = [](uint64_t steps) {
            return static_cast<int>(std::min<uint64_t>(steps, INT_MAX));
        };
        run_.windows.StartPass(Bar(uint64_t{scanners} * files.size()));
        // A file in quarantine has been dealt with: later scanners have nothing left to scan.
        std::set<std::string> moved;
        for (size_t s = 0; s < scanners; ++s) {
            const std::string name = loaded_->Name(s);
            run_.windows.StartItem("Using:", name, Bar(files.size()));
            Note(FormatText("\tUsing %s, version %s:", name.c_str(),
                            loaded_->ScannerVersion(s).c_str()));
            for (const std::string& file : files) {
                KeepAlive();
                run_.windows.StepItem();
                if (moved.count(file)) continue;
                const std::string path = folder + file;
                bool infected = false;
                if (!loaded_->Scan(s, path, infected)) {
                    Warn(FormatText("Unable to scan %s", path.c_str()));
                } else if (!infected) {
                    Note(FormatText("\t- %s OK", file.c_str()));
                } else {
                    Warn(FormatText("WARNING: potential virus found - %s", file.c_str()));
                    if (remove) Remove(path);
                    if (run_.prefs.quarantineInfected && Quarantine(folder, file))
                        moved.insert(file);
                }
            }
            run_.windows.StepPass();
        }
    }

    // Deletes the database an infected backup file holds from the handheld's card 0.
    void Remove(const std::string& path) {
        std::vector<uint8_t> head;
        if (run_.files.ReadHead(path, kRemovalHeadSize, head) != 0 ||
            head.size() < kRemovalHeadSize)
            return;
        const auto end = std::find(head.begin(), head.begin() + kDatabaseNameSize, uint8_t{0});
        const std::string database(head.begin(), end);
        // Found again by a later scanner: it is gone from the handheld already.
        if (removed_.count(database)) return;
        SyncManager& sync = run_.calls.Sync();
        if (run_.calls.Retry([&] { return sync.DeleteDatabase(database); }) == 0) {
            removed_.insert(database);
            Warn(FormatText("Removed %s from Palm organizer", database.c_str()));
        } else {
            Warn(FormatText("Unable to remove %s from Palm organizer", database.c_str()));
        }
    }

    // True when the file is now in the quarantine folder and gone from `folder`.
    bool Quarantine(const std::string& folder, const std::string& file) {
        const std::string source = folder + file;
        const std::string target = run_.folders.quarantine + file;
        const std::string unmoved =
            FormatText("Unable to move file %s to %s", file.c_str(), target.c_str());
        if (const int32_t error = backup::CopyWhole(run_.files, source, target)) {
            Warn(FormatText("ERROR: Unable to move file %s to %s (%ld)", source.c_str(),
                            target.c_str(), static_cast<long>(error)));
            Warn(unmoved);
            return false;
        }
        if (run_.files.Delete(source) != 0) {
            Warn(unmoved);
            return false;
        }
        Note(FormatText("Moved %s to %s", file.c_str(), target.c_str()));
        return true;
    }

    ScanRun& run_;
    ScannerPlugin& plugin_;
    WebClient& web_;
    std::unique_ptr<LoadedScanners> loaded_;
    std::vector<uint8_t> pluginBytes_;
    std::set<std::string> removed_;
};

}  // namespace

void PluginScanning::Run(ScanRun& run) { Scan(run, plugin_, web_).Go(); }

namespace virusscan {

ListedPlugin ReadUpdateList(std::string_view text) {
    ListedPlugin result;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        const std::string lower = LowerCase(line);
        if (StartsWebPage(lower)) {
            result.page = true;
            return result;
        }
        if (result.listed || lower.find("vscanners.dll") == std::string::npos) continue;
        result.listed = true;
        // "VScanners.dll VERSION ...": the words are separated by blanks.
        std::vector<std::string_view> words;
        for (size_t at = 0; at < line.size();) {
            while (at < line.size() && IsBlank(line[at])) ++at;
            const size_t from = at;
            while (at < line.size() && !IsBlank(line[at])) ++at;
            if (at > from) words.push_back(line.substr(from, at - from));
        }
        if (words.size() >= 2) result.version = std::string(words[1]);
    }
    return result;
}

}  // namespace virusscan
