#pragma once
// What the two context-menu extensions share: the server's reference count, and a base
// that answers IUnknown and IShellExtInit and keeps the one selected item.
#include <windows.h>

#include <atomic>
#include <shlobj.h>

#include <string>

#include "shared/handles.h"

namespace vexlo {

// The server's references: live extension objects, references to the class factories
// handed out, and LockServer locks. The library may be unloaded only when it is 0. Each
// count stays at 0 or above whatever a client calls: a Release or LockServer(FALSE)
// without its match counts nothing down, so it can never hide a live object.
void ServerAddRef() noexcept;
void ServerRelease() noexcept;
void ServerLock(bool lock) noexcept;
long ServerReferences() noexcept;
// Counts down a count above 0; false (and nothing changed) at 0.
bool CountDownAboveZero(std::atomic<long>& count) noexcept;

// The selected item's path as the extensions keep it: at most 260 characters.
std::wstring CutSelectedPath(std::wstring path);

// A string item checked with the menu bitmap as its checked-state picture, the way every
// item the library adds to Explorer's menus looks. Raises on failure.
void InsertMarkedItem(HMENU menu, UINT position, const char* text, UINT id, HMENU submenu);

// IContextMenu and IShellExtInit, in that order; the derived class answers IContextMenu.
class ContextMenuExtension : public IContextMenu, public IShellExtInit {
public:
    ContextMenuExtension(const ContextMenuExtension&) = delete;
    ContextMenuExtension& operator=(const ContextMenuExtension&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Takes the path of the selection when it is exactly one item; E_FAIL for any other
    // selection, so Explorer leaves the extension out of that menu.
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY classKey) override;

    // Hands the new object's interface out; the object goes when that fails.
    template <typename T>
    static HRESULT Create(REFIID iid, void** out) {
        const ComPtr<T> object(new T());
        return object->QueryInterface(iid, out);
    }

protected:
    ContextMenuExtension();
    virtual ~ContextMenuExtension();

    // The one selected item's full path (at most 260 characters), empty otherwise. Kept
    // in UTF-16: a name the ANSI code page cannot spell must still be found.
    std::wstring selected_;

private:
    LONG references_ = 1;
};

}  // namespace vexlo
