// A plug-in host in miniature: a program built with exported symbols, so
// that shared objects it loads resolve platform functions against it. It
// calls one BSTR function, which links that member of the platform; the
// other functions of the member are called by nobody here, and only a
// plug-in could need them. The check beside it reads the dynamic symbol
// table to see that section garbage collection left them exported.
#include "platform/com/oleauto.h"

int main() { return static_cast<int>(SysStringLen(nullptr)); }
