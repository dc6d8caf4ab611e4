#pragma once
// The hook helper's pipe as the system names it for the calling process.
#include <windows.h>

#include <string>

#include "shared/security.h"

namespace vexlo::hookchannel {

// The pipe of the calling process's user (from the security's SID), session and desktop:
// the library and the helper it started on that desktop compute the same name.
std::string PipeNameHere(const UserOnlySecurity& security);

// The helper's file name; it sits next to the libraries in the product folder.
constexpr wchar_t kHelperFile[] = L"VexloHook64.exe";

}  // namespace vexlo::hookchannel
