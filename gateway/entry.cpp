// The host's entry point of a module file, linked into every module of one host: it opens the
// module's Gateway on the host's call and runs the module's entry (pk::kModule, which PK_ENTRY
// defines in the module's own object).
//
//   MEX hosts       mexFunction, the only symbol a module file exports
//   native Octave   the module's builtin function, which Octave gets from the installer
//                   G<module> (octave_installer.cpp, one per module) through octave_install
#include "host.h"

#if defined(PK_HOST_OCTAVE)
namespace pk {

namespace {

octave_value_list call_module(const octave_value_list &args, int nargout) {
    Call call{args, nargout, NDArray(), false, {}};
    {
        Gateway gateway(kModule.name, kModule.arg_names, kModule.nargs, call);
        kModule.entry(gateway);
    }
    return call.has_result ? octave_value_list(octave_value(call.result)) : octave_value_list();
}

}  // namespace

// What DEFUN_DLD's installer does, for the function named in kModule, with `help` as the text
// `help <module>` shows.
octave_function *octave_install(const octave::dynamic_library &shl, bool relative,
                                const char *help) {
    check_version(OCTAVE_API_VERSION, kModule.name);
    octave_dld_function *fcn = octave_dld_function::create(call_module, shl, kModule.name, help);
    if (relative) fcn->mark_relative();
    return fcn;
}

}  // namespace pk
#else
// The module file's one export (everything else is compiled hidden).
__attribute__((visibility("default"))) void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Call call{nlhs, plhs, nrhs, prhs};
    pk::Gateway gateway(pk::kModule.name, pk::kModule.arg_names, pk::kModule.nargs, call);
    pk::kModule.entry(gateway);
}
#endif
