#include "platform/ByteStream.h"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(ByteStream, PrimitivesRoundTripInTheirByteLayout) {
  TByteWriter out;
  out.WriteInt(-2);
  out.WriteString("");
  out.WriteStringList({"ab", "c"});
  const std::vector<uint8_t> expected = {
      0xFE, 0xFF, 0xFF, 0xFF,                   // -2
      1, 0, 0, 0, 0,                            // the empty string: length 1 and a zero
      2, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0, 2, 0, 0, 0, 'c', 0,
  };
  EXPECT_EQ(out.Bytes(), expected);

  TByteReader in(expected);
  EXPECT_EQ(in.ReadInt(), -2);
  EXPECT_EQ(in.ReadString(), "");
  EXPECT_EQ(in.ReadStringList(), (std::vector<std::string>{"ab", "c"}));
  EXPECT_TRUE(in.AtEnd());
  EXPECT_THROW(in.ReadInt(), EReadError);
}

TEST(ByteStream, ReadsNeverPassTheEnd) {
  const std::vector<uint8_t> data = {5, 0, 0, 0, 'a', 'b', 0, 'c'};
  {
    TByteReader in(data);
    EXPECT_THROW(in.ReadString(), EReadError);  // claims 5 bytes, 4 remain
  }
  {
    TByteReader in(data.data(), 3);
    EXPECT_THROW(in.ReadInt(), EReadError);
    EXPECT_EQ(in.Offset(), 0u);
  }
  {
    // A zero inside the text ends it; the full claimed length is still consumed.
    const std::vector<uint8_t> embedded = {4, 0, 0, 0, 'a', 0, 'b', 0, 9};
    TByteReader in(embedded);
    EXPECT_EQ(in.ReadString(), "a");
    EXPECT_EQ(in.Remaining(), 1u);
  }
  {
    const std::vector<uint8_t> huge = {0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 0};
    TByteReader in(huge);
    EXPECT_THROW(in.ReadStringList(), EReadError);  // a count the data cannot hold
  }
}

}  // namespace
}  // namespace kelvo
