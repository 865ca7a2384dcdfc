// A shared library that loads but is no PKCS#11 module: it lacks
// C_GetFunctionList.
extern "C" __attribute__((visibility("default"))) int NerolinNotAModule() { return 0; }
