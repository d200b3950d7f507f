// libmat of the stand-in host. Modules link it, as they do MATLAB's, and call nothing in it.
#if defined(_WIN32)
extern "C" __declspec(dllexport) int pkhost_libmat_present(void) { return 1; }
#else
extern "C" __attribute__((visibility("default"))) int pkhost_libmat_present(void) { return 1; }
#endif
