// Primitive reads, seeking and chunk headers, driven while a buffer is live.
#include <gtest/gtest.h>

#include <functional>

#include "chunk_builder.h"
#include "model3ds/model3ds.h"

namespace {

// Runs a test body in place of the walk, while the file buffer exists.
class Probe : public Model3ds {
 public:
  explicit Probe(std::function<void(Probe&)> body) : body_(std::move(body)) {}
  bool readModel() override {
    body_(*this);
    return true;
  }

 private:
  std::function<void(Probe&)> body_;
};

void withBuffer(const Bytes& data, std::function<void(Probe&)> body) {
  Probe probe(std::move(body));
  ASSERT_TRUE(probe.loadModelData(data.data(), data.size()));
}

TEST(ChunkReader, ReadsNeedPositionPlusWidthStrictlyBelowTheSize) {
  withBuffer({0x34, 0x12, 0xAA, 0xBB}, [](Probe& m) {
    EXPECT_EQ(m.readU16(), 0x1234);
    EXPECT_FALSE(m.readError());
    EXPECT_EQ(m.readU16(), 0);  // 2 + 2 is not below 4
    EXPECT_TRUE(m.readError());
    EXPECT_EQ(m.tell(), 2);
    EXPECT_EQ(m.readByte(), 0xAA);  // 2 + 1 is below 4
    EXPECT_EQ(m.readByte(), 0);     // the last byte is never readable
    EXPECT_EQ(m.tell(), 3);
  });
}

TEST(ChunkReader, WideValuesAreLittleEndian) {
  Bytes data{0x78, 0x56, 0x34, 0x12};
  putFloat(data, -2.5f);
  data.push_back(0);
  withBuffer(data, [](Probe& m) {
    EXPECT_EQ(m.readI32(), 0x12345678);
    EXPECT_EQ(m.readFloat(), -2.5f);
    EXPECT_FALSE(m.readError());
    EXPECT_EQ(m.readI32(), 0);
    EXPECT_TRUE(m.readError());
  });
}

TEST(ChunkReader, SeekClampsIntoTheBufferAndClearsTheError) {
  withBuffer(Bytes(10, 0), [](Probe& m) {
    m.seek(4, kSeekSet);
    EXPECT_EQ(m.tell(), 4);
    m.seek(3, kSeekCurrent);
    EXPECT_EQ(m.tell(), 7);
    m.seek(-20, kSeekCurrent);
    EXPECT_EQ(m.tell(), 0);
    m.readI32();
    m.seek(9, kSeekSet);
    m.readU16();
    EXPECT_TRUE(m.readError());
    m.seek(50, kSeekSet);
    EXPECT_EQ(m.tell(), 9);
    EXPECT_FALSE(m.readError());
  });
}

TEST(ChunkReader, StringsAreCutAtTheCapacityAndStopAtTheEnd) {
  withBuffer(cString("abcdef") + cString("xy") + Bytes{0}, [](Probe& m) {
    char buffer[8] = "#######";
    int length = -1;
    m.readString(buffer, length, 4);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(length, 3);
    EXPECT_EQ(m.tell(), 4);  // "d" was read and dropped; "ef" is left
    m.readString(buffer, length, 8);
    EXPECT_STREQ(buffer, "ef");
    m.readString(buffer, length, 8);
    EXPECT_STREQ(buffer, "xy");
    m.seek(100, kSeekSet);
    m.seek(1, kSeekCurrent);
    std::strcpy(buffer, "keep");
    // Clamped to the last byte: that byte itself is not readable either.
    m.readString(buffer, length, 8);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(m.readError());
  });
}

TEST(ChunkReader, HeaderEndCountsTheSixHeaderBytes) {
  Bytes data = chunk(0x4110, {Bytes(10, 0)}) + Bytes{0};
  withBuffer(data, [](Probe& m) {
    ChunkRef h = m.readChunkHeader();
    EXPECT_EQ(h.id, 0x4110);
    EXPECT_EQ(h.start, 6);
    EXPECT_EQ(h.end, 16);
    m.skipChunk(h);
    EXPECT_EQ(m.tell(), 16);
  });
}

TEST(ChunkReader, FindChunkSkipsSiblingsAndStopsAtTheParentEnd) {
  Bytes inner = chunk(0x0001, {Bytes(4, 1)}) + chunk(0x0002, {Bytes(2, 2)}) +
                chunk(0x0003, {Bytes(3, 3)});
  Bytes data = chunk(0x1000, {inner}) + Bytes(4, 0);
  withBuffer(data, [](Probe& m) {
    ChunkRef parent = m.readChunkHeader();
    ChunkRef target{0x0003};
    ASSERT_TRUE(m.findChunk(target, parent));
    EXPECT_EQ(target.start, 6 + 10 + 8 + 6);
    EXPECT_EQ(target.end, parent.end);
    m.seek(6, kSeekSet);
    ChunkRef absent{0x0009};
    EXPECT_FALSE(m.findChunk(absent, parent));
  });
}

TEST(ChunkReader, FindChunkStopsOnLengthsThatWouldMoveBackwards) {
  for (uint32_t badLength : {0u, 5u, 0xFFFFFFF0u}) {
    Bytes inner = chunk(0x0001, {Bytes(4, 1)}, badLength) + chunk(0x0003, {Bytes(4, 3)});
    Bytes data = chunk(0x1000, {inner}) + Bytes(4, 0);
    withBuffer(data, [](Probe& m) {
      ChunkRef parent = m.readChunkHeader();
      ChunkRef target{0x0003};
      EXPECT_FALSE(m.findChunk(target, parent));
    });
  }
}

}  // namespace
