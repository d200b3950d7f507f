/* MEX API of the stand-in host: the module entry point and the error call (libmex). */
#ifndef PAIRKERNELS_STANDIN_MEX_H
#define PAIRKERNELS_STANDIN_MEX_H

#include "matrix.h"

#if defined(_WIN32)
#  if defined(PK_BUILDING_LIBMEX)
#    define PK_MEX_API __declspec(dllexport)
#  else
#    define PK_MEX_API __declspec(dllimport)
#  endif
#else
#  define PK_MEX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

/* Raises a host error: control does not come back to the caller. */
PK_MEX_API void mexErrMsgIdAndTxt(const char *id, const char *fmt, ...);

#ifdef __cplusplus
}
#endif

#endif
