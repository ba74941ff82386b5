#pragma once

// A window as a screen reader reads it: through the system's accessibility interface (MSAA,
// oleacc), never through the program's own API.
// clang-format off
#include <windows.h>
#include <oleacc.h>
// clang-format on

#include <string>

#include "com_object.h"
#include "wide_text.h"

namespace qvt::win32 {

using Accessible = ComPtr<IAccessible>;

inline VARIANT Self() {
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

inline Accessible AccessibleOf(HWND hwnd) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object)))) {
        return nullptr;
    }
    return Accessible(object);
}

// A BSTR the accessible object answers, as UTF-8; "(none)" when it answers none.
template <typename Getter>
std::string Answer(IAccessible& object, Getter getter) {
    BSTR text = nullptr;
    if ((object.*getter)(Self(), &text) != S_OK || !text) return "(none)";
    std::string answer = Narrow(text);
    SysFreeString(text);
    return answer;
}

inline std::string NameOf(HWND hwnd) {
    const Accessible object = AccessibleOf(hwnd);
    return object ? Answer(*object, &IAccessible::get_accName) : "(no object)";
}

inline std::string ValueOf(HWND hwnd) {
    const Accessible object = AccessibleOf(hwnd);
    return object ? Answer(*object, &IAccessible::get_accValue) : "(no object)";
}

inline std::string DescriptionOf(HWND hwnd) {
    const Accessible object = AccessibleOf(hwnd);
    return object ? Answer(*object, &IAccessible::get_accDescription) : "(no object)";
}

// The system's own object for the window's client area, whatever the window answers itself.
inline Accessible StandardAccessibleOf(HWND hwnd) {
    IAccessible* object = nullptr;
    if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&object)))) {
        return nullptr;
    }
    return Accessible(object);
}

inline long VariantOf(const Accessible& object,
                      HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, VARIANT*)) {
    VARIANT answer;
    VariantInit(&answer);
    if (!object || (object.get()->*getter)(Self(), &answer) != S_OK || answer.vt != VT_I4)
        return -1;
    return answer.lVal;
}

inline long StateOf(HWND hwnd) {
    return VariantOf(AccessibleOf(hwnd), &IAccessible::get_accState);
}
inline long RoleOf(HWND hwnd) {
    return VariantOf(AccessibleOf(hwnd), &IAccessible::get_accRole);
}

}  // namespace qvt::win32
