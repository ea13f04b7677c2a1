// Sample conversion: every variant of ten pairs beside a plain loop that
// gives the same bytes, libsndfile's conversion path, and memcpy of the
// destination bytes (the physical floor), in samples per second.
//
// Two sizes per pair:
//   small  16,384 samples converted again and again (cache-resident);
//   large  48 M samples, far beyond the last-level cache (every buffer is
//          written before timing, so no page is touched for the first time
//          under the clock).
// Inputs are uniform floats in [-1.2, 1.2] (so the clamps run) and
// full-range 16-bit samples.
//
// Each variant reports its samples per second and, beside them, x_plain
// (its speed over the plain loop's), x_sndfile (over libsndfile's, where
// that library has the conversion) and x_memcpy (over memcpy's). The
// machine is shared, so the ratios come from the variant and its peers
// timed in turns, the best of several rounds each; the peers' own
// benchmarks give their samples per second. The label marks the variant
// the dispatcher selects for a processor of class 6 with
// SSE4.1. The plain loops use SSE2 intrinsics for the float and 16-bit
// pairs; for the others they are plain C++ the compiler vectorises at -O2.
//
// Variants are called through the kernel table, so those the dispatcher
// would not pick here are measured too.
#include <benchmark/benchmark.h>
#include <emmintrin.h>
#include <sndfile.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "audio/WuAudioCopy.h"

namespace {

constexpr int64_t kSmall = 16384;
constexpr int64_t kLarge = int64_t{48} << 20;

size_t BytesOf(WUSAMPLETYPE type) { return WuAudio_BytesFromSampleType(type); }

// ---- Buffers ----------------------------------------------------------------------------

// Source samples of a type, made once per type and size and kept.
const std::vector<uint8_t>& Source(WUSAMPLETYPE type, int64_t count) {
  static std::map<std::pair<int, int64_t>, std::vector<uint8_t>> sources;
  auto key = std::make_pair(static_cast<int>(type), count);
  auto it = sources.find(key);
  if (it != sources.end()) return it->second;
  std::vector<uint8_t>& out = sources[key];
  out.resize(static_cast<size_t>(count) * BytesOf(type));
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> uniform(-1.2f, 1.2f);
  for (int64_t i = 0; i < count; ++i) {
    uint8_t* p = out.data() + static_cast<size_t>(i) * BytesOf(type);
    if (type == WUSAMPLE_FLOAT32) {
      float f = uniform(rng);
      std::memcpy(p, &f, 4);
    } else if (type == WUSAMPLE_FLOAT64) {
      double d = uniform(rng);
      std::memcpy(p, &d, 8);
    } else {
      uint16_t v = static_cast<uint16_t>(rng());
      std::memcpy(p, &v, 2);  // full range; the byte order is immaterial
    }
  }
  return out;
}

// One destination buffer large enough for every pair, written once.
uint8_t* Destination(size_t bytes) {
  static std::vector<uint8_t> dest;
  if (dest.size() < bytes) dest.assign(bytes, 1);
  return dest.data();
}

// The bytes memcpy copies: as many as the destination takes, which can be
// more than the source holds.
const uint8_t* MemcpySource(size_t bytes) {
  static std::vector<uint8_t> from;
  if (from.size() < bytes) from.assign(bytes, 2);
  return from.data();
}

// ---- Plain loops --------------------------------------------------------------------------

// The tail sample of the 16-bit plain loops: an integer rounded by the SSE
// conversion, saturated and stored.
void Store16Saturated(uint8_t* d, int v) {
  int16_t o = static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
  std::memcpy(d, &o, 2);
}

void Plain16From32(uint8_t* d, const uint8_t* s, int64_t n) {
  const __m128 k = _mm_set1_ps(32768.0f);
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i a = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(reinterpret_cast<const float*>(s) + i), k));
    __m128i b =
        _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(reinterpret_cast<const float*>(s) + i + 4), k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i), _mm_packs_epi32(a, b));
  }
  for (; i < n; ++i) {
    float f;
    std::memcpy(&f, s + 4 * i, 4);
    Store16Saturated(d + 2 * i, _mm_cvtss_si32(_mm_set_ss(f * 32768.0f)));
  }
}

void Plain16From64(uint8_t* d, const uint8_t* s, int64_t n) {
  const __m128d k = _mm_set1_pd(32768.0);
  const double* p = reinterpret_cast<const double*>(s);
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i a = _mm_unpacklo_epi64(_mm_cvtpd_epi32(_mm_mul_pd(_mm_loadu_pd(p + i), k)),
                                   _mm_cvtpd_epi32(_mm_mul_pd(_mm_loadu_pd(p + i + 2), k)));
    __m128i b = _mm_unpacklo_epi64(_mm_cvtpd_epi32(_mm_mul_pd(_mm_loadu_pd(p + i + 4), k)),
                                   _mm_cvtpd_epi32(_mm_mul_pd(_mm_loadu_pd(p + i + 6), k)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i), _mm_packs_epi32(a, b));
  }
  for (; i < n; ++i) {
    Store16Saturated(d + 2 * i, _mm_cvtsd_si32(_mm_set_sd(p[i] * 32768.0)));
  }
}

void Plain32From16(uint8_t* d, const uint8_t* s, int64_t n) {
  const __m128 k = _mm_set1_ps(1.0f / 32768.0f);
  float* out = reinterpret_cast<float*>(d);
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
    __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16);
    __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(raw, raw), 16);
    _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(lo), k));
    _mm_storeu_ps(out + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(hi), k));
  }
  for (; i < n; ++i) {
    int16_t v;
    std::memcpy(&v, s + 2 * i, 2);
    out[i] = v * (1.0f / 32768.0f);
  }
}

void Plain64From16(uint8_t* d, const uint8_t* s, int64_t n) {
  const __m128d k = _mm_set1_pd(1.0 / 32768.0);
  double* out = reinterpret_cast<double*>(d);
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
    __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16);
    __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(raw, raw), 16);
    _mm_storeu_pd(out + i, _mm_mul_pd(_mm_cvtepi32_pd(lo), k));
    _mm_storeu_pd(out + i + 2, _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(lo, 8)), k));
    _mm_storeu_pd(out + i + 4, _mm_mul_pd(_mm_cvtepi32_pd(hi), k));
    _mm_storeu_pd(out + i + 6, _mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(hi, 8)), k));
  }
  for (; i < n; ++i) {
    int16_t v;
    std::memcpy(&v, s + 2 * i, 2);
    out[i] = v * (1.0 / 32768.0);
  }
}

void Plain32From64(uint8_t* d, const uint8_t* s, int64_t n) {
  const double* p = reinterpret_cast<const double*>(s);
  float* out = reinterpret_cast<float*>(d);
  int64_t i = 0;
  for (; i + 4 <= n; i += 4)
    _mm_storeu_ps(out + i, _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(p + i)),
                                         _mm_cvtpd_ps(_mm_loadu_pd(p + i + 2))));
  for (; i < n; ++i) out[i] = static_cast<float>(p[i]);
}

void Plain64From32(uint8_t* d, const uint8_t* s, int64_t n) {
  const float* p = reinterpret_cast<const float*>(s);
  double* out = reinterpret_cast<double*>(d);
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128 f = _mm_loadu_ps(p + i);
    _mm_storeu_pd(out + i, _mm_cvtps_pd(f));
    _mm_storeu_pd(out + i + 2, _mm_cvtps_pd(_mm_movehl_ps(f, f)));
  }
  for (; i < n; ++i) out[i] = p[i];
}

// Plain C++ loops (vectorised by the compiler). Rounding to nearest, ties
// to even, by the 1.5 * 2^23 (float) or 1.5 * 2^52 (double) addition.
void Plain8From32(uint8_t* __restrict d, const uint8_t* __restrict s, int64_t n) {
  const float* p = reinterpret_cast<const float*>(s);
  for (int64_t i = 0; i < n; ++i) {
    float w = p[i] * 128.0f;
    w = w < -128.0f ? -128.0f : w;
    w = w > 127.0f ? 127.0f : w;
    float r = w + 12582912.0f;
    int32_t bits;
    std::memcpy(&bits, &r, 4);
    d[i] = static_cast<uint8_t>(bits + 128);
  }
}

void Plain24From32(uint8_t* __restrict d, const uint8_t* __restrict s, int64_t n) {
  const float* p = reinterpret_cast<const float*>(s);
  for (int64_t i = 0; i < n; ++i) {
    double w = p[i] * 8388608.0;
    w = w < -8388608.0 ? -8388608.0 : w;
    w = w > 8388607.0 ? 8388607.0 : w;
    double r = w + 6755399441055744.0;
    int64_t bits;
    std::memcpy(&bits, &r, 8);
    d[3 * i] = static_cast<uint8_t>(bits);
    d[3 * i + 1] = static_cast<uint8_t>(bits >> 8);
    d[3 * i + 2] = static_cast<uint8_t>(bits >> 16);
  }
}

void Plain24From16(uint8_t* __restrict d, const uint8_t* __restrict s, int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    d[3 * i] = 0;
    d[3 * i + 1] = s[2 * i];
    d[3 * i + 2] = s[2 * i + 1];
  }
}

void Plain16From16BE(uint8_t* __restrict d, const uint8_t* __restrict s, int64_t n) {
  const uint16_t* p = reinterpret_cast<const uint16_t*>(s);
  uint16_t* out = reinterpret_cast<uint16_t*>(d);
  for (int64_t i = 0; i < n; ++i) out[i] = static_cast<uint16_t>((p[i] >> 8) | (p[i] << 8));
}

// ---- libsndfile through its virtual I/O ---------------------------------------------------

// A file in memory.
struct MemoryFile {
  std::vector<uint8_t> data;  // the file's bytes
  sf_count_t position = 0;    // next byte read or written
};

sf_count_t MemLength(void* user) { return static_cast<MemoryFile*>(user)->data.size(); }
sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->position
                                                                 : static_cast<sf_count_t>(f->data.size());
  f->position = base + offset;
  return f->position;
}
sf_count_t MemRead(void* ptr, sf_count_t count, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  sf_count_t left = static_cast<sf_count_t>(f->data.size()) - f->position;
  if (count > left) count = left < 0 ? 0 : left;
  std::memcpy(ptr, f->data.data() + f->position, static_cast<size_t>(count));
  f->position += count;
  return count;
}
sf_count_t MemWrite(const void* ptr, sf_count_t count, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  if (f->position + count > static_cast<sf_count_t>(f->data.size()))
    f->data.resize(static_cast<size_t>(f->position + count));
  std::memcpy(f->data.data() + f->position, ptr, static_cast<size_t>(count));
  f->position += count;
  return count;
}
sf_count_t MemTell(void* user) { return static_cast<MemoryFile*>(user)->position; }
SF_VIRTUAL_IO kMemoryIo = {MemLength, MemSeek, MemRead, MemWrite, MemTell};

// A mono WAV of `format` in memory, open for writing (clipping on, as the
// kernels saturate) or, from a written file, for reading.
struct SndFile {
  MemoryFile file;
  SNDFILE* sf = nullptr;
  SndFile(int format, int64_t reserve) {
    file.data.reserve(static_cast<size_t>(reserve) + 4096);
    SF_INFO info = {};
    info.samplerate = 48000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | format;
    sf = sf_open_virtual(&kMemoryIo, SFM_WRITE, &info, &file);
    if (sf) sf_command(sf, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  }
  // Reopens the written file for reading.
  void ReopenForReading() {
    sf_close(sf);
    file.position = 0;
    SF_INFO info = {};
    sf = sf_open_virtual(&kMemoryIo, SFM_READ, &info, &file);
  }
  ~SndFile() {
    if (sf) sf_close(sf);
  }
};

// ---- The pairs ------------------------------------------------------------------------------

// libsndfile's path for a pair: none, or writing floats or doubles into a
// 16- or 24-bit WAV, or reading a 16-bit WAV as floats or doubles.
enum class SndPath { kNone, kWriteFloat, kWriteDouble, kReadFloat, kReadDouble };

struct Pair {
  WUSAMPLETYPE dest;
  WUSAMPLETYPE src;
  void (*plain)(uint8_t*, const uint8_t*, int64_t);  // the plain loop
  SndPath snd;                                       // libsndfile's path
  int snd_format;                                    // its WAV sample format
  WuAudioCopyVariant selected;                       // the dispatcher's choice here
};

const Pair kPairs[] = {
    {WUSAMPLE_PCM16, WUSAMPLE_FLOAT32, Plain16From32, SndPath::kWriteFloat, SF_FORMAT_PCM_16,
     WuAudioCopyVariant::kSse},
    {WUSAMPLE_PCM8, WUSAMPLE_FLOAT32, Plain8From32, SndPath::kNone, 0, WuAudioCopyVariant::kSse},
    {WUSAMPLE_PCM24, WUSAMPLE_FLOAT32, Plain24From32, SndPath::kWriteFloat, SF_FORMAT_PCM_24,
     WuAudioCopyVariant::kSse},
    {WUSAMPLE_PCM16, WUSAMPLE_FLOAT64, Plain16From64, SndPath::kWriteDouble, SF_FORMAT_PCM_16,
     WuAudioCopyVariant::kSse2},
    {WUSAMPLE_FLOAT32, WUSAMPLE_PCM16, Plain32From16, SndPath::kReadFloat, SF_FORMAT_PCM_16,
     WuAudioCopyVariant::kSse41},
    {WUSAMPLE_FLOAT64, WUSAMPLE_PCM16, Plain64From16, SndPath::kReadDouble, SF_FORMAT_PCM_16,
     WuAudioCopyVariant::kSse2},
    {WUSAMPLE_FLOAT32, WUSAMPLE_FLOAT64, Plain32From64, SndPath::kNone, 0,
     WuAudioCopyVariant::kSse2},
    {WUSAMPLE_FLOAT64, WUSAMPLE_FLOAT32, Plain64From32, SndPath::kNone, 0,
     WuAudioCopyVariant::kSse2},
    {WUSAMPLE_PCM24, WUSAMPLE_PCM16, Plain24From16, SndPath::kNone, 0,
     WuAudioCopyVariant::kScalar},
    {WUSAMPLE_PCM16, WUSAMPLE_PCM16BE, Plain16From16BE, SndPath::kNone, 0,
     WuAudioCopyVariant::kScalar},
};

const char* VariantName(WuAudioCopyVariant v) {
  switch (v) {
    case WuAudioCopyVariant::kScalar: return "scalar";
    case WuAudioCopyVariant::kX87Store: return "x87store";
    case WuAudioCopyVariant::kSse: return "sse";
    case WuAudioCopyVariant::kSse2: return "sse2";
    case WuAudioCopyVariant::kSse41: return "sse41";
  }
  return "?";
}

std::string PairName(const Pair& p) {
  return std::to_string(p.dest) + "_from_" + std::to_string(p.src);
}

// ---- Peers, rates and ratios ------------------------------------------------------------------

// The peers of one pair and size, ready to run: memcpy, the plain loop and
// (where it has the conversion) libsndfile. Kept for the benchmarks of the
// pair and size that runs now.
struct Peers {
  WUSAMPLETYPE dest = WUSAMPLE_NONE;  // the pair and size they serve
  WUSAMPLETYPE src = WUSAMPLE_NONE;
  int64_t n = 0;
  std::unique_ptr<SndFile> snd;      // libsndfile's in-memory file
  std::function<void()> memcpy_run;  // memcpy of the destination bytes
  std::function<void()> plain_run;   // the plain loop
  std::function<void()> snd_run;     // libsndfile, or empty
  bool plain_matches = false;        // the plain loop gives the kernel's bytes
};

Peers& PeersOf(const Pair& p, int64_t n) {
  static Peers peers;
  if (peers.dest == p.dest && peers.src == p.src && peers.n == n) return peers;
  peers = Peers();
  peers.dest = p.dest;
  peers.src = p.src;
  peers.n = n;
  const uint8_t* s = Source(p.src, n).data();
  const size_t dest_bytes = static_cast<size_t>(n) * BytesOf(p.dest);
  uint8_t* d = Destination(static_cast<size_t>(n) * 8);
  const uint8_t* from = MemcpySource(dest_bytes);
  peers.memcpy_run = [d, from, dest_bytes] { std::memcpy(d, from, dest_bytes); };
  peers.plain_run = [d, s, n, p] { p.plain(d, s, n); };

  // The plain loop must give the kernel's bytes.
  const int64_t check_n = std::min<int64_t>(n, kSmall);
  std::vector<uint8_t> check(static_cast<size_t>(check_n) * BytesOf(p.dest));
  WuAudio_FindCopyKernel(p.dest, p.src, WuAudioCopyVariant::kScalar)(
      check.data(), s, static_cast<int32_t>(check_n), 1.0f);
  p.plain(d, s, check_n);
  peers.plain_matches = std::memcmp(check.data(), d, check.size()) == 0;

  if (p.snd != SndPath::kNone) {
    const int64_t file_bytes = n * (p.snd_format == SF_FORMAT_PCM_24 ? 3 : 2);
    peers.snd = std::make_unique<SndFile>(p.snd_format, file_bytes);
    SNDFILE* sf = peers.snd->sf;
    if (sf && (p.snd == SndPath::kReadFloat || p.snd == SndPath::kReadDouble)) {
      sf_write_short(sf, reinterpret_cast<const short*>(s), n);
      peers.snd->ReopenForReading();
      sf = peers.snd->sf;
    }
    if (sf) {
      SndPath path = p.snd;
      peers.snd_run = [sf, path, s, d, n] {
        sf_seek(sf, 0, SEEK_SET);
        switch (path) {
          case SndPath::kWriteFloat:
            sf_write_float(sf, reinterpret_cast<const float*>(s), n);
            break;
          case SndPath::kWriteDouble:
            sf_write_double(sf, reinterpret_cast<const double*>(s), n);
            break;
          case SndPath::kReadFloat:
            sf_read_float(sf, reinterpret_cast<float*>(d), n);
            break;
          case SndPath::kReadDouble:
            sf_read_double(sf, reinterpret_cast<double*>(d), n);
            break;
          case SndPath::kNone:
            break;
        }
      };
    }
  }
  return peers;
}

// Times `run` under the benchmark and reports samples per second.
void Measure(benchmark::State& state, const std::function<void()>& run, int64_t n) {
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    run();
    benchmark::ClobberMemory();
  }
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  state.counters["samples/s"] =
      static_cast<double>(n) * static_cast<double>(state.iterations()) / elapsed.count();
}

// The shortest time of `batch` runs.
double BatchSeconds(const std::function<void()>& run, int batch) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < batch; ++i) {
    run();
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The ratios of a kernel's speed to its peers'. The machine is shared, so
// the kernel and its peers are timed in turns, several rounds, and the
// best time of each counts: a load that comes and goes touches all alike.
void AddRatios(benchmark::State& state, const std::function<void()>& kernel, Peers& peers) {
  const int batch = peers.n == kSmall ? 64 : 1;
  const int rounds = peers.n == kSmall ? 15 : 4;
  const std::function<void()>* runs[] = {&kernel, &peers.plain_run, &peers.snd_run,
                                         &peers.memcpy_run};
  double best[4] = {1e30, 1e30, 1e30, 1e30};
  for (int r = 0; r < rounds; ++r)
    for (int i = 0; i < 4; ++i)
      if (*runs[i]) best[i] = std::min(best[i], BatchSeconds(*runs[i], batch));
  state.counters["x_plain"] = best[1] / best[0];
  if (peers.snd_run) state.counters["x_sndfile"] = best[2] / best[0];
  state.counters["x_memcpy"] = best[3] / best[0];
}

void RegisterPair(const Pair& p, int64_t n) {
  const std::string base = "AudioCopy/" + PairName(p) + "/" + (n == kSmall ? "small" : "large");

  benchmark::RegisterBenchmark((base + "/memcpy").c_str(), [p, n](benchmark::State& st) {
    Measure(st, PeersOf(p, n).memcpy_run, n);
  })->UseRealTime();

  benchmark::RegisterBenchmark((base + "/plain").c_str(), [p, n](benchmark::State& st) {
    Peers& peers = PeersOf(p, n);
    if (!peers.plain_matches) {
      st.SkipWithError("the plain loop differs from the kernel");
      return;
    }
    Measure(st, peers.plain_run, n);
  })->UseRealTime();

  if (p.snd != SndPath::kNone) {
    benchmark::RegisterBenchmark((base + "/libsndfile").c_str(), [p, n](benchmark::State& st) {
      Peers& peers = PeersOf(p, n);
      if (!peers.snd_run) {
        st.SkipWithError("sf_open_virtual failed");
        return;
      }
      Measure(st, peers.snd_run, n);
    })->UseRealTime();
  }

  int32_t rows = 0;
  const WuAudioCopyKernel* table = WuAudio_GetCopyKernelTable(&rows);
  for (int32_t r = 0; r < rows; ++r) {
    const WuAudioCopyKernel k = table[r];
    if (k.dest != p.dest || k.src != p.src) continue;
    if (k.variant == WuAudioCopyVariant::kSse41 && !__builtin_cpu_supports("sse4.1")) continue;
    std::string name = base + "/" + VariantName(k.variant);
    if (k.variant == p.selected) name += "(selected)";
    benchmark::RegisterBenchmark(name.c_str(), [p, n, k](benchmark::State& st) {
      Peers& peers = PeersOf(p, n);
      const uint8_t* s = Source(p.src, n).data();
      uint8_t* d = Destination(static_cast<size_t>(n) * 8);
      std::function<void()> run = [&] { k.function(d, s, static_cast<int32_t>(n), 1.0f); };
      Measure(st, run, n);
      AddRatios(st, run, peers);
    })->UseRealTime();
  }
}

struct Registrar {
  Registrar() {
    for (int64_t n : {kSmall, kLarge})
      for (const Pair& p : kPairs) RegisterPair(p, n);
  }
} registrar;

}  // namespace

BENCHMARK_MAIN();
