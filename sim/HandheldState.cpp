#include "sim/HandheldState.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "sim/Handheld.h"

namespace fs = std::filesystem;

namespace {

bool ReadWhole(const fs::path& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path.string();
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path.string();
        return false;
    }
    return true;
}

// Through a temporary file and a rename, so a reader never sees half a flash image.
bool WriteWhole(const fs::path& path, const void* data, size_t size, std::string& error) {
    fs::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        if (!out) {
            error = "cannot write " + temporary.string();
            return false;
        }
    }
    std::error_code failure;
    fs::rename(temporary, path, failure);
    if (failure) {
        error = "cannot replace " + path.string() + ": " + failure.message();
        return false;
    }
    return true;
}

bool LoadImage(const fs::path& path, std::vector<uint8_t>& memory, std::string& error) {
    std::error_code failure;
    if (!fs::exists(path, failure)) return true;
    std::vector<uint8_t> bytes;
    if (!ReadWhole(path, bytes, error)) return false;
    if (bytes.size() != memory.size()) {
        error = path.string() + " holds " + std::to_string(bytes.size()) + " bytes, the handheld " +
                std::to_string(memory.size());
        return false;
    }
    memory = std::move(bytes);
    return true;
}

}  // namespace

bool LoadStateConfig(const std::string& dir, HandheldConfig& config, std::string& error) {
    const fs::path path = fs::path(dir) / state_files::kConfig;
    std::error_code failure;
    if (!fs::exists(path, failure)) return true;
    std::vector<uint8_t> bytes;
    if (!ReadWhole(path, bytes, error)) return false;
    const std::string text(bytes.begin(), bytes.end());
    if (!ReadConfigText(text, config, error)) {
        error = path.string() + ", " + error;
        return false;
    }
    return true;
}

bool LoadStateMemory(const std::string& dir, Handheld& handheld, std::string& error) {
    return LoadImage(fs::path(dir) / state_files::kFlash, handheld.Memory().Flash(), error) &&
           LoadImage(fs::path(dir) / state_files::kRam, handheld.Memory().Ram(), error);
}

bool SaveState(const std::string& dir, const Handheld& handheld, std::string& error) {
    std::error_code failure;
    fs::create_directories(dir, failure);
    if (failure) {
        error = "cannot create " + dir + ": " + failure.message();
        return false;
    }
    const std::vector<uint8_t>& flash = handheld.Memory().Flash();
    const std::vector<uint8_t>& ram = handheld.Memory().Ram();
    const std::string config = WriteConfigText(handheld.Config());
    return WriteWhole(fs::path(dir) / state_files::kFlash, flash.data(), flash.size(), error) &&
           WriteWhole(fs::path(dir) / state_files::kRam, ram.data(), ram.size(), error) &&
           WriteWhole(fs::path(dir) / state_files::kConfig, config.data(), config.size(), error);
}
