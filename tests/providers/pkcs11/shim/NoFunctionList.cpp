// A shared library that loads but is no PKCS#11 module: it lacks
// C_GetFunctionList.
#if defined(_WIN32)
extern "C" __declspec(dllexport) int NerolinNotAModule() { return 0; }
#else
extern "C" __attribute__((visibility("default"))) int NerolinNotAModule() { return 0; }
#endif
