#include "avi_bytes.h"

#include <cstdint>
#include <fstream>
#include <iterator>

std::vector<char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {

std::uint32_t readLe32(const std::vector<char>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + k])) << (8 * k);
    return v;
}

}  // namespace

std::vector<ChunkSpan> videoChunks(const std::vector<char>& avi) {
    std::string bytes(avi.begin(), avi.end());
    std::vector<ChunkSpan> chunks;
    std::size_t pos = bytes.find("movi");
    if (pos == std::string::npos) return chunks;
    for (pos += 4; pos + 8 <= avi.size();) {
        std::string tag = bytes.substr(pos, 4);
        std::uint32_t size = readLe32(avi, pos + 4);
        if (tag == "idx1" || size > avi.size() - pos - 8) break;
        if (tag == "00dc") chunks.push_back(ChunkSpan{pos + 8, size});
        pos += 8 + size + (size & 1);
    }
    return chunks;
}
