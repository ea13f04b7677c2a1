// MD5 against the test suite of RFC 1321, whole and in uneven pieces.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fileio/WuMd5.h"

namespace {

std::string Hex(const BYTE* d) {
  std::string s;
  char b[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(b, sizeof(b), "%02x", d[i]);
    s += b;
  }
  return s;
}

struct Vector {
  const char* text;
  const char* digest;
} const kSuite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(WuMd5, Rfc1321Suite) {
  for (const Vector& v : kSuite) {
    SCOPED_TRACE(v.text);
    std::string text = v.text;
    BYTE digest[16];
    WuMd5_Digest(text.data(), text.size(), digest);
    EXPECT_EQ(Hex(digest), v.digest);
    // Fed in pieces of 1, 3, 63 and 64 bytes: the buffering across blocks.
    for (size_t piece : {1u, 3u, 63u, 64u}) {
      WU_MD5_CTX ctx;
      WuMd5_Init(&ctx);
      for (size_t at = 0; at < text.size(); at += piece)
        WuMd5_Update(&ctx, text.data() + at, std::min(piece, text.size() - at));
      WuMd5_Final(&ctx);
      EXPECT_EQ(Hex(ctx.digest), v.digest) << piece;
    }
  }
}

TEST(WuMd5, PaddingBoundaries) {
  // Lengths around the 56-byte padding limit and whole blocks; the digests
  // of runs of 'a' as any conforming implementation gives them.
  struct Case {
    size_t length;
    const char* digest;
  } cases[] = {
      {55, "ef1772b6dff9a122358552954ad0df65"},
      {56, "3b0c8ac703f828b04c6c197006d17218"},
      {57, "652b906d60af96844ebd21b674f35e93"},
      {64, "014842d480b571495a4a0363793f7367"},
      {1000000, "7707d6ae4e027c70eea2a935c2296f21"},
  };
  for (const Case& c : cases) {
    std::string text(c.length, 'a');
    BYTE digest[16];
    WuMd5_Digest(text.data(), text.size(), digest);
    EXPECT_EQ(Hex(digest), c.digest) << c.length;
  }
}

}  // namespace
