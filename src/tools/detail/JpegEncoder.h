#pragma once
// A picture as a baseline JPEG file's bytes, made by libjpeg with its default
// parameters and its standard tables scaled by the quality (1 to 100; 0 acts as 1),
// three colour components, or one gray component when asked.
#include <string>

#include "platform/Screen.h"

namespace velora {

class JpegEncoder {
public:
    static std::string encode(const ScreenPicture& picture, int quality, bool grayscale);
};

}  // namespace velora
