#pragma once
// What the status bar, the button panel, the progress bar and two labels show. The
// core fills it (UpdateStatusDisplay); the window paints it.
#include <array>
#include <string>

namespace velora {

enum class PanelColour { ButtonFace, Lime };
enum class ProgressColour { Yellow, Lime, Red };

inline constexpr std::array<int, 9> kStatusPanelWidths{50, 50, 50, 50, 50, 102, 100, 110, 50};

struct StatusDisplay {
    std::array<std::string, 9> panels;
    PanelColour buttonPanel = PanelColour::ButtonFace;
    ProgressColour progress = ProgressColour::Red;
    int progressPosition = 0;                  // 0..59, the current second
    std::string l_zeit_start_alt = "noch nie";
    std::string l_dauer_max;

    // Told after every change: the window repaints from here.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void statusChanged() = 0;
    };
    // One listener; nullptr for none.
    void setListener(Listener* l) { listener_ = l; }
    void changed() {
        if (listener_) listener_->statusChanged();
    }

private:
    Listener* listener_ = nullptr;
};

}  // namespace velora
