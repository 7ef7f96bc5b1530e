#pragma once
// The typing rules of the arithmetic, logic and comparison instructions. The binary
// operations combine the right operand B into the left operand A's cell. B is consumed: an
// object in B is released (or its unit moves into A), and B's cell is left null, so the
// interpreter pops it without releasing.
#include <cstdint>

#include "values/ScriptValue.h"

namespace kelvo {

class TVirtualMachine;
class TRTTI;

void ValAdd(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b);
void ValSub(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b);
void ValMul(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b);
// Zero divisors and integer division overflow raise EArithmeticError; A and B are unchanged.
void ValDiv(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b);
void ValMod(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b);

// Negates an int (wrapping) or a float in place; other values stay.
void ValNeg(TScriptValue& v);
// Int 0 when the value is true, else int 1; the old value is released.
void ValNot(TScriptValue& v);

// The difference d that the comparison instructions test against 0. Pure: no counting.
float ValCompare(const TVirtualMachine& vm, const TScriptValue& a, const TScriptValue& b);
// 1 when v is an object whose class is cls or a descendant of it, else 0.
int32_t ValIsA(const TScriptValue& v, const TRTTI* cls);

}  // namespace kelvo
