// The registry edge, the same cases over the platform's registry (under Wine) and the one held
// in memory natively: what the notifiers and the wizard rely on when they read, write, delete
// and list values, including values they did not write and may not trust.
#include "base/RegistryEdge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/tests/RegistryKeys.h"

namespace {

const std::string kKey = "Software\\Kestrel Tests\\Registry";

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        keys_ = MakeTestKeys();
        keys_->Remove(kKey);
        keys_->Create(kKey + "\\Beta");
        keys_->Create(kKey + "\\alpha");
        registry_ = keys_->Edge();
    }
    void TearDown() override { keys_->Remove(kKey); }

    std::unique_ptr<TestKeys> keys_;
    std::unique_ptr<RegistryEdge> registry_;
};

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST_F(Registry, OnlyExistingKeysOpen) {
    EXPECT_NE(registry_->OpenCurrentUser(kKey), nullptr);
    EXPECT_NE(registry_->OpenCurrentUser("software\\kestrel tests\\REGISTRY"), nullptr);
    EXPECT_EQ(registry_->OpenCurrentUser(kKey + "\\Missing"), nullptr);
    EXPECT_EQ(registry_->OpenCurrentUser(kKey + "\\Missing"), nullptr) << "and is not created";
}

TEST_F(Registry, TextValuesAsTheyMayBeFound) {
    keys_->Set(kKey, "plain", regtype::Text, Bytes(std::string("C:\\kit\\kvrnotify.dll") + '\0'));
    keys_->Set(kKey, "no NUL", regtype::Text, Bytes("COM3"));
    keys_->Set(kKey, "inner NUL", regtype::Text, Bytes(std::string("ab\0cd", 5)));
    keys_->Set(kKey, "number", regtype::Dword, {1, 0, 0, 0});
    keys_->Set(kKey, "binary", regtype::Binary, Bytes("bakcn20.dll"));
    const auto key = registry_->OpenCurrentUser(kKey);
    ASSERT_NE(key, nullptr);
    struct Row {
        const char* name;
        RegistryRead result;
        std::string text;
    };
    const Row rows[] = {
        {"plain", RegistryRead::Ok, "C:\\kit\\kvrnotify.dll"},
        {"no NUL", RegistryRead::Ok, "COM3"},
        {"inner NUL", RegistryRead::Ok, "ab"},
        {"number", RegistryRead::NotText, ""},
        {"binary", RegistryRead::NotText, ""},
        {"absent", RegistryRead::Missing, ""},
    };
    for (const Row& r : rows) {
        std::string text = "left over";
        EXPECT_EQ(key->ReadText(r.name, text), r.result) << r.name;
        EXPECT_EQ(text, r.text) << r.name;
    }
}

TEST_F(Registry, WriteDeleteAndList) {
    const auto key = registry_->OpenCurrentUser(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->WriteText("Notifier0", "C:\\a\\kvrnotify.dll"));
    EXPECT_TRUE(key->WriteText("BackupConduit", "stashmate.dll"));
    keys_->Set(kKey, "Flags", regtype::Dword, {7, 0, 0, 0});

    RegistryKey::Info info;
    ASSERT_TRUE(key->QueryInfo(info));
    EXPECT_EQ(info.values, 3u);
    EXPECT_EQ(info.longestName, 13u);  // "BackupConduit"
    // The NUL counts; the platform may count a text as it holds it inside, which is wider.
    EXPECT_GE(info.longestData, sizeof "C:\\a\\kvrnotify.dll");

    std::vector<std::string> names;
    RegistryValue value;
    for (uint32_t i = 0;
         key->EnumValue(i, info.longestName + 1, info.longestData + 1, value) == RegistryEnum::Ok;
         ++i)
        names.push_back(value.name);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(key->EnumValue(0, 2, 100, value), RegistryEnum::TooLarge);
    EXPECT_EQ(key->EnumValue(3, 100, 100, value), RegistryEnum::End);

    EXPECT_TRUE(key->DeleteValue("notifier0"));
    EXPECT_FALSE(key->DeleteValue("Notifier0")) << "gone already";
    std::string text;
    EXPECT_EQ(key->ReadText("Notifier0", text), RegistryRead::Missing);
    EXPECT_EQ(key->ReadText("BackupConduit", text), RegistryRead::Ok);
    EXPECT_EQ(text, "stashmate.dll");

    const std::vector<std::string> subkeys = key->SubkeyNames();
    ASSERT_EQ(subkeys.size(), 2u);
    EXPECT_EQ(subkeys[0], "alpha");
    EXPECT_EQ(subkeys[1], "Beta");
}

}  // namespace
