#include "formats/ChunkId.h"

#include <gtest/gtest.h>

TEST(ChunkId, MapsTypeLettersAndStreamNumbers) {
    EXPECT_EQ(StreamKindFromChunkId("00dc"), FrontVideo);
    EXPECT_EQ(StreamKindFromChunkId("01dc"), RearVideo);
    EXPECT_EQ(StreamKindFromChunkId("02dc"), RearVideo);
    EXPECT_EQ(StreamKindFromChunkId("01wb"), Audio); // one-channel layout
    EXPECT_EQ(StreamKindFromChunkId("02wb"), Audio);
    EXPECT_EQ(StreamKindFromChunkId("02tx"), Text);
    EXPECT_EQ(StreamKindFromChunkId("03tx"), Text);
    EXPECT_EQ(StreamKindFromChunkId("idx1"), EndOfStream);
    EXPECT_EQ(StreamKindFromChunkId("JUNK"), EndOfStream);
    // Stream numbers read like atoi: leading digits only.
    EXPECT_EQ(ChunkStreamNumber("0xdc"), 0);
    EXPECT_EQ(ChunkStreamNumber("1xdc"), 1);
    EXPECT_EQ(ChunkStreamNumber("12dc"), 12);
    EXPECT_EQ(StreamKindFromChunkId("abdc"), FrontVideo);
    EXPECT_FALSE(IsMediaChunkId("idx1"));
    EXPECT_TRUE(IsMediaChunkId("03tx"));
}
