#include "foundation/WuKernelState.h"

#include <atomic>

namespace {
std::atomic<HWULANG> g_kernel_lang{nullptr};  // the kernel language handle
}

HWULANG WuKernel_GetLangHandle() { return g_kernel_lang.load(std::memory_order_acquire); }

void WuKernel_SetLangHandle(HWULANG lang) { g_kernel_lang.store(lang, std::memory_order_release); }
