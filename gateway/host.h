// One host binding of the gateway: what a call is in the host's own API. Only the binding's own
// files include this (gateway.cpp, entry.cpp, pairkernels_version.cpp); modules see pk::Call as
// an opaque type, so that their objects are the same for every host.
//
// MEX hosts (MATLAB, GNU Octave's MEX interface, the stand-in host) through mex.h; with
// PK_HOST_OCTAVE, Octave's own API (oct.h).
#ifndef PAIRKERNELS_HOST_H
#define PAIRKERNELS_HOST_H

#include <vector>

#include "gateway.h"

#if defined(PK_HOST_OCTAVE)
#include <octave/oct.h>
#else
#include "mex.h"
#endif

namespace pk {

#if defined(PK_HOST_OCTAVE)
struct Call {
    const octave_value_list &args;
    int nargout;
    NDArray result;
    bool has_result = false;
    std::vector<NDArray> held;  // the arrays whose data the kernel reads, alive for the call
};
#else
struct Call {
    int nlhs;
    mxArray **plhs;
    int nrhs;
    const mxArray *const *prhs;
};
#endif

}  // namespace pk

#endif
