#pragma once
// Placeholders in square brackets and their values: rows 0..13 the system tags, then
// the lines of the tag file. Rebuilt at the start of every preparation pass.
#include <string>
#include <utility>
#include <vector>

namespace velora {

struct TagRow {
    std::string name;   // brackets included, e.g. "[SYS_TIME]"
    std::string value;
    bool operator==(const TagRow&) const = default;
};

class TagTable {
public:
    // Told after every new build (the page "TAGs").
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void tagTableChanged() = 0;
    };

    int rowCount() const { return static_cast<int>(rows_.size()); }
    const TagRow& row(int i) const { return rows_.at(static_cast<std::size_t>(i)); }
    const std::vector<TagRow>& rows() const { return rows_; }
    // Until the first build the grid shows 100 empty rows.
    static constexpr int kInitialRows = 100;
    TagTable() : rows_(kInitialRows) {}

    void cutTo(int n) { rows_.resize(static_cast<std::size_t>(n < 0 ? 0 : n)); }
    void set(int i, std::string name, std::string value) {
        if (i >= 0 && i < rowCount()) rows_[static_cast<std::size_t>(i)] = {std::move(name), std::move(value)};
    }
    void append(std::string name, std::string value) { rows_.push_back({std::move(name), std::move(value)}); }
    // SG_Tags is refreshed once per build, not once per row.
    void changed() {
        if (listener_) listener_->tagTableChanged();
    }
    // One listener; nullptr for none.
    void setListener(Listener* l) { listener_ = l; }

private:
    std::vector<TagRow> rows_;
    Listener* listener_ = nullptr;
};

}  // namespace velora
