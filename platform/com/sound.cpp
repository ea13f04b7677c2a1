#include "platform/com/sound.h"

#include <mutex>

#include "platform/kernel/locale.h"

namespace {

constexpr size_t kLogLimit = 64;  // requests kept in the log

std::mutex g_log_lock;                      // guards g_log
std::vector<platform::SoundRequest> g_log;  // recorded requests, oldest first

const char16_t* const kKnownNames[] = {
    u"SystemDefault", u"SystemAsterisk",     u"SystemExclamation",
    u"SystemHand",    u"SystemQuestion",     u"SystemStart",
    u"SystemExit",    u"SystemNotification", u"Brisvanemoor_DoneProcessing",
};

bool IsKnownName(LPCWSTR name) {
  for (const char16_t* known : kKnownNames)
    if (lstrcmpiW(name, known) == 0) return true;
  return false;
}

void Record(std::u16string name, UINT flags) {
  std::lock_guard<std::mutex> hold(g_log_lock);
  if (g_log.size() >= kLogLimit) g_log.erase(g_log.begin());
  g_log.push_back({std::move(name), flags});
}

}  // namespace

BOOL sndPlaySoundW(LPCWSTR sound, UINT flags) {
  if (!sound || (flags & SND_MEMORY)) {
    Record(std::u16string(), flags);
    return TRUE;
  }
  Record(std::u16string(sound), flags);
  return IsKnownName(sound) ? TRUE : FALSE;
}

namespace platform {

std::vector<SoundRequest> GetSoundLog() {
  std::lock_guard<std::mutex> hold(g_log_lock);
  return g_log;
}

void ClearSoundLog() {
  std::lock_guard<std::mutex> hold(g_log_lock);
  g_log.clear();
}

}  // namespace platform
