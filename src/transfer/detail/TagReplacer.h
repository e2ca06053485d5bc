#pragma once
// Tag replacement over a whole file in one pass over its text. The rule is the
// sequential one: the tag rows are applied one after another in table order, each over
// the text the earlier ones left, left to right and continuing behind each inserted
// value, so a later tag's name inside an earlier tag's value is replaced too. Applied
// literally that reads the whole text once per tag, and a tag file whose values name
// further tags grows a page without bound.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/TagTable.h"

namespace velora {

// Replacing tags may make one file's text longer by at most this many bytes: the
// lengthening of every replacement added up (one that shortens the text counts as 0),
// so no step of the rule ever holds more than the file plus this. A file whose tags
// would lengthen it more is not replaced at all. A page of any size gains kilobytes at
// most; a tag file whose values repeat their own or later names doubles the text with
// every row.
inline constexpr std::size_t kTagGrowthLimit = std::size_t{64} * 1024 * 1024;

class TagReplacer {
public:
    // Takes what it needs from the rows; the table may change afterwards.
    explicit TagReplacer(const std::vector<TagRow>& tags);

    // The text as the rows applied one after another leave it. False, with `text` as it
    // was, when the replacements would lengthen it by more than `limit` bytes in all.
    bool replaceAll(std::string& text, std::size_t limit = kTagGrowthLimit) const;

private:
    static constexpr int kNone = INT_MAX;

    struct Stage {
        std::int32_t name;   // index into names_
        std::string value;
    };
    struct Node {
        std::int32_t fail = 0;
        std::int32_t dict = -1;   // nearest node on the fail chain that ends a name
        std::int32_t name = -1;   // the name ending here, or -1
        std::uint32_t edgeBegin = 0;
        std::uint32_t edgeEnd = 0;
    };

    void buildAutomaton();
    std::int32_t step(std::int32_t state, unsigned char byte) const;
    std::size_t nextNameStart(const std::string& text, std::size_t from) const;
    int nextStageOf(std::int32_t name, int after) const;
    int firstStageIn(std::string_view text, int after) const;
    // Buffers one replacement reuses for every piece: most pieces are a tag alone, and
    // an allocation each would cost more than their replacement.
    struct Scratch {
        std::string piece;
        std::string next;
        std::vector<std::size_t> hits;
    };
    bool runStages(Scratch& scratch, int stage, std::size_t& grown, std::size_t limit) const;

    std::vector<Stage> stages_;                          // rows that replace anything, in order
    std::vector<std::string> names_;                     // distinct names, sorted
    std::vector<std::vector<int>> stagesOfName_;         // ascending stage numbers per name
    bool nameByte_[256] = {};                            // the byte occurs in some name
    std::vector<Node> nodes_;                            // Aho-Corasick automaton over names_
    std::vector<unsigned char> edgeByte_;
    std::vector<std::int32_t> edgeTarget_;
    std::int32_t rootNext_[256] = {};
    int onlyFirstByte_ = -1;                             // the byte every name begins with, if one
};

}  // namespace velora
