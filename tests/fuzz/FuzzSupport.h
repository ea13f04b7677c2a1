// Shared helpers of the fuzz targets: one private state root per process
// (with every drive letter mapped inside it, so that no input can make a
// reader touch the real file system), and small file helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wufuzz {

// Creates the process's fuzz root once: a fresh temporary folder that is
// the state root, with drives A..Z mapped to <root>/drive/<letter> and the
// current folder set to <root>/work. Returns the root (no trailing '/').
const std::string& Root();

// Writes `size` bytes to a Linux path (replacing the file); false on failure.
bool WriteFile(const std::string& path, const void* data, size_t size);

// Removes a folder and everything below it (symbolic links are not followed).
void RemoveTree(const std::string& path);

// Every path below `folder` (files, folders and links), relative to the root.
std::vector<std::string> ListTree(const std::string& folder);

// Aborts with a message: a broken invariant is a finding.
[[noreturn]] void Fail(const char* what, const std::string& detail);

// Cuts `data` at every occurrence of `separator` into at most `max` parts.
std::vector<std::string> SplitInput(const uint8_t* data, size_t size, char separator, size_t max);

}  // namespace wufuzz
