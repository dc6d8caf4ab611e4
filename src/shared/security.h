#pragma once
// The open security descriptor: everyone (the world SID) gets GENERIC_ALL. The shared
// blocks that processes of other accounts must open are created with it.
#include <windows.h>

#include <string>
#include <vector>

#include "shared/error.h"

namespace vexlo {

// Start-up step: builds the descriptor step by step; a failing step raises SystemError
// and loading stops. The shut-down step frees what was allocated.
bool StartOpenSecurity();
void StopOpenSecurity();

// The open security attributes (length 12, the descriptor, not inheritable); null
// before start-up and after shut-down.
SECURITY_ATTRIBUTES* OpenSecurity();

// Security for an object of one user in the session's shared namespace: the calling
// process's user owns it and gets everything, nobody else anything. Other accounts of the
// session can then neither hold nor change it. Raises SystemError when the process's user
// cannot be read.
class UserOnlySecurity {
public:
    UserOnlySecurity();
    UserOnlySecurity(const UserOnlySecurity&) = delete;
    UserOnlySecurity& operator=(const UserOnlySecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }
    // The user's SID as text ("S-1-5-21-..."), for names that belong to the user.
    const std::string& UserSid() const { return sidText_; }
    // The same SID, for comparisons with other processes' users.
    PSID User() const { return reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid; }

private:
    std::vector<BYTE> user_;  // TOKEN_USER and the SID behind it
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    std::string sidText_;
};

}  // namespace vexlo
