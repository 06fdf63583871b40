// Every language module must carry every string of the program, each with the same printf
// conversions in the same order: a missing id would end an operation with a system error,
// and a swapped %s and %d would crash the formatting of a message. Rules, not rows: they
// hold for every text added to base/StringIds.def or base/ResultCodes.def, in every
// translation.
#include <gtest/gtest.h>

#include <map>
#include <span>
#include <string>
#include <vector>

#include "app/lang/tests/TranslationRows.h"
#include "base/ResultCodes.h"
#include "base/StringIds.h"

namespace {

using Table = std::map<int, std::string>;

Table ToTable(std::span<const TStringRow> rows, std::vector<int>& duplicates) {
    Table table;
    for (const TStringRow& row : rows)
        if (!table.emplace(row.id, row.text).second) duplicates.push_back(row.id);
    return table;
}

Table ToTable(const TTranslation& translation, std::vector<int>& duplicates) {
    return ToTable(std::span(translation.table.rows, translation.table.count), duplicates);
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

class TranslationTable : public ::testing::TestWithParam<TTranslation> {};

TEST_P(TranslationTable, EveryResultCodeHasAText) {
    std::vector<int> duplicates;
    const Table translated = ToTable(GetParam(), duplicates);
    for (const TResultCodeRow& row : ResultCodeTable())
        EXPECT_TRUE(translated.count(row.stringId)) << "code " << row.code << " has no text";
    EXPECT_TRUE(translated.count(sid::ErrorFallback));
}

TEST_P(TranslationTable, HasExactlyTheEnglishIds) {
    std::vector<int> duplicates;
    const Table english = ToTable(EnglishStrings(), duplicates);
    const Table translated = ToTable(GetParam(), duplicates);
    EXPECT_TRUE(duplicates.empty()) << "duplicate id " << duplicates.front();
    for (const auto& [id, text] : english) EXPECT_TRUE(translated.count(id)) << "lacks " << id;
    for (const auto& [id, text] : translated) EXPECT_TRUE(english.count(id)) << "adds " << id;
}

TEST_P(TranslationTable, KeepsFormatsLineBreaksAndAccelerators) {
    std::vector<int> duplicates;
    const Table english = ToTable(EnglishStrings(), duplicates);
    const Table translated = ToTable(GetParam(), duplicates);
    for (const auto& [id, text] : english) {
        const auto found = translated.find(id);
        if (found == translated.end()) continue;
        const std::string& words = found->second;
        EXPECT_FALSE(words.empty()) << id;
        EXPECT_EQ(Conversions(words), Conversions(text)) << id;
        EXPECT_EQ(CountOf(words, '\n'), CountOf(text, '\n')) << id;
        EXPECT_EQ(CountOf(words, '&'), CountOf(text, '&')) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, TranslationTable, ::testing::ValuesIn(kTranslations),
                         [](const auto& row) { return std::string(row.param.language); });

}  // namespace
