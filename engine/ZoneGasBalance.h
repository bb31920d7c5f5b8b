#pragma once
// The settings and outcome of zones whose gas carries what the coating gave
// off.

#include "engine/RunParameters.h"

namespace kelvane {

// Zones whose gas carries what the coating gave off: each zone's gas is
// well mixed, fed with make-up air at the given partial pressures and
// exhausted at a given flow, so its solvent partial pressures follow from the
// zone's own balance (see ZoneBalance.cpp).
struct ZoneGasBalance {
  bool On = false;
  // Per 1-based zone: the exhaust's volume at the zone's gas temperature per
  // m^2 of web passing, m^3/m^2; 0 keeps the zone's given gas.
  double ExhaustPerArea[MaxZones + 1] = {};
  // The make-up air's partial pressures, mmHg (the zone's given gas).
  double MakeUp1[MaxZones + 1] = {}, MakeUp2[MaxZones + 1] = {};
  // What the last balanced march of each zone took: marches, and the largest
  // relative imbalance of its two solvent balances.
  int Marches[MaxZones + 1] = {};
  double Imbalance[MaxZones + 1] = {};
  int MaxMarches = 60;
  double Tolerance = 1e-6;
};

}  // namespace kelvane
