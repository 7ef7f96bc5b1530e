#include <gtest/gtest.h>

#include <cstring>

#include "platform/ShiftJis.h"
#include "values/Arithmetic.h"
#include "vm/VmFixture.h"

namespace kelvo {
namespace {

using testing::ErrorOf;
using testing::VmFixture;

// Operand notation: "n" null, "i5" int, "f2.5" float, "s:text" string, "o" an Enemy object,
// "h" a host reference. Results: "i:5", "f:3.5", "s:text", "n", "o:A" / "o:B" (the object
// that was A or B).
class ArithmeticTest : public VmFixture {
 protected:
  TScriptValue Make(const std::string& notation) {
    switch (notation[0]) {
      case 'n': return NullValue();
      case 'i': return IntValue(static_cast<int32_t>(std::stoll(notation.substr(1))));
      case 'f': return FloatValue(std::stof(notation.substr(1)));
      case 's': return Str(notation.substr(2));
      case 'o': return NewObject(enemy);
      case 'h': return enemy->SelfCell;
    }
    ADD_FAILURE() << notation;
    return NullValue();
  }
  std::string Describe(const TScriptValue& v, const TScriptValue& a, const TScriptValue& b) {
    switch (v.Tag) {
      case vkNull: return "n";
      case vkInt: return "i:" + Text(v);
      case vkFloat: return "f:" + Text(v);
      case vkObject:
        if (IsStringObject(vm, v.Object)) return "s:" + Text(v);
        return v.Object == a.Object ? "o:A" : v.Object == b.Object ? "o:B" : "o:?";
      case vkHost: return "h";
    }
    return "?";
  }
  TRTTI* enemy = MakeClass("Enemy");
};

using BinaryOp = void (*)(TVirtualMachine&, TScriptValue&, TScriptValue&);

TEST_F(ArithmeticTest, TypingTable) {
  struct Case { const char* op; const char* a; const char* b; const char* result; };
  const Case cases[] = {
      {"+", "i2", "i3", "i:5"},
      {"+", "i2147483647", "i1", "i:-2147483648"},
      {"+", "i1", "f0.5", "f:1.5"},
      {"+", "f0.1", "f0.2", "f:0.300000011920929"},
      {"+", "s:a", "i1", "s:a1"},
      {"+", "i1", "s:a", "s:1a"},
      {"+", "f1.5", "s:a", "s:1.5a"},
      {"+", "s:a", "n", "s:anull"},
      {"+", "s:a", "s:b", "s:ab"},
      {"+", "i5", "n", "i:5"},
      {"+", "i5", "h", "i:5"},
      {"+", "n", "i5", "i:5"},
      {"+", "n", "o", "o:B"},
      {"+", "h", "f2.5", "f:2.5"},
      {"-", "i5", "i7", "i:-2"},
      {"-", "i-2147483648", "i1", "i:2147483647"},
      {"-", "i7", "f0.5", "f:6.5"},
      {"-", "n", "i5", "i:-5"},
      {"-", "n", "f2.5", "f:-2.5"},
      {"-", "n", "s:x", "s:x"},
      {"-", "o", "i1", "o:A"},
      {"-", "i5", "o", "i:5"},
      {"-", "s:a", "i1", "s:a"},
      {"*", "i65536", "i65536", "i:0"},
      {"*", "i-3", "i4", "i:-12"},
      {"*", "f1.5", "i2", "f:3"},
      {"*", "n", "i5", "i:5"},
      {"*", "i5", "n", "i:5"},
      {"*", "o", "o", "o:A"},
      {"/", "i6", "i3", "i:2"},
      {"/", "i-6", "i3", "i:-2"},
      {"/", "i7", "i2", "f:3.5"},
      {"/", "i1", "i3", "f:0.333333343267441"},
      {"/", "f7", "i2", "f:3.5"},
      {"/", "i5", "n", "i:5"},
      {"/", "i4", "s:x", "i:4"},
      {"/", "n", "i5", "i:5"},
      {"/", "n", "i0", "i:0"},
      {"/", "o", "i2", "o:A"},
      {"%", "i-7", "i2", "i:-1"},
      {"%", "i7", "i-3", "i:1"},
      {"%", "f7.5", "i2", "i:1"},
      {"%", "f-7.9", "f2.5", "i:-1"},
      {"%", "i7", "f2.9", "i:1"},
      {"%", "n", "i3", "i:3"},
      {"%", "i5", "n", "i:5"},
      {"%", "o", "i3", "o:A"},
  };
  for (const auto& c : cases) {
    TScriptValue a = Make(c.a), b = Make(c.b);
    const TScriptValue origA = a, origB = b;
    BinaryOp op = *c.op == '+' ? ValAdd : *c.op == '-' ? ValSub : *c.op == '*' ? ValMul
                : *c.op == '/' ? ValDiv : ValMod;
    op(vm, a, b);
    EXPECT_EQ(Describe(a, origA, origB), c.result) << c.a << " " << c.op << " " << c.b;
    EXPECT_EQ(b.Tag, vkNull) << "B is consumed: " << c.a << " " << c.op << " " << c.b;
  }
}

TEST_F(ArithmeticTest, ZeroDivisorsAndOverflowAreErrors) {
  struct Case { BinaryOp op; const char* a; const char* b; const char* message; };
  const Case cases[] = {
      {ValDiv, "i1", "i0", "Division by zero"},
      {ValDiv, "f1", "i0", "Floating point division by zero"},
      {ValDiv, "i1", "f0", "Floating point division by zero"},
      {ValMod, "i1", "i0", "Division by zero"},
      {ValMod, "i5", "f0.5", "Division by zero"},  // the divisor truncates to 0
      {ValMod, "f5", "f-0.9", "Division by zero"},
      {ValDiv, "i-2147483648", "i-1", "Integer overflow"},
      {ValMod, "i-2147483648", "i-1", "Integer overflow"},
  };
  for (const auto& c : cases) {
    TScriptValue a = Make(c.a), b = Make(c.b);
    const TScriptValue origA = a;
    EXPECT_EQ(ErrorOf([&] { c.op(vm, a, b); }), c.message) << c.a << " " << c.b;
    EXPECT_EQ(a.Tag, origA.Tag);
    EXPECT_EQ(a.Raw, origA.Raw);
  }
}

// Every object that leaves the two operand cells gives up its unit; an object that moves
// into A keeps it; a new string result has count 1.
TEST_F(ArithmeticTest, OperandCountsAfterTheOperation) {
  struct Case { BinaryOp op; const char* a; int aCountAfter; int bCountAfter; };
  const Case cases[] = {
      {ValAdd, "i1", -99, 0},   // concatenation: B released
      {ValAdd, "o", 0, 0},      // A's object replaced by the string, B released
      {ValSub, "o", 1, 0},      // A unchanged, B dropped
      {ValSub, "i1", -99, 0},
      {ValMul, "n", -99, 1},    // B moves into A
      {ValDiv, "i4", -99, 0},
      {ValMod, "o", 1, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    TScriptValue a = Make(c.a);
    TScriptValue b = NewObject(enemy);
    TInstance* aObj = GetObject(a);
    TInstance* bObj = b.Object;
    c.op(vm, a, b);
    if (aObj) {
      EXPECT_EQ(aObj->RefCount, c.aCountAfter) << i;
    }
    EXPECT_EQ(bObj->RefCount, c.bCountAfter) << i;
    if (a.Tag == vkObject && IsStringObject(vm, a.Object)) {
      EXPECT_EQ(a.Object->RefCount, 1) << i;
    }
  }
}

TEST_F(ArithmeticTest, ComparisonDifference) {
  struct Case { const char* a; const char* b; float d; };
  const Case cases[] = {
      {"n", "n", 0.0f},
      {"n", "i0", 1.0f},          // null > 0, null != 0
      {"i0", "n", 1.0f},
      {"i3", "i5", -2.0f},
      {"i2147483647", "i-1", -2147483648.0f},  // the difference wraps
      {"i1", "f1.5", -0.5f},
      {"f2.5", "i2", 0.5f},
      {"i1", "o", 1.0f},
      {"f1", "h", 1.0f},
      {"s:1", "i1", 0.0f},        // compared as text
      {"i1", "s:1", 1.0f},
      {"s:a", "s:b", 1.0f},       // a < b and b < a are both false, a > b is true
      {"s:b", "s:a", 1.0f},
      {"s:a", "s:a", 0.0f},
      {"s:null", "n", 0.0f},
      {"o", "o", 1.0f},           // two different objects
      {"o", "i1", 1.0f},
      {"h", "h", 1.0f},
  };
  for (const auto& c : cases) {
    TScriptValue a = Make(c.a), b = Make(c.b);
    EXPECT_EQ(ValCompare(vm, a, b), c.d) << c.a << " ? " << c.b;
  }
  TScriptValue o = NewObject(enemy);
  EXPECT_EQ(ValCompare(vm, o, o), 0.0f);
}

TEST_F(ArithmeticTest, UnaryOperationsAndIs) {
  struct Case { const char* v; const char* neg; const char* notResult; };
  const Case cases[] = {
      {"i5", "i:-5", "i:0"},
      {"i-2147483648", "i:-2147483648", "i:0"},
      {"i0", "i:0", "i:1"},
      {"f2.5", "f:-2.5", "i:0"},
      {"f0", "f:0", "i:1"},
      {"n", "n", "i:1"},
      {"s:", "s:", "i:0"},  // the empty string is an object, so true
      {"h", "h", "i:0"},
  };
  for (const auto& c : cases) {
    TScriptValue v = Make(c.v), w = Make(c.v);
    ValNeg(v);
    EXPECT_EQ(Describe(v, v, v), c.neg) << c.v;
    ValNot(w);
    EXPECT_EQ(Describe(w, w, w), c.notResult) << c.v;
  }
  // Not releases the object it replaces.
  TScriptValue o = NewObject(enemy);
  TInstance* inst = o.Object;
  ValNot(o);
  EXPECT_EQ(inst->RefCount, 0);

  TRTTI* boss = MakeClass("Boss", {}, enemy);
  TScriptValue b = NewObject(boss), e = NewObject(enemy);
  EXPECT_EQ(ValIsA(b, enemy), 1);
  EXPECT_EQ(ValIsA(b, boss), 1);
  EXPECT_EQ(ValIsA(e, boss), 0);
  EXPECT_EQ(ValIsA(e, stringClass), 0);
  EXPECT_EQ(ValIsA(IntValue(1), enemy), 0);
  EXPECT_EQ(ValIsA(enemy->SelfCell, enemy), 0);
}

}  // namespace
}  // namespace kelvo
