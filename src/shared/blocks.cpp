// The six named shared blocks: their mappings, views and fields (blocks.h).
#include "shared/blocks.h"

#include <cstdint>
#include <cstring>

#include "shared/handle_value.h"
#include "shared/handles.h"
#include "shared/security.h"

namespace vexlo {

namespace {

enum BlockId { kRdp, kRfb, kCrypt, kProfile, kContext, kRunAs, kBlockCount };

struct BlockDef {
    const char* name;
    std::size_t size;
    bool openSecurity;  // else the default security (no attributes given)
};

constexpr BlockDef kBlocks[kBlockCount] = {
    {"KeyVexloRDP", kRdpBlockSize, true},
    {"KeyVexloRFB", kRfbBlockSize, true},
    {"KeyvxCrypt", kCryptBlockSize, false},
    {"KeyVexloProfile", kProfileBlockSize, true},
    {"KeyVexloContext", kContextBlockSize, true},
    {"KeyVexloRA", kRunAsBlockSize, false},
};

// A block's mapping and its view; both go together when the block closes.
struct Block {
    UniqueHandle mapping;
    UniqueView view;
};
StartupSlot<Block> g_blocks[kBlockCount];

void Open(BlockId id) {
    const BlockDef& def = kBlocks[id];
    // Whether the object existed already does not matter: the first process creates it
    // with its size and security, later ones open the same object.
    UniqueHandle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, def.openSecurity ? OpenSecurity() : nullptr,
                                            PAGE_READWRITE, 0, static_cast<DWORD>(def.size), def.name));
    if (!mapping) return;
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, def.size));
    if (!view) return;
    // Any process of the session, of any account, may have made the object first: one
    // reserved but never committed, or smaller than the block, would make the first write
    // fault inside DllMain. Such a block counts as not available.
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(view.get(), &info, sizeof info) != sizeof info || info.State != MEM_COMMIT ||
        info.RegionSize < def.size)
        return;
    Block& b = g_blocks[id].Emplace();
    b.mapping = std::move(mapping);
    b.view = std::move(view);
}

void Close(BlockId id) { g_blocks[id].Reset(); }

void* View(BlockId id) {
    Block* b = g_blocks[id].get();
    return b ? b->view.get() : nullptr;
}

std::uint8_t* Bytes(BlockId id) { return static_cast<std::uint8_t*>(View(id)); }

ShortString ReadShort(BlockId id, std::size_t offset) {
    const std::uint8_t* p = Bytes(id);
    return p ? ShortString::Read(p + offset) : ShortString{};
}

}  // namespace

void* ProfileBlock() { return View(kProfile); }
void* ContextBlock() { return View(kContext); }
void* RunAsBlock() { return View(kRunAs); }
void* CryptBlock() { return View(kCrypt); }

ShortString ActiveProfileName() { return ReadShort(kProfile, kProfileNameOffset); }

void PublishProfileName(const ShortString& name) {
    if (std::uint8_t* p = Bytes(kProfile)) name.WriteTo(p + kProfileNameOffset);
}

ShortString LayoutName() { return ReadShort(kProfile, kLayoutNameOffset); }

HWND MainProgramWindow() {
    const std::uint8_t* p = Bytes(kContext);
    if (!p) return nullptr;
    std::uint32_t handle = 0;
    std::memcpy(&handle, p, sizeof handle);
    return reinterpret_cast<HWND>(WidenHandleValue(handle));
}

ShortString PassPhrase() { return ReadShort(kCrypt, 0); }

bool RunAsOpenFlag() {
    const std::uint8_t* p = Bytes(kRunAs);
    return p && p[kRunAsFlagOffset] != 0;
}

void SetRunAsOpenFlag(bool open) {
    if (std::uint8_t* p = Bytes(kRunAs)) p[kRunAsFlagOffset] = open ? 1 : 0;
}

bool StartRemoteBlocks() {
    Open(kRdp);
    Open(kRfb);
    return true;
}

void StopRemoteBlocks() {
    Close(kRfb);
    Close(kRdp);
}

bool StartCryptBlock() {
    Open(kCrypt);
    return true;
}

void StopCryptBlock() { Close(kCrypt); }

bool StartProfileBlock() {
    Open(kProfile);
    return true;
}

void StopProfileBlock() { Close(kProfile); }

bool StartContextBlocks() {
    Open(kContext);
    Open(kRunAs);
    return true;
}

void StopContextBlocks() {
    Close(kRunAs);
    Close(kContext);
}

}  // namespace vexlo
