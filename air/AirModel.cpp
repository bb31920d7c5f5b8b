#include "air/AirModel.h"

#include <algorithm>

namespace kelvane {

namespace {

constexpr double GasConstant = 8.314462618;  // J/(mol.K)
constexpr double Atmosphere = 101325.0;      // Pa
constexpr double AtmosphereMmHg = 760.0;
constexpr double AirMolarMass = 28.9647;     // g/mol, dry air
constexpr double AirHeatCapacity = 1.006;    // kJ/(kg.K), dry air near room temperature
constexpr double Kelvin = 273.15;

// m^3 of ideal gas per mol at T (degC) and 1 atm.
double MolarVolume(double T) { return GasConstant * (T + Kelvin) / Atmosphere; }

}  // namespace

bool AirSettings::AnyFlow() const {
  return std::any_of(ExhaustFlow.begin(), ExhaustFlow.end(), [](const auto& f) { return f.has_value(); });
}

double LflAt(double lfl25, double T) { return lfl25 * (1.0 - 0.000721 * (T - 25.0)); }

double MixtureLfl(double y1, double y2, double lfl1, double lfl2) { return (y1 + y2) / (y1 / lfl1 + y2 / lfl2); }

double ExhaustPerArea(double flowM3PerHour, double webSpeed, double webWidth) {
  return flowM3PerHour / 3600.0 / (webSpeed * webWidth);
}

double PartialPressureRise(double evaporated, double M, double T, double perArea) {
  return evaporated / M * MolarVolume(T) / perArea * AtmosphereMmHg;
}

ZoneAir ZoneAirOf(const ZoneAirInput& in, const AirRun& run, const AirSettings& settings) {
  ZoneAir a;
  const double T = in.GasTemperature;
  const double v = run.WebSpeed;
  const std::optional<double> W = run.WebWidth;
  a.GivenOffPerWidth = (in.Evaporated1 + in.Evaporated2) * v;
  if (W) a.GivenOffKgPerHour = a.GivenOffPerWidth * *W * 3.6;

  // Fractions of the LFL: the vapour given off per m^2 of web, each
  // solvent's volume over its own LFL (m^3/m^2), and what the make-up air
  // already carries.  Solvent taken up from the gas is not given off.
  const double L1 = LflAt(settings.Lfl1, T) / 100.0, L2 = LflAt(settings.Lfl2, T) / 100.0;
  const double Vm = MolarVolume(T);
  const double vapour = std::max(0.0, in.Evaporated1) / run.MolecularWeight1 * Vm / L1 +
                        std::max(0.0, in.Evaporated2) / run.MolecularWeight2 * Vm / L2;
  const double background = in.MakeUp1 / AtmosphereMmHg / L1 + in.MakeUp2 / AtmosphereMmHg / L2;
  const double share = settings.LflShare / 100.0;

  std::optional<double> needed;  // m^3 per m^2 of web
  if (background < share) needed = vapour / (share - background);
  if (needed && v > 0) {
    a.ExhaustNeededPerWidth = *needed * v * 3600.0;
    if (W) a.ExhaustNeeded = *a.ExhaustNeededPerWidth * *W;
  }

  std::optional<double> flow;  // m^3 per m^2 of web
  const std::optional<double>& given =
      in.Zone >= 1 && in.Zone <= AirMaxZones ? settings.ExhaustFlow[in.Zone] : std::optional<double>{};
  if (given && *given > 0 && W && v > 0) {
    flow = ExhaustPerArea(*given, v, *W);
    a.ExhaustLflPercent = 100.0 * (background + vapour / *flow);
    a.AboveShare = *a.ExhaustLflPercent > settings.LflShare;
  } else {
    flow = needed;
  }

  if (flow) {
    // The make-up air replaces the exhaust mass for mass; a zone cooler than
    // the room needs no heating of it.
    const double density = Atmosphere * AirMolarMass / 1000.0 / (GasConstant * (T + Kelvin));  // kg/m^3
    a.AirHeatPerArea = density * *flow * AirHeatCapacity * std::max(0.0, T - settings.RoomTemperature);
    if (W) a.AirHeatKw = *a.AirHeatPerArea * v * *W;
    a.EnergyPerArea = std::max(0.0, in.HeatIn) + *a.AirHeatPerArea;
  }
  return a;
}

std::optional<double> TotalEnergy(const ZoneAir* zones, int count) {
  double total = 0;
  for (int i = 0; i < count; ++i) {
    if (!zones[i].EnergyPerArea) return std::nullopt;
    total += *zones[i].EnergyPerArea;
  }
  return total;
}

}  // namespace kelvane
