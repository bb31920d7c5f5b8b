#include "engine/Faults.h"

#if defined(__x86_64__) || defined(__i386__)
#include <fpu_control.h>
#endif

namespace kelvane {

const char* FaultMessage(FaultKind kind) {
  switch (kind) {
    case FaultKind::DivisionByZero: return "0 による浮動小数点数除算";
    case FaultKind::InvalidOperation: return "不正な浮動小数点数演算命令";
    case FaultKind::Overflow: return "浮動小数点数のオーバーフロー";
  }
  return "";
}

ArithmeticFault::ArithmeticFault(FaultKind kind) : GeneralError(FaultMessage(kind)), kind_(kind) {}

bool PendingFault(FaultKind* kind) {
  const int raised = std::fetestexcept(kFaultFlags);
  if (!raised) return false;
  if (kind) {
    if (raised & FE_DIVBYZERO) *kind = FaultKind::DivisionByZero;
    else if (raised & FE_OVERFLOW) *kind = FaultKind::Overflow;
    else *kind = FaultKind::InvalidOperation;
  }
  return true;
}

void PrepareArithmetic() {
  std::fesetround(FE_TONEAREST);
#if defined(__x86_64__) || defined(__i386__)
  fpu_control_t cw;
  _FPU_GETCW(cw);
  const fpu_control_t wanted = static_cast<fpu_control_t>((cw & ~_FPU_EXTENDED) | _FPU_EXTENDED);
  if (wanted != cw) _FPU_SETCW(wanted);
#endif
  ClearFaults();
}

void CheckFaults() {
  FaultKind kind;
  if (PendingFault(&kind)) {
    ClearFaults();
    throw ArithmeticFault(kind);
  }
}

}  // namespace kelvane
