// A program that only initialises the signal-processing primitives, as the
// kernel start-up does. Its link must hold the processor detection and the
// variant choice and none of the kernels (checked by the test beside it).
#include "dsp/WuPerf.h"

int main() { return WuPerf_Initialize() < 0 ? 1 : 0; }
