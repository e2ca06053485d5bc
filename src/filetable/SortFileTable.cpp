#include "filetable/SortFileTable.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <utility>
#include <vector>

namespace velora {

bool sortKeyLess(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    // memcmp compares as unsigned char whatever the signedness of char.
    const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    if (order != 0) return order < 0;
    return a.size() < b.size();
}

void SortFileTable(FileTable& table, int column, bool ascending) {
    if (column < 0 || column >= kFileColumns) return;
    // The pass runs on a copy without letting anything else run, so no row can vanish
    // under it; the table then takes the new order in one change.
    std::vector<FileTable::Row> rows = table.rows();
    const std::size_t n = rows.size();
    if (n == 0) return;

    // Exchanging positions in `order` (and the keys with them) is the same as
    // exchanging whole rows, without copying ten texts on every exchange.
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<std::string_view> keys(n);
    for (std::size_t i = 0; i < n; ++i) keys[i] = rows[i][static_cast<std::size_t>(column)];

    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const bool exchange = ascending ? sortKeyLess(keys[i], keys[j]) : sortKeyLess(keys[j], keys[i]);
            if (exchange) {
                std::swap(keys[i], keys[j]);
                std::swap(order[i], order[j]);
            }
        }
    }

    std::vector<FileTable::Row> sorted;
    sorted.reserve(n);
    for (std::size_t k : order) sorted.push_back(std::move(rows[k]));
    table.setRows(std::move(sorted));
    table.renumberRows();
}

}  // namespace velora
