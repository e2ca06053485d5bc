#include "app/MinimisedStart.h"

namespace velora {

void MinimisedStart::onTick(bool minimiert) {
    if (counter_ > 10) return;
    ++counter_;
    if (counter_ == 1 && minimiert) ui_.hideToTray();
}

}  // namespace velora
