#include "opcsim/sim_args.h"

#include <objbase.h>

bool ParseSimArgs(int argc, wchar_t** argv, SimArgs& args, std::string& error)
{
    bool haveClsid = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"-Embedding" || a == L"/Embedding" || a == L"-Automation" || a == L"/Automation") continue;
        if (a == L"--clsid" && i + 1 < argc) {
            haveClsid = SUCCEEDED(CLSIDFromString(argv[++i], &args.clsid));
            if (!haveClsid) error = "bad --clsid";
        } else if (a == L"--log" && i + 1 < argc) {
            args.logPath = argv[++i];
        } else if (args.scenario.empty() && !a.empty() && a[0] != L'-') {
            args.scenario = a;
        } else {
            error = "unexpected argument";
            return false;
        }
    }
    if (!haveClsid && error.empty()) error = "--clsid is missing";
    if (args.scenario.empty() && error.empty()) error = "the scenario file is missing";
    return error.empty();
}
