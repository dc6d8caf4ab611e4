// The accessible objects of our windows (ui/accessible.h). Readers in other processes
// call the object through COM from threads of their choosing (the window thread is not a
// COM apartment of ours), so the description lives in the object under a lock and the
// window only ever replaces it; a default action is posted to the window's own thread.
#include "ui/accessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <atomic>
#include <utility>

#include "shared/handles.h"
#include "shared/system_function.h"

namespace vexlo::ui {

namespace {

// IAccessible's and IDispatch's ids, kept here so no import library has to supply them.
constexpr IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr IID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
// BSTRs come from oleaut32's allocator, as readers free them there; found at run time,
// so loading the library does not load oleaut32 (oleacc brings it along).
using AllocStringFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
using CreateStdFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);

using Item = AccessibleItem;

HRESULT Text(const std::string& s, BSTR* out, AllocStringFn alloc = nullptr) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (s.empty()) return S_FALSE;
    const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    *out = alloc ? alloc(nullptr, static_cast<UINT>(n)) : nullptr;
    if (!*out) return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), *out, n);
    return S_OK;
}

HRESULT Long(long v, VARIANT* out) {
    if (!out) return E_POINTER;
    *out = VARIANT{};
    out->vt = VT_I4;
    out->lVal = v;
    return S_OK;
}

}  // namespace

class AccessibleObject final : public IAccessible {
public:
    AccessibleObject() = default;

    // The system's object for the window, asked for what we do not answer; oleacc stays
    // loaded while the object lives, as that object's code is oleacc's.
    bool Attach(HWND wnd) {
        if (inner_) return true;
        oleacc_.reset(LoadLibraryA("oleacc.dll"));
        auto create = SystemFunction<CreateStdFn>(oleacc_.get(), "CreateStdAccessibleObject");
        lresult_ = SystemFunction<LresultFromObjectFn>(oleacc_.get(), "LresultFromObject");
        alloc_ = SystemFunction<AllocStringFn>("oleaut32.dll", "SysAllocStringLen");
        if (!create || !lresult_ || !alloc_ || FAILED(create(wnd, OBJID_CLIENT, kIidAccessible, inner_.put_void()))) return false;
        return true;
    }
    LRESULT Lresult(WPARAM wp) {
        LRESULT r = lresult_(kIidAccessible, wp, static_cast<IAccessible*>(this));
        if (r != CO_E_NOTINITIALIZED) return r;
        // The object goes to the reader through COM, and a thread of the caller's need not
        // have joined it (the library never sets a caller's thread's apartment). Keeping
        // the process's multithreaded apartment alive makes every such thread a member of
        // it (Windows 8 and later): the reader's calls then come on COM's own threads,
        // which the lock above is for.
        using IncrementFn = HRESULT(WINAPI*)(void**);
        static const bool joined = [] {
            void* cookie = nullptr;
            auto increment = SystemFunction<IncrementFn>("ole32.dll", "CoIncrementMTAUsage");
            return increment && SUCCEEDED(increment(&cookie));
        }();
        return joined ? lresult_(kIidAccessible, wp, static_cast<IAccessible*>(this)) : r;
    }

    void SetSelf(const AccessibleItem& self) {
        Lock lock(cs_);
        self_ = self;
    }
    void SetName(const std::string& name) {
        Lock lock(cs_);
        self_.name = name;
    }
    void SetValue(const std::string& value) {
        Lock lock(cs_);
        self_.value = value;
    }
    void SetChildren(std::vector<AccessibleItem> children) {
        Lock lock(cs_);
        children_.swap(children);
    }
    void SetAction(HWND wnd, UINT msg) {
        Lock lock(cs_);
        actionWnd_ = wnd;
        actionMsg_ = msg;
    }
    // The window goes: readers holding the object are cut off, and it answers no more.
    void Disconnect() {
        CoDisconnectObject(static_cast<IAccessible*>(this), 0);
        Lock lock(cs_);
        actionMsg_ = 0;
        children_.clear();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == kIidUnknown || iid == kIidDispatch || iid == kIidAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: readers use the vtable; no type information is offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override { return inner_->get_accParent(out); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* out) override {
        if (!out) return E_POINTER;
        Lock lock(cs_);
        if (children_.empty()) return inner_->get_accChildCount(out);
        *out = static_cast<long>(children_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        const long id = Id(child);
        Lock lock(cs_);
        if (id > 0 && id <= Count()) return S_FALSE;  // our children are simple elements
        return children_.empty() ? inner_->get_accChild(child, out) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        return Answer(child, &Item::name, [&] { return inner_->get_accName(child, out); }, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
        return Answer(child, &Item::value, [&] { return inner_->get_accValue(child, out); }, out);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
        return Own(child) ? Text({}, out) : inner_->get_accDescription(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
        const long id = Id(child);
        {
            Lock lock(cs_);
            if (const Item* item = Find(id); item && item->role) return Long(item->role, out);
            if (id > 0 && id <= Count()) return Long(ROLE_SYSTEM_LISTITEM, out);
        }
        return inner_->get_accRole(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
        const long id = Id(child);
        long own = 0;
        {
            Lock lock(cs_);
            const Item* item = Find(id);
            if (!item) return E_INVALIDARG;
            if (id > 0) return Long(item->state, out);
            own = item->state;
        }
        // The window's own state (focused, unavailable, invisible) as the system sees it now.
        const HRESULT hr = inner_->get_accState(child, out);
        if (FAILED(hr) || !out || out->vt != VT_I4) return Long(own, out);
        out->lVal |= own;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
        return Own(child) ? Text({}, out) : inner_->get_accHelp(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        return Own(child) ? Text({}, out) : inner_->get_accKeyboardShortcut(child, out);
    }
    // Place, focus, selection, navigation and hit tests are the system's: for a list view
    // its object numbers the items as we do (index + 1).
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override { return inner_->get_accFocus(out); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override { return inner_->get_accSelection(out); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
        return Answer(child, &Item::action, [&] { return inner_->get_accDefaultAction(child, out); }, out);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return Own(child) ? DISP_E_MEMBERNOTFOUND : inner_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* cx, long* cy, VARIANT child) override {
        return inner_->accLocation(x, y, cx, cy, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* out) override {
        return inner_->accNavigate(dir, start, out);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override { return inner_->accHitTest(x, y, out); }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        const long id = Id(child);
        Lock lock(cs_);
        if (!Find(id)) return E_INVALIDARG;
        if (!actionMsg_) return DISP_E_MEMBERNOTFOUND;
        return PostMessageA(actionWnd_, actionMsg_, static_cast<WPARAM>(id), 0) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~AccessibleObject() = default;

    static long Id(const VARIANT& v) { return v.vt == VT_I4 ? v.lVal : -1; }
    long Count() const { return static_cast<long>(children_.size()); }
    // Under the lock: the object itself (0) or one of its children; null for any other id.
    const Item* Find(long id) const {
        if (id == CHILDID_SELF) return &self_;
        return id > 0 && id <= Count() ? &children_[static_cast<std::size_t>(id - 1)] : nullptr;
    }
    bool Own(const VARIANT& child) {
        const long id = Id(child);
        Lock lock(cs_);
        return id > 0 && id <= Count();
    }
    // Our text where we have one; the system's for the window otherwise.
    template <typename System>
    HRESULT Answer(const VARIANT& child, std::string Item::*field, System system, BSTR* out) {
        const long id = Id(child);
        {
            Lock lock(cs_);
            const Item* item = Find(id);
            if (item && (id > 0 || !(item->*field).empty())) return Text(item->*field, out, alloc_);
        }
        return system();
    }

    std::atomic<ULONG> refs_{1};
    CriticalSection cs_;
    Item self_;
    std::vector<Item> children_;
    HWND actionWnd_ = nullptr;
    UINT actionMsg_ = 0;
    UniqueHmodule oleacc_;
    LresultFromObjectFn lresult_ = nullptr;
    AllocStringFn alloc_ = nullptr;
    ComPtr<IAccessible> inner_;
};

Accessible::Accessible() = default;

Accessible::~Accessible() {
    if (object_) object_->Disconnect();
}

AccessibleObject& Accessible::Object() {
    if (!object_) object_ = ComPtr<AccessibleObject>(new AccessibleObject);
    return *object_.get();
}

void Accessible::Describe(const AccessibleItem& self) { Object().SetSelf(self); }
void Accessible::SetName(const std::string& name) { Object().SetName(name); }
void Accessible::SetValue(const std::string& value) { Object().SetValue(value); }
void Accessible::SetChildren(std::vector<AccessibleItem> children) { Object().SetChildren(std::move(children)); }
void Accessible::SetActionMessage(HWND wnd, UINT msg) { Object().SetAction(wnd, msg); }

LRESULT Accessible::Answer(HWND wnd, WPARAM wp, LPARAM lp) {
    if (static_cast<LONG>(lp) != OBJID_CLIENT || !Object().Attach(wnd)) return DefWindowProcA(wnd, WM_GETOBJECT, wp, lp);
    return object_->Lresult(wp);
}

namespace {

constexpr UINT_PTR kNameSubclass = 0x564e;  // "VN"
// Where a control keeps its object: a property, as not every import library offers
// GetWindowSubclass.
constexpr const char* kAccessibleProp = "VexloAccessible";

LRESULT CALLBACK NamedProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* acc = reinterpret_cast<Accessible*>(data);
    if (msg == WM_GETOBJECT && static_cast<LONG>(lp) == OBJID_CLIENT) return acc->Answer(wnd, wp, lp);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(wnd, &NamedProc, kNameSubclass);
        RemovePropA(wnd, kAccessibleProp);
        delete acc;
    }
    return DefSubclassProc(wnd, msg, wp, lp);
}

}  // namespace

Accessible* ControlAccessible(HWND ctl) {
    if (!ctl) return nullptr;
    if (auto* known = static_cast<Accessible*>(GetPropA(ctl, kAccessibleProp))) return known;
    auto* acc = new Accessible;
    if (SetWindowSubclass(ctl, &NamedProc, kNameSubclass, reinterpret_cast<DWORD_PTR>(acc)) &&
        SetPropA(ctl, kAccessibleProp, acc))
        return acc;
    RemoveWindowSubclass(ctl, &NamedProc, kNameSubclass);
    delete acc;
    return nullptr;
}

void NameControl(HWND ctl, const std::string& name) {
    if (Accessible* acc = ControlAccessible(ctl)) acc->SetName(name);
}

void NotifyClient(DWORD event, HWND wnd, LONG child) {
    if (wnd) NotifyWinEvent(event, wnd, OBJID_CLIENT, child);
}

std::string NameFromLabel(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace vexlo::ui
