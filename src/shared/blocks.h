#pragma once
// The named shared blocks through which the library's copies in several processes and
// the main program exchange a few small facts. Every process opens all six at load and
// keeps them mapped until it unloads. No lock guards them: each field has one writer.
//
// A block that could not be created or mapped in this process is not available: its
// accessor gives null, the readers below read zeros (empty strings, no window, flag
// clear) and the writers below write nothing.
#include <windows.h>

#include <cstddef>

#include "shared/shortstr.h"

namespace vexlo {

inline constexpr std::size_t kProfileBlockSize = 512;
inline constexpr std::size_t kContextBlockSize = 4;
inline constexpr std::size_t kRunAsBlockSize = 2055;
inline constexpr std::size_t kCryptBlockSize = 256;
inline constexpr std::size_t kRdpBlockSize = 1292;
inline constexpr std::size_t kRfbBlockSize = 792;

inline constexpr std::size_t kProfileNameOffset = 0;
inline constexpr std::size_t kLayoutNameOffset = 256;
inline constexpr std::size_t kRunAsFlagOffset = 2054;

// Views of the blocks, or null when the block is not available in this process.
void* ProfileBlock();  // "KeyVexloProfile", 512 bytes
void* ContextBlock();  // "KeyVexloContext", 4 bytes
void* RunAsBlock();    // "KeyVexloRA", 2055 bytes
void* CryptBlock();    // "KeyvxCrypt", 256 bytes

// Fields, read at the moment they are needed (the main program may change them at any time).
ShortString ActiveProfileName();
void PublishProfileName(const ShortString& name);
ShortString LayoutName();
HWND MainProgramWindow();
ShortString PassPhrase();
bool RunAsOpenFlag();
void SetRunAsOpenFlag(bool open);

// Start-up steps in their order (the open security descriptor comes first); each shut-down
// step closes its blocks in reverse. A block that fails stays unavailable; loading goes on.
bool StartRemoteBlocks();  // "KeyVexloRDP", "KeyVexloRFB"
void StopRemoteBlocks();
bool StartCryptBlock();    // "KeyvxCrypt"
void StopCryptBlock();
bool StartProfileBlock();  // "KeyVexloProfile"
void StopProfileBlock();
bool StartContextBlocks();  // "KeyVexloContext", "KeyVexloRA"
void StopContextBlocks();

}  // namespace vexlo
