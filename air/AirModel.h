#pragma once
// The dryer's air.  Each zone exhausts what the coating gives off there and
// takes in as much make-up air from the room, heated to the zone's gas
// temperature.  The exhaust must stay below a share of the solvents' lower
// flammable limit (LFL); the make-up air's heat is usually the largest item
// of a dryer's energy.
//
// The LFL falls as the gas gets hotter.  Each solvent's LFL at T (degC) is
// its LFL at 25 degC times 1 - 0.000721 (T - 25), the linear correction of
// the flammability limits of hydrocarbon vapours in air; the mixture's LFL
// follows Le Chatelier's rule, 1 / LFL = sum of y_i / LFL_i over the fuel's
// mole fractions y_i.  So the exhaust's share of its LFL is the sum over the
// solvents of their volume fractions over their own LFLs.
//
// Volumes of gas are at the zone's gas temperature and 1 atm, ideal gas.

#include <array>
#include <optional>

namespace kelvane {

constexpr int AirMaxZones = 14;

struct AirSettings {
  double RoomTemperature = 20.0;  // degC, the make-up air before it is heated
  // Each zone's exhaust, m^3/h at the zone's gas temperature for the whole
  // web width, indexed by the 1-based zone number; none: not given.
  std::array<std::optional<double>, AirMaxZones + 1> ExhaustFlow{};
  double Lfl1 = 1.1, Lfl2 = 2.0;  // each solvent's LFL at 25 degC, % by volume
  double LflShare = 25.0;         // the share of the LFL the exhaust may reach, %
  // The zone's gas carries what the coating gave off (a march option; the
  // summary only reports it).
  bool ZoneBalance = false;

  bool AnyFlow() const;
};

// Solvent i's LFL at the gas temperature T (degC), % by volume.
double LflAt(double lfl25, double T);
// Le Chatelier's rule: the LFL of a mixture of two fuels in the mole ratio
// y1 : y2 (any scale), each with its own LFL, % by volume.
double MixtureLfl(double y1, double y2, double lfl1, double lfl2);

// What one zone's air sees of the run.
struct ZoneAirInput {
  int Zone = 0;
  double GasTemperature = 0;            // degC
  double Evaporated1 = 0, Evaporated2 = 0;  // g per m^2 of web in the zone
  double MakeUp1 = 0, MakeUp2 = 0;      // mmHg of each solvent in the make-up air
  double HeatIn = 0;                    // kJ/m^2 into the web where the gas gives heat
};

// The run's constants the air needs.
struct AirRun {
  double WebSpeed = 0;                   // m/s
  std::optional<double> WebWidth;        // m
  double MolecularWeight1 = 0, MolecularWeight2 = 0;  // g/mol
};

struct ZoneAir {
  double GivenOffPerWidth = 0;              // g/s per metre of web width
  std::optional<double> GivenOffKgPerHour;  // kg/h at the web width
  // The exhaust that keeps the mixture at the allowed share of its LFL:
  // per metre of width, and at the web width (m^3/h at the gas
  // temperature).  None where the make-up air alone is at or above the
  // share (no flow dilutes it below).
  std::optional<double> ExhaustNeededPerWidth;
  std::optional<double> ExhaustNeeded;
  std::optional<double> ExhaustLflPercent;  // with a flow given
  bool AboveShare = false;                  // with a flow given, above the allowed share
  // The make-up air's heat, room to gas temperature, at the given flow or
  // else at the needed flow: kW (with a web width) and kJ per m^2 of web.
  std::optional<double> AirHeatKw;
  std::optional<double> AirHeatPerArea;
  // The zone's energy, kJ per m^2 of web: the heat into the web where the
  // gas gives heat plus the make-up air's heat.
  std::optional<double> EnergyPerArea;
};

ZoneAir ZoneAirOf(const ZoneAirInput& in, const AirRun& run, const AirSettings& settings);

// An exhaust flow (m^3/h at the gas temperature, whole web) as volume per
// m^2 of web passing, m^3/m^2.
double ExhaustPerArea(double flowM3PerHour, double webSpeed, double webWidth);
// The rise of a solvent's partial pressure in a well-mixed zone (mmHg) when
// `evaporated` g/m^2 of it (molecular weight M) go into `perArea` m^3/m^2 of
// exhaust at the gas temperature T (degC).
double PartialPressureRise(double evaporated, double M, double T, double perArea);

// The total of the zones' energies, or none when one of them has none.
std::optional<double> TotalEnergy(const ZoneAir* zones, int count);

}  // namespace kelvane
