#include "shell/uContextMenuRunAs.h"

#include "dialogs/frmRunAs.h"
#include "shared/guard.h"
#include "shared/wide_text.h"
#include "shell/com_base.h"
#include "shell/context_rules.h"

namespace vexlo {

namespace {

bool SystemOffersNoRunAs() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    const bool known = GetVersionExA(&version) != FALSE;
    return !OffersRunAsItem(known, version.dwMajorVersion, version.dwMinorVersion);
}

class TContextMenuRunAs final : public ContextMenuExtension {
public:
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT, UINT idCmdFirst, UINT, UINT) override {
        return GuardedCom("TContextMenuRunAs.QueryContextMenu", [&]() -> HRESULT {
            if (SystemOffersNoRunAs()) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
            InsertMarkedItem(menu, 0, kRunAsItemCaption, idCmdFirst, nullptr);
            return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
        });
    }

    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
        return GuardedCom("TContextMenuRunAs.InvokeCommand", [&]() -> HRESULT {
            if (!info) return E_INVALIDARG;
            const auto offset = VerbOffset(reinterpret_cast<std::uintptr_t>(info->lpVerb));
            if (!offset) return E_FAIL;
            if (*offset != 0) return E_INVALIDARG;
            // Returns when the dialog has closed and any launch was attempted.
            ShowRunAsDialog(WideToAnsi(selected_).c_str());
            return S_OK;
        });
    }

    STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer, UINT size) override {
        return GuardedCom("TContextMenuRunAs.GetCommandString", [&] {
            return static_cast<HRESULT>(AnswerCommandString(offset, type, kRunAsHelpText, buffer, size));
        });
    }
};

}  // namespace

HRESULT CreateContextMenuRunAs(REFIID iid, void** out) {
    return ContextMenuExtension::Create<TContextMenuRunAs>(iid, out);
}

}  // namespace vexlo
