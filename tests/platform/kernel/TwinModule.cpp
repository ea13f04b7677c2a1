// A small shared object that the module tests copy into two folders under
// one name, to tell same-named modules of different folders apart.
extern "C" __attribute__((visibility("default"))) int WuTwinModuleValue() { return 42; }
