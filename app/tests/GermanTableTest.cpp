// The German language module must carry every string of the program, each with the same
// printf conversions in the same order: a missing id would end an operation with a system
// error, and a swapped %s and %d would crash the formatting of a message. Rules, not rows:
// they hold for every text added to base/StringIds.def or base/ResultCodes.def.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/lang/tests/GermanRows.h"
#include "base/ResultCodes.h"
#include "base/StringIds.h"

namespace {

using Table = std::map<int, std::string>;

template <typename Rows>
Table ToTable(const Rows& rows, std::vector<int>& duplicates) {
    Table table;
    for (const auto& row : rows)
        if (!table.emplace(row.id, row.text).second) duplicates.push_back(row.id);
    return table;
}

// The conversions of a printf format in order ("%d%s"); "%%" is a plain percent sign.
std::string Conversions(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        size_t j = i + 1;
        while (j < text.size() &&
               std::string("-+ #0123456789.lh").find(text[j]) != std::string::npos)
            ++j;
        if (j < text.size() && text[j] != '%') result += text.substr(i, j - i + 1);
        i = j;
    }
    return result;
}

size_t CountOf(const std::string& text, char c) {
    size_t n = 0;
    for (char t : text) n += (t == c);
    return n;
}

TEST(GermanTable, EveryResultCodeReadsInGerman) {
    std::vector<int> duplicates;
    const Table german = ToTable(kGerman, duplicates);
    for (const TResultCodeRow& row : ResultCodeTable())
        EXPECT_TRUE(german.count(row.stringId)) << "code " << row.code << " has no German text";
    EXPECT_TRUE(german.count(sid::ErrorFallback));
}

TEST(GermanTable, HasExactlyTheEnglishIds) {
    std::vector<int> duplicates;
    const Table english = ToTable(EnglishStrings(), duplicates);
    const Table german = ToTable(kGerman, duplicates);
    EXPECT_TRUE(duplicates.empty()) << "duplicate id " << duplicates.front();
    for (const auto& [id, text] : english) EXPECT_TRUE(german.count(id)) << "German lacks " << id;
    for (const auto& [id, text] : german) EXPECT_TRUE(english.count(id)) << "German adds " << id;
}

TEST(GermanTable, KeepsFormatsLineBreaksAndAccelerators) {
    std::vector<int> duplicates;
    const Table english = ToTable(EnglishStrings(), duplicates);
    const Table german = ToTable(kGerman, duplicates);
    for (const auto& [id, text] : english) {
        const auto found = german.find(id);
        if (found == german.end()) continue;
        const std::string& translated = found->second;
        EXPECT_FALSE(translated.empty()) << id;
        EXPECT_EQ(Conversions(translated), Conversions(text)) << id;
        EXPECT_EQ(CountOf(translated, '\n'), CountOf(text, '\n')) << id;
        EXPECT_EQ(CountOf(translated, '&'), CountOf(text, '&')) << id;
    }
}

}  // namespace
