#pragma once
// StatusBar1: nine panels side by side at their fixed widths, and ProgressBar1 laid
// over panel 5 showing the current second in the colour of the run state.
#include <QFrame>
#include <array>

#include "schedule/StatusDisplay.h"

class QLabel;
class QProgressBar;

namespace velora::gui {

class StatusBar : public QFrame {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void show(const StatusDisplay& status);
    void setProgressPosition(int second);

    QLabel* panel(int i) const { return panels_[static_cast<std::size_t>(i)]; }
    QProgressBar* progressBar() const { return progress_; }

    static constexpr int kHeight = 22;
    static constexpr int kProgressTop = 3;
    static constexpr int kProgressWidth = 100;
    // Left edge of the progress bar: panels 0 to 4 and two pixels.
    static int progressLeft();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setProgressColour(ProgressColour colour);

    std::array<QLabel*, 9> panels_{};
    QProgressBar* progress_;
    int colourShown_ = -1;
};

}  // namespace velora::gui
