#pragma once

#include "formula/CompiledFormula.h"

#include <QString>

// Parses a formula's code form:
//   expression := modTerm (("+" | "-") modTerm)*
//   modTerm    := product ("MOD" product)*          (MOD binds weaker than * and /)
//   product    := unary (("*" | "/") unary)*
//   unary      := ("+" | "-") unary | primary
//   primary    := unsigned integer | parameter code | "(" expression ")"
// Blanks may stand between tokens; codes and MOD in any letter case. Only the 77 parameter
// columns of the draw record are codes.
class FormulaCompiler
{
public:
    static CompiledFormula compile(const QString& code);
};
