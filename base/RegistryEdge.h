// What the kit needs of the registry: existing keys under the current user, opened with full
// access and never created, whose text values are read, written and deleted, and whose values
// and subkeys are listed. The wizard, the notifiers and the simulated HotSync world all go
// through it; tests hand in a MemoryRegistry (base/MemoryRegistry.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Value types, with the platform's numbers.
namespace regtype {
constexpr uint32_t Text = 1;        // a string with its terminating NUL
constexpr uint32_t ExpandText = 2;  // a string naming environment variables
constexpr uint32_t Binary = 3;
constexpr uint32_t Dword = 4;
constexpr uint32_t MultiText = 7;
}  // namespace regtype

struct RegistryValue {
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;  // as stored, a text's NUL included
    bool operator==(const RegistryValue&) const = default;
};

// What listing one value found.
enum class RegistryEnum {
    Ok,
    End,       // no value at that index
    TooLarge,  // its name or data does not fit the buffers given
};

enum class RegistryRead {
    Ok,       // the text, up to its first NUL and never past the data stored
    Missing,  // no value of that name: reads as empty text
    NotText,  // a value of another type: nothing is read
    Failed,   // the registry would not tell
};

class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    virtual RegistryRead ReadText(const std::string& name, std::string& text) = 0;
    // Writes a text value, its terminating NUL stored with it.
    virtual bool WriteText(const std::string& name, const std::string& text) = 0;
    virtual bool DeleteValue(const std::string& name) = 0;
    // A value of any type as it is stored, and written back so; for putting back exactly a
    // value this program changed. ReadValue gives Ok, Missing or Failed.
    virtual RegistryRead ReadValue(const std::string& name, RegistryValue& value) = 0;
    virtual bool WriteValue(const RegistryValue& value) = 0;

    // How many values the key has, and its longest value name (characters, no NUL) and
    // longest value data (bytes).
    struct Info {
        uint32_t values = 0;
        uint32_t longestName = 0;
        uint32_t longestData = 0;
    };
    virtual bool QueryInfo(Info& info) = 0;
    // Value `index`, in the registry's order, with its name read into a buffer of
    // `nameCapacity` characters (its NUL included) and its data into one of `dataCapacity`
    // bytes.
    virtual RegistryEnum EnumValue(uint32_t index, uint32_t nameCapacity, uint32_t dataCapacity,
                                   RegistryValue& value) = 0;
    // The names of the key's subkeys, in the registry's order.
    virtual std::vector<std::string> SubkeyNames() = 0;
};

class RegistryEdge {
public:
    virtual ~RegistryEdge() = default;
    // An existing key under the current user ("Software\Palm Computing\..."), opened with
    // full access; nullptr when it does not exist or cannot be opened so.
    virtual std::unique_ptr<RegistryKey> OpenCurrentUser(const std::string& path) = 0;
};

// The platform's registry; natively, where there is none, one process-wide MemoryRegistry.
std::unique_ptr<RegistryEdge> MakeRegistryEdge();
