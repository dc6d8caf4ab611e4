// The open security descriptor for the shared blocks, built step by step (security.h).
#include "shared/security.h"

#include "shared/handles.h"

namespace vexlo {

namespace {

// Process-heap copies of the world SID and of the access list; the start-up table ends them.
struct Parts {
    UniqueHeapBlock worldSid;
    UniqueHeapBlock acl;
};
StartupSlot<Parts> g_parts;
SECURITY_DESCRIPTOR g_descriptor;
SECURITY_ATTRIBUTES g_attributes;
bool g_ready = false;

// Raises with the last error of the call that just failed.
void Check(bool ok, const char* step) {
    if (ok) return;
    const DWORD code = GetLastError();
    throw SystemError("Cannot build the open security descriptor: " + std::string(step) +
                          " failed (error " + std::to_string(code) + ")",
                      code);
}

void FreeParts() { g_parts.Reset(); }

// A descriptor whose access list grants everything to one SID and nothing to anyone else,
// in attributes that are not inherited. The list's storage must hold the SID's length + 24
// bytes and live as long as the descriptor.
void GrantAllToOne(PACL acl, DWORD aclLength, PSID sid, SECURITY_DESCRIPTOR& descriptor,
                   SECURITY_ATTRIBUTES& attributes) {
    Check(InitializeAcl(acl, aclLength, ACL_REVISION) != FALSE, "InitializeAcl");
    Check(AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) != FALSE, "AddAccessAllowedAce");
    Check(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) != FALSE,
          "InitializeSecurityDescriptor");
    Check(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) != FALSE, "SetSecurityDescriptorDacl");
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
}

void Build() {
    Parts& parts = g_parts.Emplace();
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    UniqueSid systemSid;
    Check(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, systemSid.put()) != FALSE,
          "AllocateAndInitializeSid");
    const DWORD sidLength = GetLengthSid(systemSid.get());
    parts.worldSid.reset(HeapAlloc(GetProcessHeap(), 0, sidLength));
    if (!parts.worldSid) SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // HeapAlloc sets no error without flags
    Check(static_cast<bool>(parts.worldSid), "HeapAlloc (SID)");
    Check(CopySid(sidLength, parts.worldSid.get(), systemSid.get()) != FALSE, "CopySid");
    Check(IsValidSid(parts.worldSid.get()) != FALSE, "IsValidSid");

    // Header, one access-allowed entry and the SID fit in the SID's length + 24 bytes.
    const DWORD aclLength = sidLength + 24;
    parts.acl.reset(HeapAlloc(GetProcessHeap(), 0, aclLength));
    if (!parts.acl) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    Check(static_cast<bool>(parts.acl), "HeapAlloc (ACL)");
    GrantAllToOne(static_cast<PACL>(parts.acl.get()), aclLength, parts.worldSid.get(), g_descriptor, g_attributes);
}

}  // namespace

bool StartOpenSecurity() {
    try {
        Build();
    } catch (...) {
        const DWORD code = GetLastError();
        FreeParts();
        SetLastError(code);  // the loader's caller can still see why
        throw;
    }
    g_ready = true;
    return true;
}

void StopOpenSecurity() {
    g_ready = false;
    FreeParts();
}

SECURITY_ATTRIBUTES* OpenSecurity() { return g_ready ? &g_attributes : nullptr; }

namespace {

// "S-R-I-S1-S2-...", as ConvertSidToStringSid writes it, without its LocalFree'd copy.
std::string SidText(PSID sid) {
    const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(sid);
    unsigned long long value = 0;
    for (BYTE b : authority->Value) value = value << 8 | b;
    std::string text = "S-" + std::to_string(SID_REVISION) + "-" + std::to_string(value);
    const BYTE count = *GetSidSubAuthorityCount(sid);
    for (BYTE i = 0; i < count; ++i) text += "-" + std::to_string(*GetSidSubAuthority(sid, i));
    return text;
}

}  // namespace

UserOnlySecurity::UserOnlySecurity() {
    HANDLE token = nullptr;
    Check(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) != FALSE, "OpenProcessToken");
    const UniqueHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user_.resize(size ? size : 1);
    Check(GetTokenInformation(token, TokenUser, user_.data(), size, &size) != FALSE, "GetTokenInformation");
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
    Check(IsValidSid(sid) != FALSE, "IsValidSid");
    sidText_ = SidText(sid);
    acl_.resize(GetLengthSid(sid) + 24);
    GrantAllToOne(reinterpret_cast<PACL>(acl_.data()), static_cast<DWORD>(acl_.size()), sid, descriptor_, attributes_);
    // An explicit owner: the creator's default owner may be a group (Administrators, for an
    // elevated process), and the owner may always rewrite the access list.
    Check(SetSecurityDescriptorOwner(&descriptor_, sid, FALSE) != FALSE, "SetSecurityDescriptorOwner");
}

}  // namespace vexlo
