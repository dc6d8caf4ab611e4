#pragma once
// Rules of the user dialogs that need no windows: what the new-password dialog shows
// when it opens, when its OK button may be pressed, what it hands back, and what the
// About window shows for the caller's edition and version. Kept apart from Win32 so
// they are tested natively.
#include <cstdint>
#include <string>
#include <string_view>

namespace vexlo::dialog_rules {

// The three boxes of the new-password dialog.
struct NewPassFields {
    std::string user, pass1, pass2;
};

// What the dialog opens with: a proposed (non-empty) user name brings its password
// into both password boxes; without one the password is dropped and the last user
// stays in the name box.
NewPassFields InitialNewPassFields(std::string lastUser, std::string_view proposedUser,
                                   std::string_view proposedPassword);

enum class NewPassBox { User, Pass1, Pass2 };

struct NewPassReaction {
    bool clearPass2;  // the second password box is emptied first
    bool okEnabled;
};

// The answer to a change of one box, given the password boxes' texts after it. A new
// first password must always be retyped; otherwise OK follows an exact, case-sensitive
// byte comparison of the two passwords (two empty boxes match).
NewPassReaction OnNewPassChange(NewPassBox changed, std::string_view pass1, std::string_view pass2);

// Writes both texts as short strings into the caller's 256-byte buffers, each cut to
// 255 bytes. Nothing is written unless both buffers are there.
bool WriteCredentials(std::string_view user, std::string_view password, void* userBuffer,
                      void* passwordBuffer);

// "Version " followed by the caller's text; null reads as empty.
std::string AboutVersionText(const char* version);

// The bitmap resource of an edition (only the low 8 bits count), or null when the
// edition has no picture.
const char* EditionPictureName(std::uint32_t edition);
// The words on that picture, for screen readers; null where there is none.
const char* EditionText(std::uint32_t edition);

}  // namespace vexlo::dialog_rules
