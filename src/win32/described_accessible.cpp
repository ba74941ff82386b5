// A control's accessible object with a description of the window's own. The system's object
// for the control (oleacc's proxy of the standard control) answers everything else, so the
// control reads as it always did; only its description is the window's. oleacc and oleaut32
// are loaded from System32 at the first question.
#include "described_accessible.h"

#include <atomic>
#include <utility>

#include "system_libraries.h"

namespace qvt::win32 {
namespace {

struct OleAcc {
    decltype(&CreateStdAccessibleObject) create_standard = nullptr;
    decltype(&LresultFromObject) lresult_from_object = nullptr;
    decltype(&SysAllocString) alloc_string = nullptr;

    bool loaded() const { return create_standard && lresult_from_object && alloc_string; }
};

const OleAcc& OleAccFunctions() {
    static const OleAcc functions = [] {
        HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll");
        HMODULE oleaut32 = LoadSystemLibrary(L"oleaut32.dll");
        return OleAcc{
            ProcOf<decltype(&CreateStdAccessibleObject)>(oleacc, "CreateStdAccessibleObject"),
            ProcOf<decltype(&LresultFromObject)>(oleacc, "LresultFromObject"),
            ProcOf<decltype(&SysAllocString)>(oleaut32, "SysAllocString")};
    }();
    return functions;
}

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// Its count of references owns it: made with one, gone with the last Release.
class DescribedAccessible final : public IAccessible, public IOleWindow {
  public:
    DescribedAccessible(HWND control, ComPtr<IAccessible> standard,
                        std::shared_ptr<const std::wstring> description)
        : control_(control), standard_(std::move(standard)), description_(std::move(description)) {}

    // IUnknown, for both interfaces: one identity.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (!object) return E_POINTER;
        if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
        } else if (id == __uuidof(IOleWindow)) {
            *object = static_cast<IOleWindow*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            const std::unique_ptr<DescribedAccessible> last(this);
        }
        return left;
    }

    // IAccessible: the description is the window's, while it has one.
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (!description) return E_POINTER;
        if (!IsSelf(child) || description_->empty()) {
            return standard_->get_accDescription(child, description);
        }
        *description = OleAccFunctions().alloc_string(description_->c_str());
        return *description ? S_OK : E_OUTOFMEMORY;
    }

    // IOleWindow: the control itself, for a reader that asks which window an object is.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = control_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // Everything else is the system's object's answer.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return standard_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* wrong_argument) override {
        return standard_->Invoke(member, id, locale, flags, parameters, result, exception,
                                 wrong_argument);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return standard_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return standard_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return standard_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return standard_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override {
        return standard_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

  private:
    ~DescribedAccessible() = default;
    friend struct std::default_delete<DescribedAccessible>;

    HWND control_;
    ComPtr<IAccessible> standard_;
    std::shared_ptr<const std::wstring> description_;
    std::atomic<ULONG> references_{1};
};

}  // namespace

LRESULT AnswerWithDescription(HWND control, WPARAM wparam,
                              std::shared_ptr<const std::wstring> description) {
    const OleAcc& oleacc = OleAccFunctions();
    if (!oleacc.loaded()) return 0;
    IAccessible* standard = nullptr;
    if (FAILED(oleacc.create_standard(control, OBJID_CLIENT, __uuidof(IAccessible),
                                      reinterpret_cast<void**>(&standard))) ||
        !standard) {
        return 0;
    }
    ComPtr<IAccessible> standard_object(standard);
    auto object = std::make_unique<DescribedAccessible>(control, std::move(standard_object),
                                                        std::move(description));
    // From here the count of references owns it; the answer holds one of its own.
    const ComPtr<IAccessible> answer(object.release());
    const LRESULT result = oleacc.lresult_from_object(__uuidof(IAccessible), wparam, answer.get());
    return FAILED(result) ? 0 : result;
}

}  // namespace qvt::win32
