// The thread's COM apartment, joined and left through ole32 loaded from System32.
#include "com_object.h"

#include <objbase.h>

#include "system_libraries.h"

namespace qvt::win32 {
namespace {

struct Ole32 {
    decltype(&CoInitializeEx) initialize = nullptr;
    decltype(&CoUninitialize) uninitialize = nullptr;
};

const Ole32& Ole32Functions() {
    static const Ole32 functions = [] {
        HMODULE ole32 = LoadSystemLibrary(L"ole32.dll");
        return Ole32{ProcOf<decltype(&CoInitializeEx)>(ole32, "CoInitializeEx"),
                     ProcOf<decltype(&CoUninitialize)>(ole32, "CoUninitialize")};
    }();
    return functions;
}

}  // namespace

ComApartment::ComApartment() {
    const Ole32& ole32 = Ole32Functions();
    if (!ole32.initialize || !ole32.uninitialize) return;
    const HRESULT joined = ole32.initialize(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: the thread was in this kind of apartment already, and the join is counted all
    // the same. A thread in the multithreaded apartment can hand out objects from there.
    joined_ = SUCCEEDED(joined);
    in_apartment_ = joined_ || joined == RPC_E_CHANGED_MODE;
}

ComApartment::~ComApartment() {
    if (joined_) Ole32Functions().uninitialize();
}

}  // namespace qvt::win32
