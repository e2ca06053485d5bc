#pragma once
// A multi-line text view held as data: the log view "Memo1" and the scratch view
// "M_temp". The window mirrors it through the listener; the core never touches a
// widget. Lines are byte strings without their line breaks.
#include <deque>
#include <string>
#include <vector>

namespace velora {

class TextView {
public:
    enum class Change { Appended, FirstRemoved, Replaced };
    // Told after every change (the window's mirror of the view).
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void textViewChanged(Change change) = 0;
    };

    std::size_t lineCount() const { return lines_.size(); }
    const std::string& line(std::size_t i) const { return lines_.at(i); }
    const std::deque<std::string>& lines() const { return lines_; }

    void appendLine(std::string line);
    void removeFirstLine();
    // Replaces everything by `text`, split at CR LF, lone CR or lone LF. A final line
    // break makes no extra line.
    void setText(const std::string& text);
    void setLines(std::vector<std::string> lines);
    void clear();
    // The lines joined with CR LF, no break after the last one.
    std::string text() const;

    // One listener; nullptr for none.
    void setListener(Listener* l) { listener_ = l; }

private:
    void notify(Change c) {
        if (listener_) listener_->textViewChanged(c);
    }
    std::deque<std::string> lines_;
    Listener* listener_ = nullptr;
};

}  // namespace velora
