// The pinned certificate's fingerprint as users paste it from openssl's output: what
// is read, what is refused, and that the printed form reads back to the same bytes.
#include <gtest/gtest.h>

#include <optional>

#include "platform/Errors.h"
#include "platform/TlsStream.h"

namespace velora {
namespace {

constexpr const char* kUpper =
    "0F:1E:2D:3C:4B:5A:69:78:87:96:A5:B4:C3:D2:E1:F0:00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF";

Sha256 expectedBytes() {
    return {0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78, 0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0,
            0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct FingerprintCase {
    const char* name;
    std::string text;
    bool valid;
};

TEST(TlsFingerprint, ReadsOpensslsFormInAnyCaseAndRefusesEverythingElse) {
    const std::string upper = kUpper;
    const std::string noColons = [&] {
        std::string s;
        for (char c : upper) {
            if (c != ':') s += c;
        }
        return s;
    }();
    const FingerprintCase cases[] = {
        {"as printed", upper, true},
        {"lower case", lower(upper), true},
        {"openssl's whole line", "sha256 Fingerprint=" + upper, true},
        {"openssl 1.x line", "SHA256 Fingerprint=" + upper, true},
        {"with Fingerprint=", "fingerprint=" + lower(upper), true},
        {"blanks around", "  " + upper + "\n", true},
        {"empty", "", false},
        {"no colons", noColons, false},
        {"one pair short", upper.substr(3), false},
        {"one pair too many", upper + ":00", false},
        {"trailing colon", upper + ":", false},
        {"not hex", "G" + upper.substr(1), false},
        {"dashes for colons", [&] {
             std::string s = upper;
             for (char& c : s) {
                 if (c == ':') c = '-';
             }
             return s;
         }(), false},
        {"sha1 prefix", "sha1 Fingerprint=" + upper, false},
        {"SHA256: base64 form", "SHA256:Dx4tPEtaaXiHlqW0w9Lh8AARIjNEVWZ3iJmqu8zd7v8", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.valid) {
            EXPECT_EQ(parseSha256Fingerprint(c.text), expectedBytes());
        } else {
            try {
                parseSha256Fingerprint(c.text);
                ADD_FAILURE() << "accepted " << c.text;
            } catch (const GeneralError& e) {
                EXPECT_NE(std::string(e.what()).find("Ungültiger TLS-Fingerabdruck"), std::string::npos) << e.what();
            }
        }
    }
    EXPECT_EQ(formatSha256Fingerprint(expectedBytes()), upper);
    EXPECT_EQ(parseSha256Fingerprint(formatSha256Fingerprint(expectedBytes())), expectedBytes());
}

}  // namespace
}  // namespace velora
