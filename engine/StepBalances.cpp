// The balances of one marching step: the film side (effective diffusivities
// and one implicit diffusion step per solvent), the layer bookkeeping that
// turns the solvent lost by every layer into the film-side fluxes, the
// gas-side evaporation fluxes, and the heat balance of coating plus base.

#include <cmath>
#include <optional>

#include "engine/MiscCalc.h"

namespace kelvane {

using LD = long double;

namespace {

// Effective diffusivities at every node from the start-of-step state:
// free-volume base diffusivity, the (1 - phi)^2 (1 - 2 chi phi) correction
// and the Flory-Huggins thermodynamic factor.
void ComputeEffectiveDiffusivities(Calculation& calc, bool literal) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  const int N = p.TotalLayerCount;
  const double Dconst1 = CalcDconst(p.DiffParams1[1], p.DiffParams1[2], st.T);
  const double Dconst2 = CalcDconst(p.DiffParams2[1], p.DiffParams2[2], st.T);
  const double omegaG1 = CalcOmegaG(p.DiffParams1[3], p.DiffParams1[4], Dconst1);
  const double omegaG2 = CalcOmegaG(p.DiffParams2[3], p.DiffParams2[4], Dconst2);
  const double V1 = calc.State.MolarVolume1;
  const double V2 = calc.State.MolarVolume2;
  const LD lnD1 = literal ? 0 : std::log(static_cast<LD>(Dconst1));
  const LD lnD2 = literal ? 0 : std::log(static_cast<LD>(Dconst2));
  const bool quotients = !literal && st.Act1.Valid && st.Act2.Valid;
  for (int i = 0; i <= N; ++i) {
    const double w = static_cast<double>(static_cast<LD>(st.OldMassFrac1[i]) + st.OldMassFrac2[i]);
    if (literal) {
      st.BaseDiff1[i] = CalcBaseDiff(p.DiffParams1, w, omegaG1, Dconst1);
      st.BaseDiff2[i] = CalcBaseDiff(p.DiffParams2, w, omegaG2, Dconst2);
    } else {
      st.BaseDiff1[i] = w >= omegaG1 ? Dconst1 : CalcBaseDiffBelow(p.DiffParams1, w, omegaG1, lnD1);
      st.BaseDiff2[i] = w >= omegaG2 ? Dconst2 : CalcBaseDiffBelow(p.DiffParams2, w, omegaG2, lnD2);
    }
    const double phi = static_cast<double>(static_cast<LD>(st.OldVolFrac1[i]) + st.OldVolFrac2[i]);
    const LD sq = (1.0L - phi) * (1.0L - phi);
    st.CorrDiff1[i] = static_cast<double>(st.BaseDiff1[i] / (sq * (1.0L - (2.0L * p.Chi1p) * phi)));
    st.CorrDiff2[i] = static_cast<double>(st.BaseDiff2[i] / (sq * (1.0L - (2.0L * p.Chi2p) * phi)));
    const double Q1 =
        quotients ? ThermoFactorFast(p.Chi1p, p.Chi12, st.Act1, st.OldVolFrac1[i], st.OldVolFrac2[i], st.OldVolFracP[i])
                  : ThermoFactor(p.Chi1p, p.Chi2p, p.Chi12, V1, V2, st.OldVolFrac1[i], st.OldVolFrac2[i],
                                 st.OldVolFracP[i]);
    const double Q2 =
        quotients ? ThermoFactorFast(p.Chi2p, p.Chi12, st.Act2, st.OldVolFrac2[i], st.OldVolFrac1[i], st.OldVolFracP[i])
                  : ThermoFactor(p.Chi2p, p.Chi1p, p.Chi12, V2, V1, st.OldVolFrac2[i], st.OldVolFrac1[i],
                                 st.OldVolFracP[i]);
    st.EffDiff1[i] = static_cast<double>((static_cast<LD>(p.Fter1) * Q1) * st.CorrDiff1[i]);
    st.EffDiff2[i] = static_cast<double>((static_cast<LD>(p.Fter2) * Q2) * st.CorrDiff2[i]);
  }
}

// End-of-step mass and volume fractions from the new concentrations.  Node 0
// gives back the trial surface values up to the last bits.
void FinishFilm(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  const int N = p.TotalLayerCount;
  if (calc.LiteralTrials) {
    for (int i = 0; i <= N; ++i) {
      st.NewMassFrac1[i] = ConcToMassFrac(st.NewConc1[i], st.NewConc2[i], p.Density1, p.Density2, p.PolymerDensity);
      st.NewMassFrac2[i] = ConcToMassFrac(st.NewConc2[i], st.NewConc1[i], p.Density2, p.Density1, p.PolymerDensity);
    }
  } else {
    // Both solvents share the polymer concentration and the total: the sums
    // are the same in either order, so they are formed once per node.
    for (int i = 0; i <= N; ++i) {
      const double c1 = st.NewConc1[i], c2 = st.NewConc2[i];
      const double t = static_cast<double>(
          (1.0L - (static_cast<LD>(c1) / p.Density1 + static_cast<LD>(c2) / p.Density2)) * p.PolymerDensity);
      const double sum = static_cast<double>((static_cast<LD>(c1) + c2) + t);
      st.NewMassFrac1[i] = static_cast<double>(static_cast<LD>(c1) / sum);
      st.NewMassFrac2[i] = static_cast<double>(static_cast<LD>(c2) / sum);
    }
  }
  for (int i = 0; i <= N; ++i) {
    st.NewMassFracP[i] = static_cast<double>(1.0L - (static_cast<LD>(st.NewMassFrac1[i]) + st.NewMassFrac2[i]));
    const LD v1 = static_cast<LD>(st.NewMassFrac1[i]) / p.Density1;
    const LD v2 = static_cast<LD>(st.NewMassFrac2[i]) / p.Density2;
    const LD V = (v1 + v2) + static_cast<LD>(st.NewMassFracP[i]) / p.PolymerDensity;
    st.NewVolFrac1[i] = static_cast<double>(v1 / V);
    st.NewVolFrac2[i] = static_cast<double>(v2 / V);
  }
}

}  // namespace

void PrepareStep(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  const FilmState& s = calc.State;
  const int N = p.TotalLayerCount;
  ComputeEffectiveDiffusivities(calc, false);
  PlanDiffusionSteps(st.OldMassFrac1, st.OldMassFrac2, st.EffDiff1, st.EffDiff2, s.OldLayerThick, p.Density1,
                     p.Density2, p.PolymerDensity, N, p.IncrementZ, s.WebSpeedCm, calc.Plan1, calc.Plan2);
  for (int i = 1; i <= N; ++i) {
    st.OldLayerFrac1[i] = static_cast<double>((static_cast<LD>(st.OldVolFrac1[i - 1]) + st.OldVolFrac1[i]) / 2);
    st.OldLayerFrac2[i] = static_cast<double>((static_cast<LD>(st.OldVolFrac2[i - 1]) + st.OldVolFrac2[i]) / 2);
    st.OldLayerFracP[i] = static_cast<double>(1.0L - (static_cast<LD>(st.OldLayerFrac1[i]) + st.OldLayerFrac2[i]));
  }
  st.Ps1 = VaporPressure(p.VaporA1, p.VaporB1, p.VaporC1, st.T);
  st.Ps2 = VaporPressure(p.VaporA2, p.VaporB2, p.VaporC2, st.T);
  CheckFaults();
}

void PrepareZone(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  const double h = p.CoatHeatTransferCoeff[st.Zone];
  st.Ktrans1 = MassTransferCoeff(p.AirDiffusivity1, h);
  st.Ktrans2 = MassTransferCoeff(p.AirDiffusivity2, h);
  const FilmState& s = calc.State;
  st.Act1 = FormActivityConstants(p.Chi2p, s.MolarVolume1, s.MolarVolume2);
  st.Act2 = FormActivityConstants(p.Chi1p, s.MolarVolume2, s.MolarVolume1);
}

void SolveFilm(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  const FilmState& s = calc.State;
  const int N = p.TotalLayerCount;
  const double ws1 = st.NewMassFrac1[0];
  const double ws2 = st.NewMassFrac2[0];
  if (calc.LiteralTrials) {
    ComputeEffectiveDiffusivities(calc, true);
    DiffusionStep(st.OldMassFrac1, st.OldMassFrac2, st.EffDiff1, s.OldLayerThick, p.Density1, p.Density2,
                  p.PolymerDensity, ws1, ws2, N, p.IncrementZ, s.WebSpeedCm, st.NewConc1);
    DiffusionStep(st.OldMassFrac2, st.OldMassFrac1, st.EffDiff2, s.OldLayerThick, p.Density2, p.Density1,
                  p.PolymerDensity, ws2, ws1, N, p.IncrementZ, s.WebSpeedCm, st.NewConc2);
  } else if (!(calc.Robust && calc.LeftPlainPath)) {
    ApplyDiffusionPlans(calc.Plan1, calc.Plan2, p.Density1, p.Density2, p.PolymerDensity, ws1, ws2, st.NewConc1,
                        st.NewConc2);
  } else {
    // Off the plain path the sign of a zero concentration is left as the
    // replay forms it: deep in a dry coating a solvent taken up from the gas
    // falls below the smallest double, and deciding those zeros' signs would
    // cost a dense elimination per trial.  A solvent that is gone has a zero
    // profile and a zero surface value: its diffusion step keeps it at zero.
    if (!st.Gone1 && !st.Gone2) {
      ApplyDiffusionPlans(calc.Plan1, calc.Plan2, p.Density1, p.Density2, p.PolymerDensity, ws1, ws2, st.NewConc1,
                          st.NewConc2, false);
    } else {
      if (st.Gone1) st.NewConc1.fill(0.0);
      else ApplyDiffusionPlan(calc.Plan1, p.Density1, p.Density2, p.PolymerDensity, ws1, ws2, st.NewConc1, false);
      if (st.Gone2) st.NewConc2.fill(0.0);
      else ApplyDiffusionPlan(calc.Plan2, p.Density2, p.Density1, p.PolymerDensity, ws2, ws1, st.NewConc2, false);
    }
  }
  FinishFilm(calc);
}

// Each layer keeps its polymer: it shrinks as its solvent leaves, and the
// solvent volume lost by all layers over the step time is the film-side flux.
void ShrinkLayers(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  FilmState& s = calc.State;
  const int N = p.TotalLayerCount;
  // The losses are summed in extended precision; only the fluxes are stored.
  LD loss1 = 0, loss2 = 0;
  if (!calc.LiteralTrials) {
    // The start-of-step side was formed once for the step.  The layers'
    // losses are formed first and summed after, in the same order: the two
    // sums then stay in registers rather than passing through memory at
    // every layer.
    double v1[MaxNodes], v2[MaxNodes];
    for (int i = 1; i <= N; ++i) {
      const double p1 = st.OldLayerFrac1[i], p2 = st.OldLayerFrac2[i], pP = st.OldLayerFracP[i];
      const double q1 = static_cast<double>((static_cast<LD>(st.NewVolFrac1[i - 1]) + st.NewVolFrac1[i]) / 2);
      const double q2 = static_cast<double>((static_cast<LD>(st.NewVolFrac2[i - 1]) + st.NewVolFrac2[i]) / 2);
      const double qP = static_cast<double>(1.0L - (static_cast<LD>(q1) + q2));
      s.NewLayerThick[i] = static_cast<double>((static_cast<LD>(s.OldLayerThick[i]) * pP) / qP);
      v1[i] = static_cast<double>(static_cast<LD>(s.OldLayerThick[i]) * p1 -
                                  static_cast<LD>(s.NewLayerThick[i]) * q1);
      v2[i] = static_cast<double>(static_cast<LD>(s.OldLayerThick[i]) * p2 -
                                  static_cast<LD>(s.NewLayerThick[i]) * q2);
    }
    for (int i = 1; i <= N; ++i) {
      loss1 = loss1 + v1[i];
      loss2 = loss2 + v2[i];
    }
    st.FilmFlux1 = static_cast<double>(((loss1 * p.Density1) * s.WebSpeedCm) / p.IncrementZ);
    st.FilmFlux2 = static_cast<double>(((loss2 * p.Density2) * s.WebSpeedCm) / p.IncrementZ);
    return;
  }
  for (int i = 1; i <= N; ++i) {
    const double p1 = static_cast<double>((static_cast<LD>(st.OldVolFrac1[i - 1]) + st.OldVolFrac1[i]) / 2);
    const double p2 = static_cast<double>((static_cast<LD>(st.OldVolFrac2[i - 1]) + st.OldVolFrac2[i]) / 2);
    const double pP = static_cast<double>(1.0L - (static_cast<LD>(p1) + p2));
    const double q1 = static_cast<double>((static_cast<LD>(st.NewVolFrac1[i - 1]) + st.NewVolFrac1[i]) / 2);
    const double q2 = static_cast<double>((static_cast<LD>(st.NewVolFrac2[i - 1]) + st.NewVolFrac2[i]) / 2);
    const double qP = static_cast<double>(1.0L - (static_cast<LD>(q1) + q2));
    s.NewLayerThick[i] = static_cast<double>((static_cast<LD>(s.OldLayerThick[i]) * pP) / qP);
    const double v1 = static_cast<double>(static_cast<LD>(s.OldLayerThick[i]) * p1 -
                                          static_cast<LD>(s.NewLayerThick[i]) * q1);
    const double v2 = static_cast<double>(static_cast<LD>(s.OldLayerThick[i]) * p2 -
                                          static_cast<LD>(s.NewLayerThick[i]) * q2);
    loss1 = loss1 + v1;
    loss2 = loss2 + v2;
  }
  st.FilmFlux1 = static_cast<double>(((loss1 * p.Density1) * s.WebSpeedCm) / p.IncrementZ);
  st.FilmFlux2 = static_cast<double>(((loss2 * p.Density2) * s.WebSpeedCm) / p.IncrementZ);
}

namespace {

// k rho_g (M / M_air) (P - p) / (760 - P), g/(cm^2.s).
double EvaporationFlux(double Keff, double k, double M, double P, double pGas) {
  return static_cast<double>((((((static_cast<LD>(Keff) * k) * 0.001059L) * M) / 28.97L) *
                              (static_cast<LD>(P) - pGas)) /
                             (760.0L - P));
}

}  // namespace

// Evaporation into the zone's gas: k rho_g (M / M_air) (P - p) / (760 - P).
void GasSideFlux(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  const FilmState& s = calc.State;
  const int z = st.Zone;
  const double phi1s = st.NewVolFrac1[0];
  const double phi2s = st.NewVolFrac2[0];
  const bool literal = calc.LiteralTrials;
  const double P1 = SurfacePartialPressureReported(
      calc, literal ? TrySurfacePartialPressure(st.T, phi1s, phi2s, s.MolarVolume1, s.MolarVolume2, p.VaporA1,
                                                p.VaporB1, p.VaporC1, p.Chi1p, p.Chi2p, p.Chi12)
            : st.Act1.Valid ? SurfacePartialPressureFast(st.Ps1, phi1s, phi2s, s.MolarVolume1, s.MolarVolume2,
                                                         p.Chi1p, p.Chi2p, p.Chi12, st.Act1)
                            : SurfacePartialPressureAt(st.Ps1, phi1s, phi2s, s.MolarVolume1, s.MolarVolume2, p.Chi1p,
                                                       p.Chi2p, p.Chi12));
  if (!calc.TransferOk) return;
  const double P2 = SurfacePartialPressureReported(
      calc, literal ? TrySurfacePartialPressure(st.T, phi2s, phi1s, s.MolarVolume2, s.MolarVolume1, p.VaporA2,
                                                p.VaporB2, p.VaporC2, p.Chi2p, p.Chi1p, p.Chi12)
            : st.Act2.Valid ? SurfacePartialPressureFast(st.Ps2, phi2s, phi1s, s.MolarVolume2, s.MolarVolume1,
                                                         p.Chi2p, p.Chi1p, p.Chi12, st.Act2)
                            : SurfacePartialPressureAt(st.Ps2, phi2s, phi1s, s.MolarVolume2, s.MolarVolume1, p.Chi2p,
                                                       p.Chi1p, p.Chi12));
  if (!calc.TransferOk) return;
  st.P1 = P1;
  st.P2 = P2;
  const double h = p.CoatHeatTransferCoeff[z];
  const double k1 = literal ? MassTransferCoeff(p.AirDiffusivity1, h) : st.Ktrans1;
  const double k2 = literal ? MassTransferCoeff(p.AirDiffusivity2, h) : st.Ktrans2;
  st.GasFlux1 = EvaporationFlux(p.Keff1, k1, p.MolecularWeight1, P1, p.PartialPressure1[z]);
  st.GasFlux2 = EvaporationFlux(p.Keff2, k2, p.MolecularWeight2, P2, p.PartialPressure2[z]);
}

// The same gas side with a solvent absent from the surface allowed: its
// activity, and so its partial pressure over the coating, is then zero (the
// limit of phi exp(Q) as phi -> 0), where the logarithm of the guarded
// evaluation has no value.  Used by the robust surface solve only.
bool GasSideFluxAllowingAbsence(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  const FilmState& s = calc.State;
  const int z = st.Zone;
  const double phi1s = st.NewVolFrac1[0];
  const double phi2s = st.NewVolFrac2[0];
  const double Ps1 = VaporPressure(p.VaporA1, p.VaporB1, p.VaporC1, st.T);
  const double Ps2 = VaporPressure(p.VaporA2, p.VaporB2, p.VaporC2, st.T);
  std::optional<double> P1 = 0.0, P2 = 0.0;
  if (phi1s != 0) P1 = SurfacePartialPressureAt(Ps1, phi1s, phi2s, s.MolarVolume1, s.MolarVolume2, p.Chi1p, p.Chi2p, p.Chi12);
  if (phi2s != 0) P2 = SurfacePartialPressureAt(Ps2, phi2s, phi1s, s.MolarVolume2, s.MolarVolume1, p.Chi2p, p.Chi1p, p.Chi12);
  if (!P1 || !P2) return false;
  st.P1 = *P1;
  st.P2 = *P2;
  const double h = p.CoatHeatTransferCoeff[z];
  st.GasFlux1 = EvaporationFlux(p.Keff1, MassTransferCoeff(p.AirDiffusivity1, h), p.MolecularWeight1, *P1,
                                p.PartialPressure1[z]);
  st.GasFlux2 = EvaporationFlux(p.Keff2, MassTransferCoeff(p.AirDiffusivity2, h), p.MolecularWeight2, *P2,
                                p.PartialPressure2[z]);
  return true;
}

void EvaluateTrial(Calculation& calc) {
  ++calc.Step.Trials;
  SolveFilm(calc);
  ShrinkLayers(calc);
  GasSideFlux(calc);
  CheckFaults();
}

// One explicit Euler step of the lumped heat balance of coating plus base:
// convection from both faces minus the heat carried off by evaporation.
double UpdateTemperature(Calculation& calc, double c1, double c2, double cP, double L, double T, int z) {
  const RunParameters& p = calc.Params();
  const StepState& st = calc.Step;
  const double hc = p.CoatHeatTransferCoeff[z];
  const double hb = p.BaseHeatTransferCoeff[z];
  const double C = static_cast<double>(
      ((static_cast<LD>(c1) * p.HeatCapacity1 + static_cast<LD>(c2) * p.HeatCapacity2) +
       static_cast<LD>(cP) * p.PolymerHeatCapacity) *
          L +
      (static_cast<LD>(p.BaseFilmThickness) * p.BaseDensity) * p.BaseHeatCapacity);
  const double a = static_cast<double>(-(static_cast<LD>(hc) + hb) / C);
  const double b = static_cast<double>((((static_cast<LD>(hc) + hb) * p.OuterTemperature[z] -
                                         static_cast<LD>(st.GasFlux1) * p.HeatOfVaporization1) -
                                        static_cast<LD>(st.GasFlux2) * p.HeatOfVaporization2) /
                                       C);
  const double rate = static_cast<double>(static_cast<LD>(a) * T + b);
  return static_cast<double>((static_cast<LD>(rate) * p.IncrementZ) / calc.State.WebSpeedCm + T);
}

}  // namespace kelvane
