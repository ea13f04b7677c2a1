// A deliberately wrong variant object for the variant-object check's own
// test: a variant-2 file (SSE3 at most) compiled with SSE4.1 that uses a
// blend instruction. The check must refuse it.
#include <smmintrin.h>

__m128 VariantCheckProbeBlend(__m128 a, __m128 b) { return _mm_blend_ps(a, b, 5); }
