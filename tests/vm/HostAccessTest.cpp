#include <gtest/gtest.h>

#include <memory>

#include "platform/ShiftJis.h"
#include "values/ValueEncoding.h"
#include "vm/HostAccess.h"
#include "vm/VmFixture.h"

namespace kelvo {
namespace {

using testing::ErrorOf;
using testing::VmFixture;

class HostAccessTest : public VmFixture {};

TEST_F(HostAccessTest, KindsAndLivenessAreChecked) {
  TRTTI* cls = MakeClass("Enemy");
  TScriptValue s = Str("abc");
  TScriptValue body = Member(s, "_body");

  EXPECT_EQ(&HostCast<TRTTI>(vm, cls->SelfCell), cls);
  EXPECT_EQ(HostCast<TfString>(vm, body).Text, "abc");
  EXPECT_EQ(HostIf<TRTTI>(vm.Hosts(), body), nullptr);
  EXPECT_EQ(HostIf<TfString>(vm.Hosts(), body)->Text, "abc");

  struct Case { TScriptValue v; std::string message; };
  const Case cases[] = {
      {body, SJ("TfStringはTRTTIではありません")},
      {IntValue(3), "3" + SJ("はホストオブジェクトではありません")},
      {s, SJ("abcはホストオブジェクトではありません")},
      // integers turned into host references
      {HostValue(0), SJ("ホスト参照0は無効です")},
      {HostValue(777777), SJ("ホスト参照777777は無効です")},
      {HostValue(0x80000001u), SJ("ホスト参照2147483649は無効です")},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf([&] { HostCast<TRTTI>(vm, c.v); }), c.message);

  // A freed object's handle stays dead, also once its slot serves a new object.
  const uint32_t stale = GetHost(body);
  FreeStringBody(vm, body);
  EXPECT_EQ(ErrorOf([&] { HostCast<TfString>(vm, body); }),
            SJ("ホスト参照") + std::to_string(stale) + SJ("は無効です"));
  std::vector<TScriptValue> fresh;
  for (int i = 0; i < 50; ++i) fresh.push_back(Str("n"));
  EXPECT_EQ(vm.Hosts().Find(stale), nullptr);
  EXPECT_EQ(Text(body), "TObject");
}

TEST(HandleTable, StaleHandlesAreNotFoundAfterSlotReuse) {
  THandleTable<int, 9> table;
  int a = 1, b = 2;
  const uint32_t ha = table.Add(&a);
  table.Remove(ha);
  const uint32_t hb = table.Add(&b);  // the only free slot: same index, next generation
  EXPECT_EQ(hb & decltype(table)::kIndexMask, ha & decltype(table)::kIndexMask);
  EXPECT_NE(hb, ha);
  EXPECT_EQ(table.Find(ha), nullptr);
  EXPECT_EQ(table.Find(hb), &b);
  EXPECT_EQ(table.Find(0), nullptr);
  EXPECT_GT(static_cast<int32_t>(hb), 0);
  table.Remove(ha);  // removing a stale handle leaves the live one
  EXPECT_EQ(table.Find(hb), &b);
  EXPECT_EQ(table.Live(), 1u);
}

class ValueEncodingTest : public VmFixture {};

TEST_F(ValueEncodingTest, EightBytesWithHandles) {
  TRTTI* cls = MakeClass("Enemy");
  TScriptValue obj = NewObject(cls);
  TScriptValue global = IntValue(5);

  struct Case { TScriptValue v; TEncodedValue bytes; };
  const uint32_t h = obj.Object->Handle, c = cls->HostHandle();
  const Case cases[] = {
      {NullValue(), {0, 0, 0, 0, 0, 0, 0, 0}},
      {IntValue(-2), {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
      {FloatValue(1.0f), {2, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F}},
      {obj, {3, 0, 0, 0, uint8_t(h), uint8_t(h >> 8), uint8_t(h >> 16), uint8_t(h >> 24)}},
      {cls->SelfCell, {5, 0, 0, 0, uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)}},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(EncodeValue(vm, k.v), k.bytes) << int(k.v.Tag);
    TScriptValue back = DecodeValue(vm, k.bytes.data());
    EXPECT_EQ(back.Tag, k.v.Tag);
    EXPECT_EQ(ValToText(vm, back), ValToText(vm, k.v));
  }
  // A pointer to a global's cell is a cell handle; it decodes to the same cell.
  TEncodedValue ref = EncodeValue(vm, RefValue(&global));
  EXPECT_EQ(ref[0], vkRef);
  EXPECT_EQ(DecodeValue(vm, ref.data()).Ref, &global);
  EXPECT_EQ(EncodeValue(vm, RefValue(&global)), ref);  // registered once
  EXPECT_EQ(obj.Object->RefCount, 1);                 // decoding does not count

  vm.Cells().Unregister(&global);
  const std::string bad = SJ("異常な値が入っています");
  const TEncodedValue broken[] = {
      ref,                               // the cell went away
      {6, 0, 0, 0, 0, 0, 0, 0},          // no such tag
      {1, 0, 1, 0, 0, 0, 0, 0},          // filler bytes must be zero
      {3, 0, 0, 0, 0xFF, 0xFF, 0, 0},    // no such object
      {3, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const auto& b : broken) EXPECT_EQ(ErrorOf([&] { DecodeValue(vm, b.data()); }), bad);
}

}  // namespace
}  // namespace kelvo
