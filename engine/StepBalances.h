#pragma once
// One trial's balances: the film side, the layer shrinkage, the gas side and
// the film temperature.

namespace kelvane {

class Calculation;

// Step balances.
void EvaluateTrial(Calculation& calc);
void SolveFilm(Calculation& calc);
void ShrinkLayers(Calculation& calc);
void GasSideFlux(Calculation& calc);
double UpdateTemperature(Calculation& calc, double c1, double c2, double cP, double L, double T, int z);
// Fast path: the trial-independent film side of the step, and the gas-side
// mass-transfer coefficients, which depend on the zone alone.
void PrepareStep(Calculation& calc);
void PrepareZone(Calculation& calc);

}  // namespace kelvane
