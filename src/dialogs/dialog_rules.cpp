#include "dialogs/dialog_rules.h"

#include "shared/shortstr.h"

namespace vexlo::dialog_rules {

NewPassFields InitialNewPassFields(std::string lastUser, std::string_view proposedUser,
                                   std::string_view proposedPassword) {
    if (proposedUser.empty()) return {std::move(lastUser), {}, {}};
    return {std::string(proposedUser), std::string(proposedPassword), std::string(proposedPassword)};
}

NewPassReaction OnNewPassChange(NewPassBox changed, std::string_view pass1, std::string_view pass2) {
    if (changed == NewPassBox::Pass1) return {true, false};
    return {false, pass1 == pass2};
}

bool WriteCredentials(std::string_view user, std::string_view password, void* userBuffer,
                      void* passwordBuffer) {
    if (!userBuffer || !passwordBuffer) return false;
    ShortString::From(user).WriteTo(userBuffer);
    ShortString::From(password).WriteTo(passwordBuffer);
    return true;
}

std::string AboutVersionText(const char* version) {
    return std::string("Version ") + (version ? version : "");
}

const char* EditionPictureName(std::uint32_t edition) {
    switch (edition & 0xFF) {
    case 1: return "VER_1";
    case 2: return "VER_2";
    case 3: return "VER_3";
    default: return nullptr;
    }
}

const char* EditionText(std::uint32_t edition) {
    switch (edition & 0xFF) {
    case 1: return "Personal edition";
    case 2: return "Business edition";
    case 3: return "Lite edition";
    default: return nullptr;
    }
}

}  // namespace vexlo::dialog_rules
