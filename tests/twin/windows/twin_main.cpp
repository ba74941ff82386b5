// qvt-twin.exe: the Windows side of the unit's twin, in three roles.
//   qvt-twin.exe install FOLDER      the driver and its root device, from FOLDER
//   qvt-twin.exe play SCENARIO DIR   the units, behind the driver, until DIR/stop appears
//   qvt-twin.exe watch [--force] [--runs N] [--timeout S]
//                                    the product's window: Start (again after a failed run, up
//                                    to N clicks), the runs, the final state; 3 when the run
//                                    had not ended after S seconds
//   qvt-twin.exe cases MATRIX        the Windows cases of the twins' matrix, a line each:
//                                    name|scenario|options|long|expected
#include <windows.h>

#include <cstdio>
#include <string>

#include "twin_matrix.h"
#include "twin_windows.h"
#include "wide_text.h"

int wmain(int argc, wchar_t** argv) {
    using namespace qvt;
    const std::wstring role = argc > 1 ? argv[1] : L"";
    if (role == L"install" && argc == 3) return twin::Install(argv[2]);
    if (role == L"cases" && argc == 3) return twin::PrintCases(win32::Narrow(argv[2]), "windows");
    if (role == L"play" && argc == 4)
        return twin::Play(win32::Narrow(argv[2]), win32::Narrow(argv[3]));
    if (role == L"watch") {
        bool force = false;
        int runs = 1;
        int timeout_s = 300;
        for (int i = 2; i < argc; ++i) {
            const std::wstring option = argv[i];
            if (option == L"--force") {
                force = true;
            } else if (option == L"--runs" && i + 1 < argc && _wtoi(argv[i + 1]) >= 1) {
                runs = _wtoi(argv[++i]);
            } else if (option == L"--timeout" && i + 1 < argc && _wtoi(argv[i + 1]) >= 1) {
                timeout_s = _wtoi(argv[++i]);
            } else {
                std::fprintf(stderr, "qvt-twin: unknown option %ls\n", option.c_str());
                return 64;
            }
        }
        return twin::Watch(force, runs, timeout_s);
    }
    std::fprintf(stderr,
                 "usage: qvt-twin.exe install FOLDER | play SCENARIO DIR |"
                 " watch [--force] [--runs N] [--timeout S] | cases MATRIX\n");
    return 64;
}
