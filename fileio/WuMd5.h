// The MD5 message digest (RFC 1321): a 128-bit digest of a byte string,
// computed in steps over a context. Used for the content GUIDs of render
// templates; not for anything that needs collision resistance.
#pragma once

#include "platform/kernel/types.h"

// The context: 104 bytes.
struct WU_MD5_CTX {
  DWORD count[2];    // message length in bits, low word first
  DWORD state[4];    // the chaining values A, B, C, D
  BYTE buffer[64];   // input not yet processed (count / 8 mod 64 bytes)
  BYTE digest[16];   // the digest, set by WuMd5_Final
};
static_assert(sizeof(WU_MD5_CTX) == 104);

// Starts a digest.
void WuMd5_Init(WU_MD5_CTX* ctx);
// Adds `bytes` bytes of input.
void WuMd5_Update(WU_MD5_CTX* ctx, const void* data, SIZE_T bytes);
// Pads the message, finishes and leaves the digest in ctx->digest.
void WuMd5_Final(WU_MD5_CTX* ctx);
// The digest of one buffer.
void WuMd5_Digest(const void* data, SIZE_T bytes, BYTE digest[16]);
