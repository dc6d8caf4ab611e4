#include "shared/security.h"

namespace vexlo {

namespace {

PSID g_worldSid = nullptr;  // process-heap copy of the world SID
PACL g_acl = nullptr;       // process-heap block
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

void FreeParts() {
    if (g_acl) HeapFree(GetProcessHeap(), 0, g_acl);
    if (g_worldSid) HeapFree(GetProcessHeap(), 0, g_worldSid);
    g_acl = nullptr;
    g_worldSid = nullptr;
}

void Build() {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID systemSid = nullptr;
    Check(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                   &systemSid) != FALSE,
          "AllocateAndInitializeSid");
    const DWORD sidLength = GetLengthSid(systemSid);
    g_worldSid = HeapAlloc(GetProcessHeap(), 0, sidLength);
    if (!g_worldSid) {
        FreeSid(systemSid);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // HeapAlloc sets no error without flags
        Check(false, "HeapAlloc (SID)");
    }
    const BOOL copied = CopySid(sidLength, g_worldSid, systemSid);
    const DWORD copyError = GetLastError();
    FreeSid(systemSid);
    SetLastError(copyError);
    Check(copied != FALSE, "CopySid");
    Check(IsValidSid(g_worldSid) != FALSE, "IsValidSid");

    // Header, one access-allowed entry and the SID fit in the SID's length + 24 bytes.
    const DWORD aclLength = sidLength + 24;
    g_acl = static_cast<PACL>(HeapAlloc(GetProcessHeap(), 0, aclLength));
    if (!g_acl) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    Check(g_acl != nullptr, "HeapAlloc (ACL)");
    Check(InitializeAcl(g_acl, aclLength, ACL_REVISION) != FALSE, "InitializeAcl");
    Check(AddAccessAllowedAce(g_acl, ACL_REVISION, GENERIC_ALL, g_worldSid) != FALSE,
          "AddAccessAllowedAce");

    Check(InitializeSecurityDescriptor(&g_descriptor, SECURITY_DESCRIPTOR_REVISION) != FALSE,
          "InitializeSecurityDescriptor");
    Check(SetSecurityDescriptorDacl(&g_descriptor, TRUE, g_acl, FALSE) != FALSE,
          "SetSecurityDescriptorDacl");

    g_attributes.nLength = sizeof g_attributes;
    g_attributes.lpSecurityDescriptor = &g_descriptor;
    g_attributes.bInheritHandle = FALSE;
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

}  // namespace vexlo
