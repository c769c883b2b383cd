#pragma once
// Writing a file whole or not at all. The bytes go into a temporary file
// beside the target, which replaces the target by a rename only once every
// byte has reached the disk: a full disk, a size limit or a failed write
// leaves the earlier file as it was and no temporary file behind.

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

// `write` fills the open temporary file and returns false when it failed.
// False, with the reason in `why`, when anything failed; the target is then
// untouched. An existing target that is not a regular file (a directory, a
// device, a pipe) is refused; a link to a file has that file replaced.
bool replaceFile(const char* path, const std::function<bool(std::FILE*)>& write, std::string* why = nullptr);

// The same with the whole content in memory.
bool replaceFile(const char* path, const void* bytes, std::size_t size, std::string* why = nullptr);
