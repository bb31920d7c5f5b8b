#pragma once
// Errors that end a button action and are shown by the application's general
// error report, and the floating-point guard that turns the processor's
// exception flags (division by zero, invalid operation, overflow) into them.
//
// The engine computes with non-trapping IEEE arithmetic; a fault leaves a
// sticky status flag behind.  Checkpoints test the flags at the points where
// the computation would otherwise have trapped, so no NaN or infinity is ever
// iterated on.  Underflow and inexact results stay silent.

#include <cfenv>
#include <stdexcept>
#include <string>

namespace kelvane {

// An error whose message is shown by the general error report.
class GeneralError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class FaultKind { DivisionByZero, InvalidOperation, Overflow };

class ArithmeticFault : public GeneralError {
 public:
  explicit ArithmeticFault(FaultKind kind);
  FaultKind Kind() const { return kind_; }

 private:
  FaultKind kind_;
};

// The general error report's text for each kind of fault.
const char* FaultMessage(FaultKind kind);

constexpr int kFaultFlags = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

// Clears the fault flags (start of a run or of a guarded computation).
inline void ClearFaults() { std::feclearexcept(kFaultFlags); }

// Puts the calling thread's arithmetic in the state the engine's results
// assume: round to nearest (ties to even) and, on x87, the full 64-bit
// significand for extended intermediates, whatever a library set before.
void PrepareArithmetic();

// True when a fault flag is raised.  The order of preference, division by
// zero before overflow before invalid operation, names the first fault of the
// usual chains (x/0 -> inf -> inf-inf; overflow -> inf*0).
bool PendingFault(FaultKind* kind = nullptr);

// Throws ArithmeticFault when a flag is raised; the checkpoint of the
// unguarded computations.
void CheckFaults();

// A guarded computation: any fault raised inside fn is caught and reported as
// false, and leaves no flag behind.  Faults pending before the guard belong to
// the unguarded computation before it and are thrown first.
template <class Fn>
bool Guarded(Fn&& fn) {
  CheckFaults();
  fn();
  if (!PendingFault()) return true;
  ClearFaults();
  return false;
}

}  // namespace kelvane
