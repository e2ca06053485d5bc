#include "gui/StatusBar.h"

#include <QLabel>
#include <algorithm>
#include <QProgressBar>
#include <QResizeEvent>

#include "gui/Controls.h"

namespace velora::gui {

StatusBar::StatusBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setFixedHeight(kHeight);
    int x = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        auto* p = new QLabel(this);
        p->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        p->setIndent(1);
        p->setFont(narrowFont(11));
        p->setGeometry(x, 1, kStatusPanelWidths[i], kHeight - 2);
        p->setMinimumWidth(kStatusPanelWidths[i]);
        x += kStatusPanelWidths[i];
        panels_[i] = p;
    }
    setMinimumWidth(x);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setRange(0, 59);
    progress_->setTextVisible(false);
    progress_->setGeometry(progressLeft(), kProgressTop, kProgressWidth, kHeight - 2 * kProgressTop);
    progress_->raise();
    setProgressColour(ProgressColour::Red);
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    // The last panel reaches to the right edge, as a status bar's last panel does.
    QLabel* last = panels_.back();
    last->resize(std::max(kStatusPanelWidths.back(), width() - last->x()), last->height());
}

int StatusBar::progressLeft() {
    int left = 0;
    for (int i = 0; i < 5; ++i) left += kStatusPanelWidths[static_cast<std::size_t>(i)];
    return left + 2;
}

void StatusBar::show(const StatusDisplay& status) {
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const QString text = QString::fromStdString(status.panels[i]);
        if (panels_[i]->text() != text) panels_[i]->setText(text);
    }
    setProgressColour(status.progress);
    setProgressPosition(status.progressPosition);
}

void StatusBar::setProgressPosition(int second) {
    if (progress_->value() == second) return;
    progress_->setValue(second);
    // QProgressBar repaints only when the change reaches a chunk of the style (about
    // 10 pixels, every 6 seconds here); the bar is smooth and shows every second.
    progress_->update();
}

void StatusBar::setProgressColour(ProgressColour colour) {
    if (colourShown_ == static_cast<int>(colour)) return;  // a style sheet change relayouts
    colourShown_ = static_cast<int>(colour);
    const char* name = colour == ProgressColour::Yellow ? "#ffff00" : colour == ProgressColour::Lime ? "#00ff00" : "#ff0000";
    progress_->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid gray; background: white; }"
                                            "QProgressBar::chunk { background: %1; }")
                                 .arg(QLatin1String(name)));
}

}  // namespace velora::gui
