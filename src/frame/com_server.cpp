// The COM server: a factory per shell extension class, created on first use and kept
// until unload, and the four entry points the system calls. Explorer may unload the library
// whenever DllCanUnloadNow allows, so every object and lock counts in the server's
// references.
#include "frame/com_server.h"

#include <windows.h>
#include <olectl.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "shared/guard.h"
#include "shared/handles.h"
#include "shared/once.h"
#include "shell/com_base.h"
#include "shell/explorer_command.h"
#include "shell/menu_bitmap.h"
#include "shell/registration.h"
#include "shell/uContextIcons.h"
#include "shell/uContextMenuRunAs.h"

namespace vexlo::com_server {

namespace {

using CreateFn = HRESULT (*)(REFIID, void**);

// Lives as long as the list; its reference count is not what keeps it, but every reference
// handed out counts in the server's, so the library stays while a client holds one.
class TClassFactory final : public IClassFactory {
public:
    TClassFactory(const ShellClass& cls, CreateFn create) : cls_(cls), create_(create) {
        static_assert(sizeof(Guid) == sizeof(GUID), "the registry table's GUID has the system's layout");
        std::memcpy(&clsid_, &cls.clsid, sizeof clsid_);
    }

    const ShellClass& Class() const { return cls_; }
    bool Serves(REFCLSID clsid) const { return IsEqualGUID(clsid, clsid_) != FALSE; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        ServerAddRef();
        return static_cast<ULONG>(++references_) + 1;
    }
    STDMETHODIMP_(ULONG) Release() override {
        if (CountDownAboveZero(references_)) ServerRelease();
        return static_cast<ULONG>(references_.load()) + 1;
    }

    // A new object for every request.
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return GuardedCom(cls_.factoryClass, [&]() -> HRESULT {
            if (!out) return E_POINTER;
            *out = nullptr;
            if (outer) return CLASS_E_NOAGGREGATION;
            return create_(iid, out);
        });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        ServerLock(lock != FALSE);
        return S_OK;
    }

private:
    const ShellClass& cls_;
    CreateFn create_;
    GUID clsid_{};
    std::atomic<long> references_{0};  // handed out to clients
};

// Newest first: registration, unregistration and the lookup walk it from the front. Made
// once and not changed until unload, so walking it needs no lock.
using FactoryList = std::vector<std::unique_ptr<TClassFactory>>;
StartupSlot<FactoryList> g_factories;
RunOnce g_factoriesOnce;

void AddFactory(FactoryList& list, const ShellClass& cls, CreateFn create) {
    list.insert(list.begin(), std::make_unique<TClassFactory>(cls, create));
}

// The Icon Manager's factory first, then the Run-as one, then Windows 11's commands.
// Raises when memory runs out; the entry point that asked reports it.
bool MakeFactories() {
    FactoryList list;
    AddFactory(list, kIconManagerClass, CreateContextIcons);
    AddFactory(list, kRunAsClass, CreateContextMenuRunAs);
    AddFactory(list, kIconManagerCommandClass, CreateIconManagerCommand);
    AddFactory(list, kDesktopCommandClass, CreateDesktopCommand);
    g_factories.Emplace(std::move(list));
    return true;
}

}  // namespace

// The factories, made on the first call.
const FactoryList& Factories() {
    g_factoriesOnce.Run(MakeFactories);
    return *g_factories.get();
}

void Release() noexcept {
    FreeMenuBitmap();
    g_factories.Reset();
    g_factoriesOnce.Reset();
}

}  // namespace vexlo::com_server

using namespace vexlo;
using vexlo::com_server::Factories;

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return GuardedCom("DllGetClassObject", [&]() -> HRESULT {
        if (!out) return E_POINTER;
        *out = nullptr;
        for (const auto& factory : Factories())
            if (factory->Serves(clsid)) return factory->QueryInterface(iid, out);
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

HRESULT WINAPI DllCanUnloadNow() { return ServerReferences() == 0 ? S_OK : S_FALSE; }

HRESULT WINAPI DllRegisterServer() {
    return Guarded<HRESULT>(E_FAIL, "DllRegisterServer", [] {
        // The package declares the packaged classes; the registry never names them.
        for (const auto& factory : Factories())
            if (!factory->Class().packaged && !RegisterShellClass(factory->Class())) return E_FAIL;
        return S_OK;
    });
}

HRESULT WINAPI DllUnregisterServer() {
    return Guarded<HRESULT>(E_FAIL, "DllUnregisterServer", [] {
        for (const auto& factory : Factories())
            if (!factory->Class().packaged) UnregisterShellClass(factory->Class());
        return S_OK;
    });
}

}  // extern "C"
