/* Matrix API of the stand-in host: the subset of MATLAB's libmx that pairkernels modules and
 * their tests use, with MATLAB's names and its 32-bit-dimension creation call. */
#ifndef PAIRKERNELS_STANDIN_MATRIX_H
#define PAIRKERNELS_STANDIN_MATRIX_H

#include <stddef.h>
#include <stdbool.h>

#if defined(_WIN32)
#  if defined(PK_BUILDING_LIBMX)
#    define PK_MX_API __declspec(dllexport)
#  else
#    define PK_MX_API __declspec(dllimport)
#  endif
#else
#  define PK_MX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct mxArray_tag mxArray;
typedef size_t mwSize;
typedef size_t mwIndex;

typedef enum {
    mxUNKNOWN_CLASS = 0,
    mxCELL_CLASS,
    mxSTRUCT_CLASS,
    mxLOGICAL_CLASS,
    mxCHAR_CLASS,
    mxVOID_CLASS,
    mxDOUBLE_CLASS,
    mxSINGLE_CLASS,
    mxINT8_CLASS,
    mxUINT8_CLASS,
    mxINT16_CLASS,
    mxUINT16_CLASS,
    mxINT32_CLASS,
    mxUINT32_CLASS,
    mxINT64_CLASS,
    mxUINT64_CLASS,
    mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

/* Modules see MATLAB's 32-bit dimension API: the plain name maps to the _700 entry point. */
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700
PK_MX_API mxArray *mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag);

PK_MX_API double mxGetScalar(const mxArray *a);
PK_MX_API double *mxGetPr(const mxArray *a);
PK_MX_API double *mxGetPi(const mxArray *a);
PK_MX_API size_t mxGetM(const mxArray *a);
PK_MX_API size_t mxGetN(const mxArray *a);
PK_MX_API size_t mxGetNumberOfElements(const mxArray *a);
PK_MX_API mwSize mxGetNumberOfDimensions(const mxArray *a);
PK_MX_API const mwSize *mxGetDimensions(const mxArray *a);
PK_MX_API mxClassID mxGetClassID(const mxArray *a);
PK_MX_API const char *mxGetClassName(const mxArray *a);
PK_MX_API bool mxIsDouble(const mxArray *a);
PK_MX_API bool mxIsNumeric(const mxArray *a);
PK_MX_API bool mxIsLogical(const mxArray *a);
PK_MX_API bool mxIsComplex(const mxArray *a);
PK_MX_API bool mxIsSparse(const mxArray *a);
PK_MX_API void mxDestroyArray(mxArray *a);

/* Strings and structs, which pairkernels_version returns: a 1-by-n char array, and an m-by-n
 * struct whose fields hold arrays it owns (a value set into a field belongs to the struct). */
PK_MX_API mxArray *mxCreateString(const char *text);
PK_MX_API mxArray *mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char **names);
PK_MX_API void mxSetFieldByNumber(mxArray *s, mwIndex index, int field, mxArray *value);
PK_MX_API bool mxIsChar(const mxArray *a);
PK_MX_API bool mxIsStruct(const mxArray *a);
PK_MX_API int mxGetNumberOfFields(const mxArray *s);
PK_MX_API const char *mxGetFieldNameByNumber(const mxArray *s, int field);
PK_MX_API mxArray *mxGetFieldByNumber(const mxArray *s, mwIndex index, int field);

#ifdef __cplusplus
}
#endif

#endif
