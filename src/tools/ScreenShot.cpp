#include "tools/ScreenShot.h"

#include "platform/FileIo.h"
#include "platform/Paths.h"
#include "tools/detail/JpegEncoder.h"

namespace velora {

ScreenShot::ScreenShot(const Settings& settings, const Environment& env, Screen& screen, EventLog& log)
    : settings_(settings), env_(env), screen_(screen), log_(log) {}

void ScreenShot::take() {
    // Logging lets window events run, so the target is read again for the save.
    log_.write("Speichere Screenshot -> " + settings_.e_ss_file);
    const auto surface = screen_.acquire();
    const ScreenPicture picture = surface->capturePrimaryScreen();
    const std::string jpeg = JpegEncoder::encode(picture, settings_.se_ss_quali.value(), settings_.cb_ss_sw);
    fileio::saveFile(paths::resolveIn(env_.homeFolder(), settings_.e_ss_file), jpeg);
}

}  // namespace velora
