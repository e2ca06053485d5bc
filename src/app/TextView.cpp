#include "app/TextView.h"

namespace velora {

namespace {

// Splits at CR LF, lone CR and lone LF; a final break makes no extra line.
std::deque<std::string> splitLines(const std::string& text) {
    std::deque<std::string> out;
    std::string current;
    bool pendingLine = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out.push_back(std::move(current));
            current.clear();
            pendingLine = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current.push_back(c);
            pendingLine = true;
        }
    }
    if (pendingLine) out.push_back(std::move(current));
    return out;
}

}  // namespace

void TextView::appendLine(std::string line) {
    lines_.push_back(std::move(line));
    notify(Change::Appended);
}

void TextView::removeFirstLine() {
    if (lines_.empty()) return;
    lines_.pop_front();
    notify(Change::FirstRemoved);
}

void TextView::setText(const std::string& text) {
    lines_ = splitLines(text);
    notify(Change::Replaced);
}

void TextView::setLines(std::vector<std::string> lines) {
    lines_.assign(std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    notify(Change::Replaced);
}

void TextView::clear() {
    lines_.clear();
    notify(Change::Replaced);
}

std::string TextView::text() const {
    std::string out;
    std::size_t total = 0;
    for (const auto& l : lines_) total += l.size() + 2;
    out.reserve(total);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i) out += "\r\n";
        out += lines_[i];
    }
    return out;
}

}  // namespace velora
