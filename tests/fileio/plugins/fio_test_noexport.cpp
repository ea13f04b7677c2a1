// fio_test_noexport: a shared object that exports no "DllGetClassObject".
extern "C" __attribute__((visibility("default"))) int FioTestNoExport() { return 1; }
