#pragma once
// What each file the upload sends was made from. A tag-replaced copy is named after
// its row in the scratch folder, but it stands for the source it was made of; a row
// with an empty "FTP Name" is stored under that source's name, never the copy's or
// the transfer copy's. The preparation pass records, the upload pass asks.
#include <string>
#include <unordered_map>

namespace velora {

class ResolvedSources {
public:
    void clear() { madeFrom_.clear(); }
    void record(const std::string& sentFile, const std::string& source) { madeFrom_[sentFile] = source; }
    // The source `sentFile` was made from, or the file itself when it is its own source.
    std::string sourceOf(const std::string& sentFile) const {
        const auto it = madeFrom_.find(sentFile);
        return it == madeFrom_.end() ? sentFile : it->second;
    }

private:
    std::unordered_map<std::string, std::string> madeFrom_;
};

}  // namespace velora
