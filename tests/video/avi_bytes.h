#pragma once
// Byte-level access to test clips, for damaging or splicing them.

#include <cstddef>
#include <string>
#include <vector>

std::vector<char> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<char>& bytes);

struct ChunkSpan {
    std::size_t payload;  // offset of the first payload byte
    std::size_t size;
};

// The video chunks ("00dc") of an AVI's movi list, in file order.
std::vector<ChunkSpan> videoChunks(const std::vector<char>& avi);
