// The settings archive. Reader and writer walk the same list of rows (EachRow), so the order
// of the fields is written once; a schema is a count of leading rows.
#include "conduit/SMPrefs.h"

#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>

#include "base/ByteOrder.h"
#include "conduit/DesktopFiles.h"

namespace {

constexpr std::pair<uint16_t, int> kSchemaRows[] = {
    {smprefs::kSchemaRows6, 6},
    {smprefs::kSchemaRows14, 14},
    {smprefs::kSchema, 27},
};

// Lengths and counts: below the escape in the short form, otherwise the escape and the next
// wider form. A string's length has no form of its own beyond 16 bits; one of 65535
// characters or more takes the list count's escape (0xFFFF, then 32 bits) rather than being
// cut, so nothing written is ever lost or read back differently.
constexpr uint8_t kByteEscape = 0xFF;
constexpr uint16_t kWordEscape = 0xFFFF;

template <typename Prefs, typename Field>
bool EachRow(Prefs& p, int rows, Field&& field) {
    int row = 0;
    auto next = [&](auto& value) { return ++row > rows || field(value); };
    return next(p.wordA) && next(p.wordB) && next(p.listA) && next(p.removeDuplicates) &&
           next(p.optionC) && next(p.expansionCard) && next(p.excludeAvantGo) && next(p.optionD) &&
           next(p.optionE) && next(p.optionF) && next(p.listB) && next(p.valueG) &&
           next(p.valueH) && next(p.listC) && next(p.virusScanning) && next(p.quarantineInfected) &&
           next(p.removeInfected) && next(p.valueI) && next(p.autoUpdate) &&
           next(p.updateInterval) && next(p.lastUpdate) && next(p.useProxy) && next(p.valueJ) &&
           next(p.proxyHost) && next(p.textK) && next(p.proxyPort) && next(p.textL);
}

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool U16(uint16_t& v) {
        if (!Has(2)) return false;
        v = byteorder::GetLE16(data_ + at_);
        at_ += 2;
        return true;
    }
    bool operator()(uint32_t& v) {
        if (!Has(4)) return false;
        v = byteorder::GetLE32(data_ + at_);
        at_ += 4;
        return true;
    }
    bool operator()(std::string& text) {
        if (!Has(1)) return false;
        uint32_t length = data_[at_++];
        if (length == kByteEscape && !Wide(length)) return false;
        if (!Has(length)) return false;
        text.assign(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return true;
    }
    bool operator()(std::vector<std::string>& list) {
        const size_t start = at_;
        uint32_t count = 0;
        if (!Wide(count)) return false;
        // Every string takes at least its length byte, so a count beyond the bytes left is
        // refused before anything is made for it.
        if (count > size_ - at_) {
            error_ = "a list of " + std::to_string(count) + " strings at byte " +
                     std::to_string(start) + " runs past the end";
            return false;
        }
        list.clear();
        for (uint32_t i = 0; i < count; ++i) {
            std::string text;
            if (!(*this)(text)) return false;
            list.push_back(std::move(text));
        }
        return true;
    }

    bool Name(std::string_view expected) {
        uint16_t length = 0;
        if (!U16(length) || !Has(length)) return false;
        const std::string_view name(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        if (name == expected) return true;
        // Only a head of it: the text ends up in the HotSync log.
        error_ = "another class: \"" + std::string(name.substr(0, 32)) + "\"";
        return false;
    }

    const std::string& Error() const { return error_; }

private:
    // A 16-bit number, or the escape and a 32-bit one.
    bool Wide(uint32_t& v) {
        uint16_t word = 0;
        if (!U16(word)) return false;
        v = word;
        return word != kWordEscape || (*this)(v);
    }
    bool Has(size_t n) {
        if (n <= size_ - at_) return true;
        error_ = "cut short: " + std::to_string(n) + " bytes needed at byte " +
                 std::to_string(at_) + " of " + std::to_string(size_);
        return false;
    }

    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    std::string error_;
};

class Writer {
public:
    std::vector<uint8_t> bytes;

    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        uint8_t b[2];
        byteorder::PutLE16(b, v);
        bytes.insert(bytes.end(), b, b + 2);
    }
    void U32(uint32_t v) {
        uint8_t b[4];
        byteorder::PutLE32(b, v);
        bytes.insert(bytes.end(), b, b + 4);
    }
    bool operator()(const uint32_t& v) {
        U32(v);
        return true;
    }
    bool operator()(const std::string& text) {
        if (text.size() < kByteEscape) {
            U8(static_cast<uint8_t>(text.size()));
        } else {
            U8(kByteEscape);
            Wide(text.size());
        }
        bytes.insert(bytes.end(), text.begin(), text.end());
        return true;
    }
    bool operator()(const std::vector<std::string>& list) {
        Wide(list.size());
        for (const std::string& text : list) (*this)(text);
        return true;
    }

private:
    // Nothing the conduit holds comes near 4 GiB; the count is cut to 32 bits like the format.
    void Wide(size_t v) {
        if (v < kWordEscape) {
            U16(static_cast<uint16_t>(v));
        } else {
            U16(kWordEscape);
            U32(static_cast<uint32_t>(v));
        }
    }
};

std::string PrefsPath(const std::string& userFolder) {
    std::string folder = userFolder;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder + "\\" + smprefs::kFileName;
}

}  // namespace

bool ReadSMPrefs(const uint8_t* data, size_t size, CSMPrefs& prefs, std::string& error) {
    Reader in(data, size);
    uint16_t tag = 0, schema = 0;
    if (!in.U16(tag) || !in.U16(schema)) {
        error = in.Error();
        return false;
    }
    if (tag != smprefs::kNewClassTag) {
        char text[64];
        std::snprintf(text, sizeof text, "no new-class tag but 0x%04X", tag);
        error = text;
        return false;
    }
    int rows = 0;
    for (const auto& [number, count] : kSchemaRows)
        if (number == schema) rows = count;
    if (rows == 0) {
        char text[64];
        std::snprintf(text, sizeof text, "unknown schema 0x%04X", schema);
        error = text;
        return false;
    }
    if (!in.Name(smprefs::kClassName)) {
        error = in.Error();
        return false;
    }
    // Rows the schema does not hold keep their defaults, not what `prefs` held before.
    CSMPrefs read;
    if (!EachRow(read, rows, in)) {
        error = in.Error();
        return false;
    }
    // Bytes after a whole object are accepted: everything the conduit knows has been read,
    // and refusing would throw away settings that are complete for the sake of a tail that
    // nothing here could give a meaning to.
    prefs = std::move(read);
    return true;
}

std::vector<uint8_t> WriteSMPrefs(const CSMPrefs& prefs) {
    Writer out;
    // Room for the usual archive (the defaults take 104 bytes) at once; it also keeps GCC 12's
    // -Wstringop-overflow from misreading the vector's first growth in the 64-bit build.
    out.bytes.reserve(256);
    const std::string_view name = smprefs::kClassName;
    out.U16(smprefs::kNewClassTag);
    out.U16(smprefs::kSchema);
    out.U16(static_cast<uint16_t>(name.size()));
    out.bytes.insert(out.bytes.end(), name.begin(), name.end());
    EachRow(prefs, 27, out);
    return std::move(out.bytes);
}

SMPrefsLoad LoadSMPrefs(DesktopFiles& files, const std::string& userFolder, CSMPrefs& prefs,
                        std::string& error) {
    const std::string path = PrefsPath(userFolder);
    std::vector<uint8_t> bytes;
    if (const int32_t failed = files.ReadAll(path, bytes)) {
        prefs = CSMPrefs{};
        error = "cannot open " + path + " (" + std::to_string(failed) + ")";
        return SMPrefsLoad::Missing;
    }
    std::string why;
    if (!ReadSMPrefs(bytes.data(), bytes.size(), prefs, why)) {
        // Left as it is (it may be a newer conduit's): only a save of settings replaces it.
        prefs = CSMPrefs{};
        error = path + " is no settings archive: " + why;
        return SMPrefsLoad::Unreadable;
    }
    error.clear();
    return SMPrefsLoad::Loaded;
}

int32_t SaveSMPrefs(DesktopFiles& files, const std::string& userFolder, const CSMPrefs& prefs) {
    // Written whole beside its place and renamed in, so that a save cut short by a full disk
    // or a crash leaves the previous settings rather than half of new ones.
    const std::string path = PrefsPath(userFolder);
    const std::string temporary = path + ".tmp";
    const std::vector<uint8_t> bytes = WriteSMPrefs(prefs);
    int32_t error = 0;
    std::unique_ptr<DesktopFileWriter> writer = files.Create(temporary, error);
    if (!writer) return 1;
    error = writer->Write(bytes.data(), bytes.size());
    const int32_t closed = writer->Close();
    writer.reset();
    if (error == 0) error = closed;
    if (error == 0) error = files.Replace(temporary, path);
    if (error != 0) {
        files.Delete(temporary);
        return 1;
    }
    return 0;
}
