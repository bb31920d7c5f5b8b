// Engine state: sizing, the fraction conversions of the additive-volume
// mixture, the uniform coating at the dryer's entrance and the hand-over of a
// zone's exit state to the next zone.

#include <algorithm>

#include "engine/MiscCalc.h"

namespace kelvane {

void FilmState::Allocate(int rows) {
  if (rows <= RowCapacity) return;
  auto grow = [rows](auto& v) { v.resize(static_cast<std::size_t>(rows)); };
  for (auto* v : {&FilmTemp, &CoatThick, &AvgConc1, &AvgConc2, &AvgPolymerConc, &ZoneTime, &SolRemain}) grow(*v);
  for (auto& v : RunTime) grow(v);
  for (auto* t : {&VolFrac1, &VolFrac2, &VolFracP, &MassFrac1, &MassFrac2, &MassFracP, &LayerThick, &FitVolFrac1,
                  &FitVolFrac2, &FitVolFracP, &FitMassFrac1, &FitMassFrac2, &FitMassFracP})
    grow(*t);
  RowCapacity = rows;
}

Calculation::Calculation(EngineHost* host) : host_(host ? host : &silent_) {}

void Calculation::SetHost(EngineHost* host) { host_ = host ? host : &silent_; }

namespace {
// Keeps the computation's fault flags across a call into the host.
template <class Fn>
auto WithFlagsKept(Fn&& fn) {
  std::fexcept_t saved;
  std::fegetexceptflag(&saved, FE_ALL_EXCEPT);
  struct Restore {
    std::fexcept_t& s;
    ~Restore() { std::fesetexceptflag(&s, FE_ALL_EXCEPT); }
  } restore{saved};
  return fn();
}
}  // namespace

void Calculation::Message(const std::string& text) {
  if (DeferMessages) {
    if (DeferredMessage.empty()) DeferredMessage = text;
    return;
  }
  WithFlagsKept([&] { host_->ShowMessage(text); });
}

void Calculation::ReportProgress(int zone, int zoneCount, int step, int stepCount) {
  WithFlagsKept([&] { host_->Progress(zone, zoneCount, step, stepCount); });
}

bool Calculation::PollCancel() { return WithFlagsKept([&] { return host_->CancelRequested(); }); }

// Mass fractions -> volume fractions, the volume sum formed left to right.
Fractions VolFracFromMass(double w1, double w2, double rho1, double rho2, double rhoP) {
  const double wP = static_cast<double>(1.0L - (static_cast<long double>(w1) + w2));
  const long double v1 = static_cast<long double>(w1) / rho1;
  const long double v2 = static_cast<long double>(w2) / rho2;
  const long double V = (v1 + v2) + static_cast<long double>(wP) / rhoP;
  const double phi1 = static_cast<double>(v1 / V);
  const double phi2 = static_cast<double>(v2 / V);
  const double phiP = static_cast<double>(1.0L - (static_cast<long double>(phi1) + phi2));
  return {phi1, phi2, phiP};
}

void InitializeFilmState(Calculation& calc) {
  const RunParameters& p = calc.Params();
  FilmState& s = calc.State;
  const int N = p.TotalLayerCount;
  // A new run starts on the plain path, a second march off it.
  calc.LeftPlainPath = calc.OffPathFromStart;
  calc.History = {};
  ++calc.Stats.Marches;

  int rows = 1;
  for (int z = 1; z <= calc.Setup.ZoneCount; ++z) rows = std::max(rows, calc.Setup.ZoneStepCount[z] + 1);
  s.Allocate(rows);

  s.WebSpeedCm = static_cast<double>(static_cast<long double>(p.WebSpeed) * 100.0L);
  s.MolarVolume1 = static_cast<double>(static_cast<long double>(p.MolecularWeight1) / p.Density1);
  s.MolarVolume2 = static_cast<double>(static_cast<long double>(p.MolecularWeight2) / p.Density2);

  s.FilmTemp[0] = p.InitialTemperature;
  s.CoatThick[0] = p.InitialCoatingThickness;
  s.ZoneTime[0] = 0;
  s.RunTime[1][0] = 0;
  s.SolRemain[0] = 100.0;

  // The coating enters uniform: the same fractions at every node.
  const double phi1 = static_cast<double>(static_cast<long double>(p.InitialComposition1) / p.Density1);
  const double phi2 = static_cast<double>(static_cast<long double>(p.InitialComposition2) / p.Density2);
  const double phiP = static_cast<double>(1.0L - (static_cast<long double>(phi1) + phi2));
  const Fractions w = MassFracFromVol(phi1, phi2, p.Density1, p.Density2, p.PolymerDensity);
  for (int i = 0; i <= N; ++i) {
    s.VolFrac1[0][i] = s.FitVolFrac1[0][i] = phi1;
    s.VolFrac2[0][i] = s.FitVolFrac2[0][i] = phi2;
    s.VolFracP[0][i] = s.FitVolFracP[0][i] = phiP;
    s.MassFrac1[0][i] = s.FitMassFrac1[0][i] = w.F1;
    s.MassFrac2[0][i] = s.FitMassFrac2[0][i] = w.F2;
    s.MassFracP[0][i] = s.FitMassFracP[0][i] = w.FP;
  }

  // L equal slices, the one at the surface split into five thin layers.
  s.LayerThick[0][0] = 0;
  const double thin = static_cast<double>(static_cast<long double>(p.InitialCoatingThickness) /
                                          static_cast<long double>(static_cast<double>((N - 4) * 5)));
  const double slice = static_cast<double>(static_cast<long double>(p.InitialCoatingThickness) /
                                           static_cast<long double>(static_cast<double>(N - 4)));
  for (int i = 1; i <= N; ++i) s.LayerThick[0][i] = i <= 5 ? thin : slice;

  s.DryThick = static_cast<double>(static_cast<long double>(p.InitialCoatingThickness) * phiP);
  s.InitPolymerConc = static_cast<double>(static_cast<long double>(phiP) * p.PolymerDensity);

  s.AvgConc1[0] = p.InitialComposition1;
  s.AvgConc2[0] = p.InitialComposition2;
  s.AvgPolymerConc[0] = s.InitPolymerConc;
  s.LastStep = 0;
  if (calc.Robust) {
    std::size_t total = 0;
    for (int z = 1; z <= calc.Setup.ZoneCount; ++z) total += static_cast<std::size_t>(std::max(0, calc.Setup.ZoneStepCount[z]));
    calc.Rescued.clear();
    calc.Rescued.reserve(total);
  }
  CheckFaults();
}

void CarryOverToNextZone(Calculation& calc) {
  const RunParameters& p = calc.Params();
  FilmState& s = calc.State;
  const int N = p.TotalLayerCount;
  const int z = calc.CurrentZone;
  // A zone that was not marched leaves the state as it entered: its exit is
  // its row 0 (LastStep still belongs to an earlier zone).
  const int k = calc.Setup.ZoneStepCount[z] > 0 ? s.LastStep : 0;

  s.FilmTemp[0] = s.FilmTemp[k];
  s.CoatThick[0] = s.CoatThick[k];
  s.ZoneTime[0] = 0;
  if (z < MaxZones) s.RunTime[z + 1][0] = s.RunTime[z][k];
  s.SolRemain[0] = s.SolRemain[k];
  for (int i = 0; i <= N; ++i) {
    s.VolFrac1[0][i] = s.VolFrac1[k][i];
    s.VolFrac2[0][i] = s.VolFrac2[k][i];
    s.VolFracP[0][i] = s.VolFracP[k][i];
    s.MassFrac1[0][i] = s.MassFrac1[k][i];
    s.MassFrac2[0][i] = s.MassFrac2[k][i];
    s.MassFracP[0][i] = s.MassFracP[k][i];
    const double f1 = s.FitVolFrac1[k][i];
    const double f2 = s.FitVolFrac2[k][i];
    s.FitVolFrac1[0][i] = f1;
    s.FitVolFrac2[0][i] = f2;
    s.FitVolFracP[0][i] = static_cast<double>(1.0L - (static_cast<long double>(f1) + f2));
    const Fractions w = MassFracFromVol(f1, f2, p.Density1, p.Density2, p.PolymerDensity);
    s.FitMassFrac1[0][i] = w.F1;
    s.FitMassFrac2[0][i] = w.F2;
    s.FitMassFracP[0][i] = w.FP;
    if (i >= 1) s.LayerThick[0][i] = s.LayerThick[k][i];
  }
  s.AvgConc1[0] = s.AvgConc1[k];
  s.AvgConc2[0] = s.AvgConc2[k];
  s.AvgPolymerConc[0] = s.AvgPolymerConc[k];
  CheckFaults();
}

}  // namespace kelvane
