// MD5 as RFC 1321 describes it: 64-byte blocks, four rounds of sixteen
// steps each over the chaining values, little-endian words throughout.
#include "fileio/WuMd5.h"

#include <cstring>

namespace {

inline DWORD Rotl(DWORD x, int n) { return (x << n) | (x >> (32 - n)); }

inline DWORD LoadLe(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 |
         static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[3]) << 24;
}

inline void StoreLe(BYTE* p, DWORD v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
  p[2] = static_cast<BYTE>(v >> 16);
  p[3] = static_cast<BYTE>(v >> 24);
}

// The four auxiliary functions; F and G in forms with one operation fewer.
#define WU_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define WU_MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define WU_MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define WU_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define WU_MD5_STEP(f, a, b, c, d, xk, s, t) \
  a += f(b, c, d) + (xk) + (t);              \
  a = Rotl(a, s) + b;

// Runs the compression function over `blocks` 64-byte blocks.
void Transform(DWORD state[4], const BYTE* data, SIZE_T blocks) {
  DWORD a0 = state[0], b0 = state[1], c0 = state[2], d0 = state[3];
  for (; blocks > 0; --blocks, data += 64) {
    DWORD x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe(data + 4 * i);
    DWORD a = a0, b = b0, c = c0, d = d0;

    WU_MD5_STEP(WU_MD5_F, a, b, c, d, x[0], 7, 0xd76aa478)
    WU_MD5_STEP(WU_MD5_F, d, a, b, c, x[1], 12, 0xe8c7b756)
    WU_MD5_STEP(WU_MD5_F, c, d, a, b, x[2], 17, 0x242070db)
    WU_MD5_STEP(WU_MD5_F, b, c, d, a, x[3], 22, 0xc1bdceee)
    WU_MD5_STEP(WU_MD5_F, a, b, c, d, x[4], 7, 0xf57c0faf)
    WU_MD5_STEP(WU_MD5_F, d, a, b, c, x[5], 12, 0x4787c62a)
    WU_MD5_STEP(WU_MD5_F, c, d, a, b, x[6], 17, 0xa8304613)
    WU_MD5_STEP(WU_MD5_F, b, c, d, a, x[7], 22, 0xfd469501)
    WU_MD5_STEP(WU_MD5_F, a, b, c, d, x[8], 7, 0x698098d8)
    WU_MD5_STEP(WU_MD5_F, d, a, b, c, x[9], 12, 0x8b44f7af)
    WU_MD5_STEP(WU_MD5_F, c, d, a, b, x[10], 17, 0xffff5bb1)
    WU_MD5_STEP(WU_MD5_F, b, c, d, a, x[11], 22, 0x895cd7be)
    WU_MD5_STEP(WU_MD5_F, a, b, c, d, x[12], 7, 0x6b901122)
    WU_MD5_STEP(WU_MD5_F, d, a, b, c, x[13], 12, 0xfd987193)
    WU_MD5_STEP(WU_MD5_F, c, d, a, b, x[14], 17, 0xa679438e)
    WU_MD5_STEP(WU_MD5_F, b, c, d, a, x[15], 22, 0x49b40821)

    WU_MD5_STEP(WU_MD5_G, a, b, c, d, x[1], 5, 0xf61e2562)
    WU_MD5_STEP(WU_MD5_G, d, a, b, c, x[6], 9, 0xc040b340)
    WU_MD5_STEP(WU_MD5_G, c, d, a, b, x[11], 14, 0x265e5a51)
    WU_MD5_STEP(WU_MD5_G, b, c, d, a, x[0], 20, 0xe9b6c7aa)
    WU_MD5_STEP(WU_MD5_G, a, b, c, d, x[5], 5, 0xd62f105d)
    WU_MD5_STEP(WU_MD5_G, d, a, b, c, x[10], 9, 0x02441453)
    WU_MD5_STEP(WU_MD5_G, c, d, a, b, x[15], 14, 0xd8a1e681)
    WU_MD5_STEP(WU_MD5_G, b, c, d, a, x[4], 20, 0xe7d3fbc8)
    WU_MD5_STEP(WU_MD5_G, a, b, c, d, x[9], 5, 0x21e1cde6)
    WU_MD5_STEP(WU_MD5_G, d, a, b, c, x[14], 9, 0xc33707d6)
    WU_MD5_STEP(WU_MD5_G, c, d, a, b, x[3], 14, 0xf4d50d87)
    WU_MD5_STEP(WU_MD5_G, b, c, d, a, x[8], 20, 0x455a14ed)
    WU_MD5_STEP(WU_MD5_G, a, b, c, d, x[13], 5, 0xa9e3e905)
    WU_MD5_STEP(WU_MD5_G, d, a, b, c, x[2], 9, 0xfcefa3f8)
    WU_MD5_STEP(WU_MD5_G, c, d, a, b, x[7], 14, 0x676f02d9)
    WU_MD5_STEP(WU_MD5_G, b, c, d, a, x[12], 20, 0x8d2a4c8a)

    WU_MD5_STEP(WU_MD5_H, a, b, c, d, x[5], 4, 0xfffa3942)
    WU_MD5_STEP(WU_MD5_H, d, a, b, c, x[8], 11, 0x8771f681)
    WU_MD5_STEP(WU_MD5_H, c, d, a, b, x[11], 16, 0x6d9d6122)
    WU_MD5_STEP(WU_MD5_H, b, c, d, a, x[14], 23, 0xfde5380c)
    WU_MD5_STEP(WU_MD5_H, a, b, c, d, x[1], 4, 0xa4beea44)
    WU_MD5_STEP(WU_MD5_H, d, a, b, c, x[4], 11, 0x4bdecfa9)
    WU_MD5_STEP(WU_MD5_H, c, d, a, b, x[7], 16, 0xf6bb4b60)
    WU_MD5_STEP(WU_MD5_H, b, c, d, a, x[10], 23, 0xbebfbc70)
    WU_MD5_STEP(WU_MD5_H, a, b, c, d, x[13], 4, 0x289b7ec6)
    WU_MD5_STEP(WU_MD5_H, d, a, b, c, x[0], 11, 0xeaa127fa)
    WU_MD5_STEP(WU_MD5_H, c, d, a, b, x[3], 16, 0xd4ef3085)
    WU_MD5_STEP(WU_MD5_H, b, c, d, a, x[6], 23, 0x04881d05)
    WU_MD5_STEP(WU_MD5_H, a, b, c, d, x[9], 4, 0xd9d4d039)
    WU_MD5_STEP(WU_MD5_H, d, a, b, c, x[12], 11, 0xe6db99e5)
    WU_MD5_STEP(WU_MD5_H, c, d, a, b, x[15], 16, 0x1fa27cf8)
    WU_MD5_STEP(WU_MD5_H, b, c, d, a, x[2], 23, 0xc4ac5665)

    WU_MD5_STEP(WU_MD5_I, a, b, c, d, x[0], 6, 0xf4292244)
    WU_MD5_STEP(WU_MD5_I, d, a, b, c, x[7], 10, 0x432aff97)
    WU_MD5_STEP(WU_MD5_I, c, d, a, b, x[14], 15, 0xab9423a7)
    WU_MD5_STEP(WU_MD5_I, b, c, d, a, x[5], 21, 0xfc93a039)
    WU_MD5_STEP(WU_MD5_I, a, b, c, d, x[12], 6, 0x655b59c3)
    WU_MD5_STEP(WU_MD5_I, d, a, b, c, x[3], 10, 0x8f0ccc92)
    WU_MD5_STEP(WU_MD5_I, c, d, a, b, x[10], 15, 0xffeff47d)
    WU_MD5_STEP(WU_MD5_I, b, c, d, a, x[1], 21, 0x85845dd1)
    WU_MD5_STEP(WU_MD5_I, a, b, c, d, x[8], 6, 0x6fa87e4f)
    WU_MD5_STEP(WU_MD5_I, d, a, b, c, x[15], 10, 0xfe2ce6e0)
    WU_MD5_STEP(WU_MD5_I, c, d, a, b, x[6], 15, 0xa3014314)
    WU_MD5_STEP(WU_MD5_I, b, c, d, a, x[13], 21, 0x4e0811a1)
    WU_MD5_STEP(WU_MD5_I, a, b, c, d, x[4], 6, 0xf7537e82)
    WU_MD5_STEP(WU_MD5_I, d, a, b, c, x[11], 10, 0xbd3af235)
    WU_MD5_STEP(WU_MD5_I, c, d, a, b, x[2], 15, 0x2ad7d2bb)
    WU_MD5_STEP(WU_MD5_I, b, c, d, a, x[9], 21, 0xeb86d391)

    a0 += a;
    b0 += b;
    c0 += c;
    d0 += d;
  }
  state[0] = a0;
  state[1] = b0;
  state[2] = c0;
  state[3] = d0;
}

}  // namespace

void WuMd5_Init(WU_MD5_CTX* ctx) {
  std::memset(ctx, 0, sizeof(*ctx));
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xefcdab89;
  ctx->state[2] = 0x98badcfe;
  ctx->state[3] = 0x10325476;
}

void WuMd5_Update(WU_MD5_CTX* ctx, const void* data, SIZE_T bytes) {
  const BYTE* in = static_cast<const BYTE*>(data);
  SIZE_T have = (ctx->count[0] >> 3) & 63;
  unsigned long long bits =
      (static_cast<unsigned long long>(ctx->count[1]) << 32 | ctx->count[0]) +
      (static_cast<unsigned long long>(bytes) << 3);
  ctx->count[0] = static_cast<DWORD>(bits);
  ctx->count[1] = static_cast<DWORD>(bits >> 32);
  if (have != 0) {
    SIZE_T take = 64 - have;
    if (bytes < take) {
      std::memcpy(ctx->buffer + have, in, bytes);
      return;
    }
    std::memcpy(ctx->buffer + have, in, take);
    Transform(ctx->state, ctx->buffer, 1);
    in += take;
    bytes -= take;
  }
  SIZE_T blocks = bytes / 64;
  if (blocks) Transform(ctx->state, in, blocks);
  in += blocks * 64;
  bytes -= blocks * 64;
  if (bytes) std::memcpy(ctx->buffer, in, bytes);
}

void WuMd5_Final(WU_MD5_CTX* ctx) {
  BYTE length[8];
  StoreLe(length, ctx->count[0]);
  StoreLe(length + 4, ctx->count[1]);
  // A 1 bit, zeros up to 56 bytes mod 64, then the 64-bit bit count.
  static const BYTE kPadding[64] = {0x80};
  SIZE_T have = (ctx->count[0] >> 3) & 63;
  SIZE_T pad = have < 56 ? 56 - have : 120 - have;
  WuMd5_Update(ctx, kPadding, pad);
  WuMd5_Update(ctx, length, 8);
  for (int i = 0; i < 4; ++i) StoreLe(ctx->digest + 4 * i, ctx->state[i]);
}

void WuMd5_Digest(const void* data, SIZE_T bytes, BYTE digest[16]) {
  WU_MD5_CTX ctx;
  WuMd5_Init(&ctx);
  WuMd5_Update(&ctx, data, bytes);
  WuMd5_Final(&ctx);
  std::memcpy(digest, ctx.digest, 16);
}
