#include "transfer/detail/TagReplacer.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace velora {

// Why one pass gives the sequential result, byte for byte:
//  - a row with an empty name or value changes nothing, so it is dropped;
//  - a byte that occurs in no tag name can never be part of a match, of any row, at any
//    step: it stays where it is, no match reaches across it, and the text between two
//    such bytes (a "piece") is replaced exactly as it would be on its own. Line breaks
//    and ";" never occur in names from the tag file, so a piece is at most a line;
//  - a row changes a piece only where its name occurs in the piece as it stands, so a
//    piece goes straight from one row to the next row whose name occurs in it. One
//    automaton over all names finds that row in a single scan of the piece.
// A piece whose text holds no name at all, the usual case for most of a page, is never
// copied or scanned again. A piece costs one scan per row that acts on it, so a long
// line made only of bytes that occur in names costs what the rule costs.

TagReplacer::TagReplacer(const std::vector<TagRow>& tags) {
    std::vector<const TagRow*> rows;
    for (const TagRow& row : tags)
        if (!row.name.empty() && !row.value.empty()) rows.push_back(&row);
    // Equal names share one entry of the automaton; their rows stay in table order.
    std::vector<int> byName(rows.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::stable_sort(byName.begin(), byName.end(), [&](int a, int b) { return rows[a]->name < rows[b]->name; });
    std::vector<std::int32_t> nameOfStage(rows.size());
    for (int stage : byName) {
        if (names_.empty() || names_.back() != rows[stage]->name) {
            names_.push_back(rows[stage]->name);
            stagesOfName_.emplace_back();
        }
        stagesOfName_.back().push_back(stage);
        nameOfStage[stage] = static_cast<std::int32_t>(names_.size() - 1);
    }
    stages_.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) stages_.push_back({nameOfStage[i], rows[i]->value});
    for (const std::string& name : names_)
        for (unsigned char byte : name) nameByte_[byte] = true;
    buildAutomaton();
}

// The trie is built from the sorted names in one sweep, so each node's children come
// in ascending byte order and its edges can be searched by halving.
void TagReplacer::buildAutomaton() {
    nodes_.assign(1, Node{});
    std::vector<std::int32_t> parent{-1};
    std::vector<unsigned char> byteOf{0};
    std::vector<std::int32_t> path{0};
    const std::string* previous = nullptr;
    for (std::size_t id = 0; id < names_.size(); ++id) {
        const std::string& name = names_[id];
        std::size_t common = 0;
        if (previous != nullptr)
            while (common < name.size() && common < previous->size() && name[common] == (*previous)[common])
                ++common;
        path.resize(common + 1);
        for (std::size_t depth = common; depth < name.size(); ++depth) {
            path.push_back(static_cast<std::int32_t>(nodes_.size()));
            nodes_.emplace_back();
            parent.push_back(path[depth]);
            byteOf.push_back(static_cast<unsigned char>(name[depth]));
        }
        nodes_[static_cast<std::size_t>(path[name.size()])].name = static_cast<std::int32_t>(id);
        previous = &name;
    }

    const std::size_t count = nodes_.size();
    std::vector<std::uint32_t> cursor(count + 1, 0);
    for (std::size_t v = 1; v < count; ++v) ++cursor[static_cast<std::size_t>(parent[v]) + 1];
    std::partial_sum(cursor.begin(), cursor.end(), cursor.begin());
    for (std::size_t u = 0; u < count; ++u) {
        nodes_[u].edgeBegin = cursor[u];
        nodes_[u].edgeEnd = cursor[u];
    }
    edgeByte_.resize(count - 1);
    edgeTarget_.resize(count - 1);
    for (std::size_t v = 1; v < count; ++v) {
        Node& from = nodes_[static_cast<std::size_t>(parent[v])];
        edgeByte_[from.edgeEnd] = byteOf[v];
        edgeTarget_[from.edgeEnd] = static_cast<std::int32_t>(v);
        ++from.edgeEnd;
    }
    for (std::uint32_t e = nodes_[0].edgeBegin; e < nodes_[0].edgeEnd; ++e) rootNext_[edgeByte_[e]] = edgeTarget_[e];
    if (nodes_[0].edgeEnd - nodes_[0].edgeBegin == 1) onlyFirstByte_ = edgeByte_[nodes_[0].edgeBegin];

    // Fail links breadth first: each needs those of the shallower nodes.
    std::vector<std::int32_t> queue;
    queue.reserve(count);
    queue.push_back(0);
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const Node u = nodes_[static_cast<std::size_t>(queue[head])];
        for (std::uint32_t e = u.edgeBegin; e < u.edgeEnd; ++e) {
            const std::int32_t v = edgeTarget_[e];
            Node& node = nodes_[static_cast<std::size_t>(v)];
            node.fail = queue[head] == 0 ? 0 : step(u.fail, edgeByte_[e]);
            const Node& fail = nodes_[static_cast<std::size_t>(node.fail)];
            node.dict = fail.name >= 0 ? node.fail : fail.dict;
            queue.push_back(v);
        }
    }
}

std::int32_t TagReplacer::step(std::int32_t state, unsigned char byte) const {
    for (;;) {
        if (state == 0) return rootNext_[byte];
        const Node& node = nodes_[static_cast<std::size_t>(state)];
        const auto first = edgeByte_.begin() + node.edgeBegin;
        const auto last = edgeByte_.begin() + node.edgeEnd;
        const auto it = std::lower_bound(first, last, byte);
        if (it != last && *it == byte) return edgeTarget_[static_cast<std::size_t>(it - edgeByte_.begin())];
        state = node.fail;
    }
}

// The first position from `from` on whose byte can begin a name ("[" as a rule), or the
// end of the text.
std::size_t TagReplacer::nextNameStart(const std::string& text, std::size_t from) const {
    if (onlyFirstByte_ >= 0) {
        const void* hit = std::memchr(text.data() + from, onlyFirstByte_, text.size() - from);
        return hit == nullptr ? text.size() : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    }
    while (from < text.size() && rootNext_[static_cast<unsigned char>(text[from])] == 0) ++from;
    return from;
}

int TagReplacer::nextStageOf(std::int32_t name, int after) const {
    const std::vector<int>& stages = stagesOfName_[static_cast<std::size_t>(name)];
    const auto it = std::upper_bound(stages.begin(), stages.end(), after);
    return it == stages.end() ? kNone : *it;
}

// The first row after `after` whose name occurs in `text`; kNone when there is none.
int TagReplacer::firstStageIn(std::string_view text, int after) const {
    int best = kNone;
    std::int32_t state = 0;
    for (const char c : text) {
        state = step(state, static_cast<unsigned char>(c));
        const Node& here = nodes_[static_cast<std::size_t>(state)];
        for (std::int32_t n = here.name >= 0 ? state : here.dict; n >= 0; n = nodes_[static_cast<std::size_t>(n)].dict) {
            best = std::min(best, nextStageOf(nodes_[static_cast<std::size_t>(n)].name, after));
            if (best == after + 1) return best;
        }
    }
    return best;
}

// Applies to one piece every row from `stage` on whose name occurs in it.
bool TagReplacer::runStages(Scratch& scratch, int stage, std::size_t& grown, std::size_t limit) const {
    std::string& piece = scratch.piece;
    std::vector<std::size_t>& hits = scratch.hits;
    while (stage != kNone) {
        const Stage& row = stages_[static_cast<std::size_t>(stage)];
        const std::string& name = names_[static_cast<std::size_t>(row.name)];
        hits.clear();
        for (std::size_t at = piece.find(name); at != std::string::npos; at = piece.find(name, at + name.size()))
            hits.push_back(at);
        // Counted before anything is built: a doubling row must fail here, not in the
        // allocator.
        const std::size_t growth = row.value.size() > name.size() ? row.value.size() - name.size() : 0;
        if (growth > 0 && hits.size() > (limit - grown) / growth) return false;
        grown += hits.size() * growth;
        std::string& next = scratch.next;
        next.clear();
        next.reserve(piece.size() - hits.size() * name.size() + hits.size() * row.value.size());
        std::size_t from = 0;
        for (const std::size_t at : hits) {
            next.append(piece, from, at - from);
            next += row.value;
            from = at + name.size();
        }
        next.append(piece, from, std::string::npos);
        piece.swap(next);
        stage = firstStageIn(piece, stage);
    }
    return true;
}

bool TagReplacer::replaceAll(std::string& text, std::size_t limit) const {
    if (stages_.empty()) return true;
    const std::size_t n = text.size();
    std::string out;
    Scratch scratch;
    bool changed = false;
    std::size_t copied = 0;
    std::size_t grown = 0;
    std::size_t start = 0;
    int first = kNone;
    std::int32_t state = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        if (state == 0 && first == kNone && i < n) {
            // Nothing found in this piece yet and no name begun: up to the next byte that
            // can begin one, the only thing that matters is where the last piece began.
            const std::size_t next = nextNameStart(text, i);
            std::size_t j = next;
            while (j > i && nameByte_[static_cast<unsigned char>(text[j - 1])]) --j;
            if (j > i) start = j;
            i = next;
        }
        const auto byte = static_cast<unsigned char>(i < n ? text[i] : 0);
        if (i == n || !nameByte_[byte]) {
            if (first != kNone) {
                scratch.piece.assign(text, start, i - start);
                if (!runStages(scratch, first, grown, limit)) return false;
                if (!changed) out.reserve(n + n / 8);
                changed = true;
                out.append(text, copied, start - copied);
                out += scratch.piece;
                copied = i;
            }
            first = kNone;
            state = 0;
            start = i + 1;
            continue;
        }
        state = step(state, byte);
        const Node& here = nodes_[static_cast<std::size_t>(state)];
        for (std::int32_t m = here.name >= 0 ? state : here.dict; m >= 0; m = nodes_[static_cast<std::size_t>(m)].dict)
            first = std::min(first, stagesOfName_[static_cast<std::size_t>(nodes_[static_cast<std::size_t>(m)].name)].front());
    }
    if (changed) {
        out.append(text, copied, std::string::npos);
        text = std::move(out);
    }
    return true;
}

}  // namespace velora
