// The one-pass replacement against the rule it must give byte for byte: the tag rows
// applied one after another, each over the whole text the earlier ones left.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "transfer/PreparationPass.h"
#include "transfer/detail/TagReplacer.h"

namespace velora {
namespace {

// The rule as written; nullopt when the replacements lengthen the text by more than
// `limit` bytes in all (those that shorten it count as 0).
std::optional<std::string> rowByRow(std::string text, const std::vector<TagRow>& rows, std::size_t limit) {
    std::size_t grown = 0;
    for (const TagRow& row : rows) {
        if (row.name.empty() || row.value.empty()) continue;
        for (auto at = text.find(row.name); at != std::string::npos; at = text.find(row.name, at + row.name.size()))
            grown += row.value.size() > row.name.size() ? row.value.size() - row.name.size() : 0;
        if (grown > limit) return std::nullopt;
        PreparationPass::ReplaceTagInView(text, row.name, row.value);
    }
    return text;
}

// Few letters, so names overlap, repeat, meet across inserted values and hide in each
// other's values; " " and ";" sometimes belong to names and sometimes not.
TEST(TagReplacer, GivesTheRowByRowResultForEveryInput) {
    std::mt19937 random(20261208);
    const std::string letters = "[]AB; x";
    auto word = [&](int longest) {
        std::string w(random() % static_cast<unsigned>(longest + 1), ' ');
        for (char& c : w) c = letters[random() % letters.size()];
        return w;
    };
    int failures = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<TagRow> rows(random() % 8);
        for (TagRow& row : rows) row = {word(3), word(5)};
        if (!rows.empty() && random() % 3 == 0) rows[random() % rows.size()].name = rows[0].name;
        const std::string text = word(40);
        const std::size_t limit = random() % 2 == 0 ? 30 : 100000;
        const auto expected = rowByRow(text, rows, limit);
        std::string got = text;
        const bool replaced = TagReplacer(rows).replaceAll(got, limit);
        ASSERT_EQ(replaced, expected.has_value()) << round;
        ASSERT_EQ(got, replaced ? *expected : text) << round;
        failures += replaced ? 0 : 1;
    }
    EXPECT_GT(failures, 100);  // the limit was reached often enough to be tried
}

// Rows "[X];[X][X]" double the text each time: three lengthen it by 3 + 6 + 12 bytes,
// and the limit holds to the byte.
TEST(TagReplacer, DoublingRowsStopAtTheLimit) {
    const std::vector<TagRow> three(3, TagRow{"[X]", "[X][X]"});
    std::string text = "<p>[X]</p>";
    EXPECT_FALSE(TagReplacer(three).replaceAll(text, 20));
    EXPECT_TRUE(TagReplacer(three).replaceAll(text, 21));
    EXPECT_EQ(text, "<p>[X][X][X][X][X][X][X][X]</p>");
}

}  // namespace
}  // namespace velora
