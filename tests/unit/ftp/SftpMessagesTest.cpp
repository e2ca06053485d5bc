// The SFTP messages as bytes: requests laid out as version 3 wants them, replies cut
// from a stream however it is split, and every malformed reply refused rather than
// read past its end. Also the host key setting's forms and the note on FTP-only fields.
#include <gtest/gtest.h>

#include "ftp/SftpClient.h"
#include "ftp/detail/SftpPacket.h"
#include "ftp/detail/SshLink.h"

namespace velora::test {
namespace {

using namespace std::string_literals;

std::string u32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
std::string str(const std::string& s) { return u32(static_cast<std::uint32_t>(s.size())) + s; }
std::string packet(std::uint8_t type, const std::string& rest) {
    return u32(static_cast<std::uint32_t>(rest.size() + 1)) + static_cast<char>(type) + rest;
}

TEST(SftpMessages, RequestsAreLaidOutAsVersionThreeWantsThem) {
    sftp::Request write(sftp::kWrite, 7);
    write.string("h1").u64(0x100000002ULL).string("abc");
    EXPECT_EQ(write.packet(), packet(6, u32(7) + str("h1") + u32(1) + u32(2) + str("abc")));
    sftp::Request init(sftp::kInit);
    init.u32(3);
    EXPECT_EQ(init.packet(), "\0\0\0\5\1\0\0\0\3"s);
}

TEST(SftpMessages, RepliesAreCutFromTheStreamHoweverItArrives) {
    const std::string stream = packet(2, u32(3) + str("posix-rename@openssh.com") + str("1")) +
                               packet(101, u32(9) + u32(0) + str("Success") + str("")) +
                               packet(102, u32(10) + str("\0\0\0\1"s));
    for (std::size_t piece : {std::size_t{1}, std::size_t{5}, stream.size()}) {
        SCOPED_TRACE(piece);
        sftp::ReplyStream replies;
        std::vector<sftp::Reply> got;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            replies.append(stream.data() + at, std::min(piece, stream.size() - at));
            while (auto reply = replies.next()) got.push_back(*reply);
        }
        ASSERT_EQ(got.size(), 3u);
        EXPECT_FALSE(replies.broken());
        const auto version = sftp::parseVersion(got[0].body);
        ASSERT_TRUE(version);
        EXPECT_EQ(version->version, 3u);
        EXPECT_EQ(version->extensions.at("posix-rename@openssh.com"), "1");
        EXPECT_EQ(got[1].id, 9u);
        EXPECT_EQ(sftp::parseStatus(got[1].body)->message, "Success");
        EXPECT_EQ(sftp::parseHandle(got[2].body), "\0\0\0\1"s);
    }
}

TEST(SftpMessages, MalformedRepliesAreRefusedNotReadPastTheirEnd) {
    // A length no server may send breaks the stream for good.
    for (const std::string& head : {u32(0), u32(4), u32(static_cast<std::uint32_t>(sftp::kMaxPacket + 1))}) {
        sftp::ReplyStream replies;
        const std::string bytes = head + "\x65\0\0\0\1"s;
        replies.append(bytes.data(), bytes.size());
        EXPECT_FALSE(replies.next());
        EXPECT_TRUE(replies.broken());
    }
    // Bodies shorter than their fields claim.
    EXPECT_FALSE(sftp::parseStatus(""));
    EXPECT_FALSE(sftp::parseStatus(u32(4) + u32(10) + "kurz"));
    EXPECT_FALSE(sftp::parseHandle(str("")));
    EXPECT_FALSE(sftp::parseHandle(u32(100) + "h"));
    EXPECT_FALSE(sftp::parseFirstName(u32(0)));
    EXPECT_FALSE(sftp::parseFirstName(u32(1) + u32(50) + "/x"));
    EXPECT_FALSE(sftp::parsePermissions(u32(0x4)));                    // permissions announced, missing
    EXPECT_FALSE(sftp::parsePermissions(u32(0x80000000) + u32(1) + str("a")));   // extension without data
    EXPECT_FALSE(sftp::parseVersion(u32(3) + str("only-a-name")));
    // Well-formed ones, for contrast.
    EXPECT_EQ(sftp::parsePermissions(u32(0x1 | 0x4) + u32(0) + u32(5) + u32(040755)), std::optional(std::optional(040755u)));
    EXPECT_EQ(sftp::parsePermissions(u32(0)), std::optional<std::optional<std::uint32_t>>(std::in_place));
    EXPECT_EQ(sftp::parseFirstName(u32(1) + str("/home/anna") + str("") + u32(0)), "/home/anna");
}

TEST(SftpMessages, HostKeySettingIsTakenInSshKeygensFormOnly) {
    const std::string digest = "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU";   // a SHA-256 as ssh-keygen shows it
    struct Row {
        std::string setting;
        std::optional<std::string> taken;
    };
    for (const Row& row : {Row{"SHA256:" + digest, "SHA256:" + digest}, Row{digest, "SHA256:" + digest},
                           Row{" SHA256:" + digest + "\t", "SHA256:" + digest}, Row{"SHA256:" + digest + "=", {}},
                           Row{"sha256:" + digest, {}}, Row{"SHA256:" + digest.substr(1), {}},
                           Row{"MD5:" + digest, {}}, Row{"SHA256:" + digest.substr(0, 42) + "9", {}},
                           Row{"SHA256:" + digest.substr(0, 20) + "-" + digest.substr(21), {}}}) {
        EXPECT_EQ(detail::normalizedHostKey(row.setting), row.taken) << row.setting;
    }
}

TEST(SftpMessages, TheFtpOnlyFieldsThatAreSetAreNamedInOneLine) {
    struct Row {
        bool tls, passive, proxy;
        std::string note;
    };
    for (const Row& row : {Row{false, false, false, ""}, Row{false, true, false, "SFTP: Passiv gilt hier nicht"},
                           Row{true, false, true, "SFTP: FTP_TLS und Proxy gelten hier nicht"},
                           Row{true, true, true, "SFTP: FTP_TLS, Passiv und Proxy gelten hier nicht"}}) {
        FtpLogin login;
        login.tls = row.tls;
        login.passive = row.passive;
        login.useProxy = row.proxy;
        EXPECT_EQ(SftpClient::unusedSettingsNote(login), row.note);
    }
}

}  // namespace
}  // namespace velora::test
