// "Ext. IP abfragen" and "Proxy" share one click handler: with the online check on,
// either click says "Ping geht nicht mit Proxy." and switches the check off.
#include <QCheckBox>

#include "GuiTestSupport.h"

namespace velora::gui::test {
namespace {

class ExtIpClickTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        makeWindow();
    }
};

TEST_F(ExtIpClickTest, ClickSwitchesTheOnlineCheckOffWithAMessage) {
    struct Case {
        const char* box;
        bool boxBefore;
        bool pingBefore;
        bool message;
    };
    const Case cases[] = {
        {"cb_get_ext_ip", false, true, true},
        {"cb_get_ext_ip", true, true, true},
        {"cb_get_ext_ip", false, false, false},
        {"cb_proxy", false, true, true},
        {"cb_proxy", true, true, true},
        {"cb_proxy", true, false, false},
    };
    auto* ping = find<QCheckBox>("cb_ping");
    for (const auto& c : cases) {
        auto* box = find<QCheckBox>(c.box);
        box->setChecked(c.boxBefore);
        ping->setChecked(c.pingBefore);
        dialogs.seen.clear();
        if (c.message) dialogs.nextAnswer(QStringLiteral("OK"));
        box->click();
        const std::string name = std::string(c.box) + (c.pingBefore ? " ping on" : " ping off");
        std::vector<std::string> shown;
        for (const auto& seen : dialogs.seen) shown.push_back(seen.text.toStdString());
        EXPECT_EQ(shown, c.message ? std::vector<std::string>{"Ping geht nicht mit Proxy."} : std::vector<std::string>{})
            << name;
        EXPECT_EQ(dialogs.unused(), 0u) << name;
        EXPECT_FALSE(ping->isChecked()) << name;
        EXPECT_FALSE(program->settings().cb_ping) << name;
        EXPECT_EQ(box->isChecked(), !c.boxBefore) << name;
    }
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace velora::gui::test
