#include "app/RunLock.h"

namespace velora {

RunLock::Hold RunLock::enter(const std::string& what) {
    refusal_ = Refusal::None;
    if (depth_ > 0) {
        ++depth_;
        return Hold(this);
    }
    if (!temp_.ensure()) {
        refusal_ = Refusal::Unusable;
        log_.write(what + " nicht möglich: Temp-Ordner " + temp_.path() + " nicht nutzbar");
        return Hold();
    }
    std::string why;
    switch (lock_.tryLock(temp_.lockPath(), why)) {
    case FileLock::Result::Acquired:
        depth_ = 1;
        return Hold(this);
    case FileLock::Result::Busy:
        refusal_ = Refusal::Busy;
        log_.write(what + " übersprungen: ein anderer Lauf arbeitet gerade mit " + temp_.path());
        return Hold();
    case FileLock::Result::Failed:
        break;
    }
    refusal_ = Refusal::Unusable;
    log_.write(what + " nicht möglich: " + temp_.lockPath() + ": " + why);
    return Hold();
}

void RunLock::leave() {
    if (depth_ > 0 && --depth_ == 0) lock_.release();
}

}  // namespace velora
