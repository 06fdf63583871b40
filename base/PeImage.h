// What a Windows library shows the loader, read from its bytes alone (no platform call, none
// of its code run): the names it exports and how it imports, as HotSync Manager and Windows
// will see them. The backup conduit judges a virus-scanner plug-in it downloaded by it before
// the plug-in may replace the working one, and tests check the kit's libraries with it. Every
// offset is bounds-checked: bytes that are cut short or malformed give an error text, never a
// read outside the bytes or an exception.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace pe {

struct Export {
    std::string name;
    uint32_t ordinal = 0;  // with the table's base added, as importers name it
};

struct Import {
    std::string library;  // as the import table spells it ("userdata.dll")
    bool byOrdinal = false;
    uint16_t ordinal = 0;  // when byOrdinal
    std::string name;      // otherwise
};

// The machine types a library is built for.
constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMachineAmd64 = 0x8664;

struct Image {
    uint16_t machine = 0;  // kMachineI386, kMachineAmd64, ...
    bool pe32Plus = false;
    std::string exportName;          // the library's own name in its export table
    uint32_t exportedFunctions = 0;  // every entry point, named or by ordinal only
    std::vector<Export> exports;     // those with names
    std::vector<Import> imports;
    // What stripping removes: the COFF symbol table and the .debug sections.
    uint32_t symbols = 0;
    std::vector<std::string> sections;  // their names, long ones (".debug_info") looked up
};

namespace detail {

// PE/COFF offsets, as the format fixes them.
constexpr uint32_t kDosNewHeader = 0x3C;
constexpr uint32_t kCoffSize = 20;
constexpr uint32_t kSectionSize = 40;
constexpr uint32_t kCoffSymbolTable = 8;  // in the COFF header
constexpr uint32_t kCoffSymbolCount = 12;
constexpr uint32_t kSymbolSize = 18;
constexpr uint32_t kSectionNameSize = 8;
constexpr uint16_t kPe32 = 0x10B;
constexpr uint16_t kPe32Plus = 0x20B;
// No real library has anywhere near these; they bound the work a malformed table can ask for.
constexpr uint32_t kMaxEntries = 65536;
constexpr uint32_t kMaxText = 4096;

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    bool Has(uint64_t offset, uint64_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    uint16_t U16(uint64_t offset) const {
        const auto at = static_cast<size_t>(offset);
        return static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
    }
    uint32_t U32(uint64_t offset) const {
        return static_cast<uint32_t>(U16(offset)) | static_cast<uint32_t>(U16(offset + 2)) << 16;
    }
    uint64_t U64(uint64_t offset) const {
        return static_cast<uint64_t>(U32(offset)) | static_cast<uint64_t>(U32(offset + 4)) << 32;
    }
    // A NUL-terminated text at `offset`; nullopt when it runs off the bytes or is absurd.
    std::optional<std::string> Text(uint64_t offset) const {
        // Checked before it is narrowed: a 32-bit size_t would cut a far offset into a near one.
        if (offset >= bytes_.size()) return std::nullopt;
        std::string text;
        for (auto at = static_cast<size_t>(offset); at < bytes_.size(); ++at) {
            if (bytes_[at] == 0) return text;
            if (text.size() >= kMaxText) return std::nullopt;
            text += static_cast<char>(bytes_[at]);
        }
        return std::nullopt;
    }

private:
    const std::vector<uint8_t>& bytes_;
};

struct Section {
    uint32_t address, virtualSize, rawSize, rawOffset;
};

inline std::optional<uint64_t> FileOffset(const std::vector<Section>& sections, uint32_t rva) {
    for (const Section& s : sections) {
        if (rva < s.address) continue;
        const uint64_t into = uint64_t{rva} - s.address;
        const uint64_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (into < extent && into < s.rawSize) return uint64_t{s.rawOffset} + into;
    }
    return std::nullopt;
}

}  // namespace detail

// Reads the bytes of a PE file; nullopt, with `error` saying what is wrong, when they are none.
inline std::optional<Image> Read(const std::vector<uint8_t>& bytes, std::string& error) {
    using namespace detail;
    const Reader r(bytes);
    auto fail = [&](const char* what) {
        error = what;
        return std::optional<Image>{};
    };
    if (!r.Has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return fail("no MZ header");
    const uint64_t pe = r.U32(kDosNewHeader);
    if (!r.Has(pe, 4 + kCoffSize) || r.U32(pe) != 0x00004550) return fail("no PE signature");
    const uint64_t coff = pe + 4;
    Image image;
    image.machine = r.U16(coff);
    image.symbols = r.U32(coff + kCoffSymbolCount);
    const uint16_t sectionCount = r.U16(coff + 2);
    const uint16_t optionalSize = r.U16(coff + 16);
    const uint64_t optional = coff + kCoffSize;
    if (!r.Has(optional, optionalSize) || optionalSize < 2) return fail("optional header cut");
    const uint16_t magic = r.U16(optional);
    if (magic != kPe32 && magic != kPe32Plus) return fail("unknown optional header");
    image.pe32Plus = magic == kPe32Plus;
    const uint64_t countAt = optional + (image.pe32Plus ? 108 : 92);
    const uint64_t directories = countAt + 4;
    if (countAt + 4 > optional + optionalSize) return fail("optional header cut");
    const uint32_t directoryCount = r.U32(countAt);
    auto directory = [&](uint32_t index, uint32_t& rva, uint32_t& size) {
        rva = size = 0;
        const uint64_t at = directories + uint64_t{index} * 8;
        if (index >= directoryCount || at + 8 > optional + optionalSize) return;
        rva = r.U32(at);
        size = r.U32(at + 4);
    };

    std::vector<Section> sections;
    const uint64_t sectionTable = optional + optionalSize;
    if (!r.Has(sectionTable, uint64_t{sectionCount} * kSectionSize))
        return fail("section table cut");
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const uint64_t s = sectionTable + uint64_t{i} * kSectionSize;
        const Section section{r.U32(s + 12), r.U32(s + 8), r.U32(s + 16), r.U32(s + 20)};
        if (!r.Has(section.rawOffset, section.rawSize)) return fail("section data cut");
        sections.push_back(section);
        std::string name(reinterpret_cast<const char*>(&bytes[static_cast<size_t>(s)]),
                         kSectionNameSize);
        name = name.substr(0, name.find('\0'));
        // A longer name (".debug_info") is "/" and its offset in the string table that
        // follows the symbol table.
        // At most seven digits fit the field, so the number cannot overflow.
        if (name.size() > 1 && name[0] == '/' &&
            name.find_first_not_of("0123456789", 1) == std::string::npos) {
            uint64_t offset = 0;
            for (size_t d = 1; d < name.size(); ++d)
                offset = offset * 10 + static_cast<uint64_t>(name[d] - '0');
            const uint64_t strings =
                uint64_t{r.U32(coff + kCoffSymbolTable)} + uint64_t{image.symbols} * kSymbolSize;
            name = r.Text(strings + offset).value_or(name);
        }
        image.sections.push_back(name);
    }
    auto at = [&](uint32_t rva, uint64_t size) -> std::optional<uint64_t> {
        const auto offset = FileOffset(sections, rva);
        if (!offset || !r.Has(*offset, size)) return std::nullopt;
        return offset;
    };

    uint32_t rva = 0, size = 0;
    directory(0, rva, size);
    if (rva != 0) {
        const auto table = at(rva, 40);
        if (!table) return fail("export directory outside the file");
        const uint32_t base = r.U32(*table + 16);
        const uint32_t functions = r.U32(*table + 20);
        const uint32_t names = r.U32(*table + 24);
        if (functions > kMaxEntries || names > kMaxEntries) return fail("export table absurd");
        const auto addresses = at(r.U32(*table + 28), uint64_t{functions} * 4);
        const auto namePointers = at(r.U32(*table + 32), uint64_t{names} * 4);
        const auto ordinals = at(r.U32(*table + 36), uint64_t{names} * 2);
        if ((functions && !addresses) || (names && (!namePointers || !ordinals)))
            return fail("export tables outside the file");
        if (const auto own = at(r.U32(*table + 12), 1))
            image.exportName = r.Text(*own).value_or("");
        for (uint32_t i = 0; i < functions; ++i)
            if (r.U32(*addresses + uint64_t{i} * 4) != 0) ++image.exportedFunctions;
        for (uint32_t i = 0; i < names; ++i) {
            const auto text = at(r.U32(*namePointers + uint64_t{i} * 4), 1);
            const auto name = text ? r.Text(*text) : std::nullopt;
            if (!name) return fail("export name outside the file");
            image.exports.push_back({*name, base + r.U16(*ordinals + uint64_t{i} * 2)});
        }
    }

    directory(1, rva, size);
    if (rva != 0) {
        const uint32_t thunkSize = image.pe32Plus ? 8 : 4;
        const uint64_t ordinalFlag = image.pe32Plus ? uint64_t{1} << 63 : uint64_t{1} << 31;
        for (uint32_t d = 0;; ++d) {
            if (d >= kMaxEntries) return fail("import table absurd");
            const auto descriptor = at(rva + d * 20, 20);
            if (!descriptor) return fail("import directory outside the file");
            const uint32_t lookup = r.U32(*descriptor);
            const uint32_t nameRva = r.U32(*descriptor + 12);
            const uint32_t thunks = r.U32(*descriptor + 16);
            if (lookup == 0 && nameRva == 0 && thunks == 0) break;
            const auto nameAt = at(nameRva, 1);
            const auto library = nameAt ? r.Text(*nameAt) : std::nullopt;
            if (!library) return fail("imported library name outside the file");
            const uint32_t list = lookup != 0 ? lookup : thunks;
            for (uint32_t t = 0;; ++t) {
                if (t >= kMaxEntries) return fail("import list absurd");
                const auto entry = at(list + t * thunkSize, thunkSize);
                if (!entry) return fail("import list outside the file");
                const uint64_t value = image.pe32Plus ? r.U64(*entry) : r.U32(*entry);
                if (value == 0) break;
                // Descriptors may share one list: the whole count is bounded, not each list.
                if (image.imports.size() >= kMaxEntries) return fail("import table absurd");
                Import import{*library, false, 0, ""};
                if (value & ordinalFlag) {
                    import.byOrdinal = true;
                    import.ordinal = static_cast<uint16_t>(value & 0xFFFF);
                } else {
                    const auto hint = at(static_cast<uint32_t>(value & 0x7FFFFFFF), 3);
                    const auto name = hint ? r.Text(*hint + 2) : std::nullopt;
                    if (!name) return fail("imported name outside the file");
                    import.name = *name;
                }
                image.imports.push_back(import);
            }
        }
    }
    return image;
}

inline std::optional<Image> ReadFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    return Read(bytes, error);
}

}  // namespace pe
