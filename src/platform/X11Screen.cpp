#include "platform/X11Screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <unordered_map>

#include "platform/Errors.h"

namespace velora {

namespace {

const std::string kNoShot = "Screenshot nicht möglich: ";

// Xlib's default handler ends the process on any protocol error; while we talk to
// the server a failed request is only noted, and the caller turns it into an error.
int failedRequests = 0;
int noteFailure(Display*, XErrorEvent*) {
    ++failedRequests;
    return 0;
}

class ErrorTrap {
public:
    ErrorTrap() : previous_(XSetErrorHandler(noteFailure)) { failedRequests = 0; }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    bool failed() const { return failedRequests != 0; }

private:
    XErrorHandler previous_;
};

struct Rect {
    int x, y, width, height;
};

Rect primaryScreen(Display* display, int screen) {
    const Rect whole{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
    int events = 0;
    int errors = 0;
    if (!XineramaQueryExtension(display, &events, &errors) || !XineramaIsActive(display)) return whole;
    int count = 0;
    XineramaScreenInfo* heads = XineramaQueryScreens(display, &count);
    if (!heads) return whole;
    Rect first{heads[0].x_org, heads[0].y_org, heads[0].width, heads[0].height};
    XFree(heads);
    if (count < 1) return whole;
    // Never outside the root window, whatever the heads say.
    first.x = std::clamp(first.x, 0, whole.width - 1);
    first.y = std::clamp(first.y, 0, whole.height - 1);
    first.width = std::clamp(first.width, 1, whole.width - first.x);
    first.height = std::clamp(first.height, 1, whole.height - first.y);
    return first;
}

// One colour channel of a true-colour pixel scaled to 8 bits.
class Channel {
public:
    explicit Channel(unsigned long mask)
        : mask_(mask), shift_(std::countr_zero(mask)), bits_(std::popcount(mask)),
          maximum_(bits_ >= 32 ? 0xFFFFFFFFul : (1ul << bits_) - 1) {}
    unsigned char of(unsigned long pixel) const {
        const unsigned long v = (pixel & mask_) >> shift_;
        if (bits_ >= 8) return static_cast<unsigned char>(v >> (bits_ - 8));
        return static_cast<unsigned char>((v * 255 + maximum_ / 2) / maximum_);
    }

private:
    unsigned long mask_;
    int shift_;
    int bits_;
    unsigned long maximum_;
};

void convertTrueColour(XImage* image, ScreenPicture& picture) {
    const Channel red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
    unsigned char* out = picture.rgb.data();
    const bool plain32 = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 &&
                         image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
    const bool lsb = image->byte_order == LSBFirst;
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(image->data) + std::size_t(y) * image->bytes_per_line;
        for (int x = 0; x < picture.width; ++x) {
            if (plain32) {
                // The common desktop layout, read without a call per pixel.
                const unsigned char* p = row + std::size_t(x) * 4;
                *out++ = p[lsb ? 2 : 1];
                *out++ = p[lsb ? 1 : 2];
                *out++ = p[lsb ? 0 : 3];
            } else {
                const unsigned long pixel = XGetPixel(image, x, y);
                *out++ = red.of(pixel);
                *out++ = green.of(pixel);
                *out++ = blue.of(pixel);
            }
        }
    }
}

// Screens with a colour map (8 bits and fewer): each pixel value is looked up once.
void convertMapped(Display* display, Colormap map, XImage* image, ScreenPicture& picture) {
    std::unordered_map<unsigned long, std::uint32_t> known;
    unsigned char* out = picture.rgb.data();
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            auto it = known.find(pixel);
            if (it == known.end()) {
                XColor colour{};
                colour.pixel = pixel;
                XQueryColor(display, map, &colour);
                const std::uint32_t rgb = (std::uint32_t(colour.red >> 8) << 16) |
                                          (std::uint32_t(colour.green >> 8) << 8) | (colour.blue >> 8);
                it = known.emplace(pixel, rgb).first;
            }
            *out++ = static_cast<unsigned char>(it->second >> 16);
            *out++ = static_cast<unsigned char>(it->second >> 8);
            *out++ = static_cast<unsigned char>(it->second);
        }
    }
}

class X11Surface final : public ScreenSurface {
public:
    X11Surface(Display* display, std::string name) : display_(display), name_(std::move(name)) {}
    ~X11Surface() override { XCloseDisplay(display_); }
    X11Surface(const X11Surface&) = delete;
    X11Surface& operator=(const X11Surface&) = delete;

    ScreenPicture capturePrimaryScreen() override {
        const ErrorTrap trap;
        const int screen = DefaultScreen(display_);
        const Rect r = primaryScreen(display_, screen);
        const std::unique_ptr<XImage, void (*)(XImage*)> image(
            XGetImage(display_, RootWindow(display_, screen), r.x, r.y, static_cast<unsigned>(r.width),
                      static_cast<unsigned>(r.height), AllPlanes, ZPixmap),
            [](XImage* i) {
                if (i) XDestroyImage(i);
            });
        XSync(display_, False);
        if (!image || trap.failed()) throw Error(kNoShot + "der Bildschirm \"" + name_ + "\" liefert kein Bild");
        ScreenPicture picture;
        picture.width = r.width;
        picture.height = r.height;
        picture.rgb.resize(std::size_t(r.width) * std::size_t(r.height) * 3);
        if (image->red_mask && image->green_mask && image->blue_mask)
            convertTrueColour(image.get(), picture);
        else
            convertMapped(display_, DefaultColormap(display_, screen), image.get(), picture);
        return picture;
    }

private:
    Display* display_;
    std::string name_;
};

}  // namespace

std::unique_ptr<ScreenSurface> X11Screen::acquire() {
    if (displayName_.empty()) throw Error(kNoShot + "kein Bildschirm (DISPLAY ist nicht gesetzt)");
    Display* display = XOpenDisplay(displayName_.c_str());
    if (!display) throw Error(kNoShot + "der Bildschirm \"" + displayName_ + "\" lässt sich nicht öffnen");
    return std::make_unique<X11Surface>(display, displayName_);
}

}  // namespace velora
