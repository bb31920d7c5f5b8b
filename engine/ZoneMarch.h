#pragma once
// The march through a zone, with its gas balanced where asked.

namespace kelvane {

class Calculation;

// Zone march.
void MarchZone(Calculation& calc, int zone);
// The zone marched with its gas in balance with what the coating gives off
// (calc.Balance): marched again from its entrance with updated partial
// pressures until the zone's solvent balances close; the zone's gas is left
// in the run's parameters.  With the balance off, or no exhaust given for the
// zone, exactly MarchZone.  False when the balance did not close (the march
// itself may also have failed: TransferOk / ConvergenceOk).
bool MarchZoneBalanced(Calculation& calc, int zone);
// The rise of a solvent's partial pressure in a well-mixed zone, mmHg, when
// `evaporated` g/cm^2 of it (molecular weight M) go into `perArea` m^3/m^2
// of exhaust at the gas temperature T, degC (ideal gas, 1 atm).
double ZonePressureRise(double evaporated, double M, double T, double perArea);
extern const char* const ZoneBalanceFailureMessage;
double SecantStep(Calculation& calc, double x1, double x0, double f1, double f0);

}  // namespace kelvane
