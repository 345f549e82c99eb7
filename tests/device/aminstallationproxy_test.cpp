#include "device/aminstallationproxy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/amapplication.h"
#include "device/fakemobiledevice.h"

namespace {

std::string app(const std::string& identifier, const std::string& extraKeys = "") {
    return "<dict><key>CFBundleIdentifier</key><string>" + identifier + "</string>" + extraKeys +
           "</dict>";
}

std::string page(const std::string& status, const std::vector<std::string>& apps) {
    std::string body = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>";
    if (!apps.empty()) {
        body += "<key>CurrentList</key><array>";
        for (const auto& a : apps)
            body += a;
        body += "</array>";
    }
    if (!status.empty())
        body += "<key>Status</key><string>" + status + "</string>";
    return body + "</dict></plist>";
}

class InstallationProxyTest : public testing::Test {
protected:
    InstallationProxyTest() {
        proxy.adoptServiceHandle(reinterpret_cast<AMDServiceConnectionRef>(1));
    }
    std::vector<std::u16string> identifiers(const ZelboLib::NSArray& apps) {
        std::vector<std::u16string> result;
        for (int i = 0; i < apps.count(); ++i) {
            result.emplace_back(
                static_cast<AMApplication*>(apps.objectAtIndex(i))->bundleIdentifier().view());
        }
        return result;
    }

    FakeMobileDevice fake;
    AMInstallationProxy proxy;
};

TEST_F(InstallationProxyTest, AsksForUserAppsAndCollectsEveryPage) {
    fake.setPieceSize(5);
    fake.queueReply(page("BrowsingApplications", {app("a.one"), app("a.two"), app("a.three")}));
    fake.queueReply(page("BrowsingApplications", {app("b.one"), app("b.two")}));
    fake.queueReply(page("Complete", {}));
    const auto apps = proxy.browseApplications();
    ASSERT_NE(apps, nullptr);
    EXPECT_EQ(identifiers(*apps),
              (std::vector<std::u16string>{u"a.one", u"a.two", u"a.three", u"b.one", u"b.two"}));
    const auto sent = fake.sentMessages();
    ASSERT_EQ(sent.size(), 1u);
    plist_t options = plist_dict_get_item(sent[0].get(), "ClientOptions");
    CZelboString type;
    ZelboLib::stringForKey(options, "ApplicationType", type);
    EXPECT_EQ(type.view(), u"User");
}

TEST_F(InstallationProxyTest, AnErrorReplyEndsTheListing) {
    fake.queueReply(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Error</key>"
        "<string>APIInternalError</string></dict></plist>");
    fake.queueReply(page("Complete", {app("never.read")}));
    EXPECT_EQ(proxy.browseApplications(), nullptr);
    EXPECT_EQ(proxy.lastError().view(), u"Browse failed: APIInternalError");
}

TEST_F(InstallationProxyTest, SilenceAfterAPageKeepsWhatCame) {
    fake.queueReply(page("BrowsingApplications", {app("only.one"), "<string>junk</string>"}));
    const auto apps = proxy.browseApplications();
    ASSERT_NE(apps, nullptr);
    EXPECT_EQ(identifiers(*apps), std::vector<std::u16string>{u"only.one"});
}

TEST_F(InstallationProxyTest, FailedRequestGivesNull) {
    fake.setResult("AMDServiceConnectionSend", -1);
    EXPECT_EQ(proxy.browseApplications(), nullptr);
    EXPECT_EQ(proxy.lastError().view(), u"Can't send message size");
}

TEST(AMApplication, DisplayNameFallsBackThroughTheBundleNames) {
    const struct {
        std::string keys;
        const char16_t* name;
    } cases[] = {
        {"<key>CFBundleDisplayName</key><string>Shown</string>"
         "<key>CFBundleName</key><string>Bundle</string>",
         u"Shown"},
        {"<key>CFBundleName</key><string>Bundle</string>", u"Bundle"},
        {"<key>CFBundleDisplayName</key><string></string>"
         "<key>CFBundleExecutable</key><string>Exec</string>",
         u"Exec"},
        {"", u""},
    };
    for (const auto& c : cases) {
        const std::string xml = "<plist version=\"1.0\">" + app("x.y", c.keys) + "</plist>";
        plist_t dict = nullptr;
        plist_from_xml(xml.c_str(), static_cast<uint32_t>(xml.size()), &dict);
        const PlistPtr owner(dict);
        const AMApplication application(dict);
        EXPECT_EQ(application.displayName().view(), std::u16string_view(c.name)) << c.keys;
        EXPECT_EQ(application.bundleIdentifier().view(), u"x.y");
        EXPECT_NE(application.properties(), dict);  // a copy of its own
    }
}

}  // namespace
