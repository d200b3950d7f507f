// pairkernels_version: what this build of the modules is. Not a kernel: it reads no argument and
// returns a struct describing the build it was compiled with and the processor it runs on.
//
//   v = pairkernels_version()
//
//   v.version  the release, as the build was given it (PK_VERSION)
//   v.profile  the platform behaviour the modules were built with: linux, windows or macos
//   v.simd     the instruction set the kernels choose on this processor: sse2, avx2 or avx512 on
//              x86-64, generic elsewhere (the same choice every module makes, once per process)
//   v.host     mex (a MEX file, for MATLAB or Octave's MEX interface) or native (an Octave
//              function over Octave's own API)
#include "dispatch.h"
#include "host.h"

namespace {

enum { NARGS = 0 };
const char *const *const kArgNames = nullptr;

// The release, given by the build as a bare token (-DPK_VERSION=0.1.0): no quotes to lose on
// their way through mkoctfile's or mex's command line.
#if !defined(PK_VERSION)
#error "PK_VERSION must name the release, e.g. -DPK_VERSION=0.1.0"
#endif
#define PK_TEXT_OF(x) #x
#define PK_TEXT(x) PK_TEXT_OF(x)

#if defined(PK_PROFILE_WINDOWS)
const char kProfile[] = "windows";
#elif defined(PK_PROFILE_MACOS)
const char kProfile[] = "macos";
#elif defined(PK_PROFILE_LINUX)
const char kProfile[] = "linux";
#else
#error "one of PK_PROFILE_LINUX, PK_PROFILE_WINDOWS, PK_PROFILE_MACOS must be defined"
#endif

const char *const kFields[] = {"version", "profile", "simd", "host"};

// The field values, in kFields' order.
void describe(const char *values[4], const char *host) {
    values[0] = PK_TEXT(PK_VERSION);
    values[1] = kProfile;
    values[2] = pk::simd::name(pk::simd::chosen());
    values[3] = host;
}

}  // namespace

#if defined(PK_HOST_OCTAVE)
// The docstring is the help text, as for every module (gateway.h).
namespace {
// The help text `help pairkernels_version` shows, from the file the build names.
const char kHelp[] =
#if defined(PK_HELP_TEXT)
#include PK_HELP_TEXT
#else
    ""
#endif
    ;
}  // namespace

DEFUN_DLD(pairkernels_version, args, nargout, kHelp) {
    pk::Call call{args, nargout, NDArray(), false, {}};
    pk::Gateway gw("pairkernels_version", kArgNames, NARGS, call);  // refuses a second output
    const char *values[4];
    describe(values, "native");
    octave_scalar_map v;
    for (int k = 0; k < 4; ++k) v.assign(kFields[k], std::string(values[k]));
    return octave_value_list(octave_value(v));
}
#else
void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
    pk::Call call{nlhs, plhs, nrhs, prhs};
    pk::Gateway gw("pairkernels_version", kArgNames, NARGS, call);  // refuses a second output
    const char *values[4];
    describe(values, "mex");
    mxArray *v = mxCreateStructMatrix(1, 1, 4, const_cast<const char **>(kFields));
    for (int k = 0; k < 4; ++k) mxSetFieldByNumber(v, 0, k, mxCreateString(values[k]));
    plhs[0] = v;
}
#endif
