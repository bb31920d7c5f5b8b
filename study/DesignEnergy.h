#pragma once
// The energy a design compares, caps and trades speed against.

#include "study/Design.h"

namespace kelvane {

// A run's energy per m^2 of web, kJ/m^2: each zone's heat into the web,
// counted only where the gas gives heat, plus the heat of its make-up air
// from the room to the gas temperature, at the zone's given exhaust flow or
// else at the flow needed to keep the exhaust at the allowed share of the
// LFL.  A run whose make-up air alone is at the share (no flow is enough)
// falls back to the heat from the gas.
double DesignEnergy(const DesignProblem& p, const RowResult& r);

// The heat a run takes from the gas, kJ/m^2: each zone counted only where
// its gas gives heat to the web, never credited for a zone that takes heat
// back from a film warmer than its gas (no burner returns it).
double HeatFromGas(const RowResult& r);

}  // namespace kelvane
