// Rules of the user dialogs that need no windows.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "dialogs/dialog_rules.h"

namespace {

using namespace vexlo::dialog_rules;

TEST(NewPassOpening, ProposedNameBringsItsPasswordIntoBothBoxes) {
    const NewPassFields f = InitialNewPassFields("last", "bob", "s3cret");
    EXPECT_EQ(f.user, "bob");
    EXPECT_EQ(f.pass1, "s3cret");
    EXPECT_EQ(f.pass2, "s3cret");
    // A name with an empty password proposes the empty password.
    const NewPassFields g = InitialNewPassFields("last", "bob", "");
    EXPECT_EQ(g.pass1, "");
    EXPECT_EQ(g.pass2, "");
}

TEST(NewPassOpening, EmptyNameKeepsLastUserAndDropsPassword) {
    const NewPassFields f = InitialNewPassFields("last", "", "dropped");
    EXPECT_EQ(f.user, "last");
    EXPECT_EQ(f.pass1, "");
    EXPECT_EQ(f.pass2, "");
    // A blank is a name like any other.
    EXPECT_EQ(InitialNewPassFields("last", " ", "p").user, " ");
}

TEST(NewPassMatching, FirstPasswordChangeAlwaysDemandsRetyping) {
    for (const char* second : {"", "abc", "ABC"}) {
        const NewPassReaction r = OnNewPassChange(NewPassBox::Pass1, "abc", second);
        EXPECT_TRUE(r.clearPass2) << second;
        EXPECT_FALSE(r.okEnabled) << second;
    }
}

TEST(NewPassMatching, OkExactlyWhenBytesAreEqual) {
    struct Case {
        std::string a, b;
        bool match;
    };
    const Case cases[] = {
        {"", "", true},
        {"abc", "abc", true},
        {"abc", "abC", false},
        {"\xe9t\xe9", "\xc9T\xc9", false},  // accented letters differing in case
        {"abc", "abc ", false},
        {" abc", "abc", false},
        {std::string("a\0b", 3), std::string("a\0c", 3), false},
        {std::string(300, 'x'), std::string(300, 'x'), true},
        {std::string(300, 'x'), std::string(299, 'x'), false},
    };
    for (const Case& c : cases) {
        for (NewPassBox box : {NewPassBox::User, NewPassBox::Pass2}) {
            const NewPassReaction r = OnNewPassChange(box, c.a, c.b);
            EXPECT_FALSE(r.clearPass2);
            EXPECT_EQ(r.okEnabled, c.match) << c.a << " / " << c.b;
        }
    }
}

TEST(NewPassResult, BothBuffersWrittenAsShortStringsCutTo255) {
    // Exact 256-byte allocations: the sanitizer catches any write past them.
    auto user = std::make_unique<unsigned char[]>(256);
    auto pass = std::make_unique<unsigned char[]>(256);
    std::memset(user.get(), 0xAB, 256);
    std::memset(pass.get(), 0xAB, 256);
    ASSERT_TRUE(WriteCredentials(std::string(1000, 'u'), "pw", user.get(), pass.get()));
    EXPECT_EQ(user[0], 255);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(user.get()) + 1, 255), std::string(255, 'u'));
    EXPECT_EQ(pass[0], 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pass.get()) + 1, 2), "pw");
    EXPECT_EQ(pass[3], 0xAB);  // nothing beyond the text is touched

    ASSERT_TRUE(WriteCredentials("", "", user.get(), pass.get()));
    EXPECT_EQ(user[0], 0);
    EXPECT_EQ(pass[0], 0);
}

TEST(NewPassResult, NothingWrittenWithoutBothBuffers) {
    unsigned char buf[256];
    std::memset(buf, 0xAB, sizeof buf);
    EXPECT_FALSE(WriteCredentials("u", "p", buf, nullptr));
    EXPECT_FALSE(WriteCredentials("u", "p", nullptr, buf));
    EXPECT_EQ(buf[0], 0xAB);
}

TEST(AboutContent, VersionTextAfterOneBlank) {
    EXPECT_EQ(AboutVersionText(nullptr), "Version ");
    EXPECT_EQ(AboutVersionText(""), "Version ");
    EXPECT_EQ(AboutVersionText("2.1"), "Version 2.1");
    EXPECT_EQ(AboutVersionText(" 2.1 "), "Version  2.1 ");
}

TEST(AboutContent, EditionPictureFromLowByteOnly) {
    EXPECT_STREQ(EditionPictureName(1), "VER_1");
    EXPECT_STREQ(EditionPictureName(2), "VER_2");
    EXPECT_STREQ(EditionPictureName(3), "VER_3");
    EXPECT_STREQ(EditionPictureName(0xFFFFFF02u), "VER_2");
    EXPECT_STREQ(EditionPictureName(0x103), "VER_3");
    for (std::uint32_t none : {0u, 4u, 255u, 0x100u, 0xFFFFFFFFu}) EXPECT_EQ(EditionPictureName(none), nullptr) << none;
}

}  // namespace
