#include "summary/SummaryText.h"
#include "run/TextFormat.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace kelvane {

namespace {

// JSON numbers: 10 significant digits; a value that is not finite is null.
std::string Num(double v) {
  if (!std::isfinite(v)) return "null";
  std::string s = Format("%.10g", v);
  return s == "-0" ? "0" : s;
}
std::string Num(const std::optional<double>& v) { return v ? Num(*v) : "null"; }

std::string Str(const std::string& text) {
  std::string out = "\"";
  for (unsigned char ch : text) {
    switch (ch) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (ch < 0x20) out += Format("\\u%04x", ch);
        else out += static_cast<char>(ch);
    }
  }
  return out + "\"";
}

std::string At(const Where& w) {
  return "{\"zone\": " + std::to_string(w.Zone) + ", \"position_m\": " + Num(w.Position) +
         ", \"time_s\": " + Num(w.Time) + "}";
}
std::string At(const std::optional<Where>& w) { return w ? At(*w) : "null"; }

const char* UnitKey(ResidualUnit u) {
  switch (u) {
    case ResidualUnit::PercentOfInitial: return "percent";
    case ResidualUnit::GramsPerSquareMetre: return "g_per_m2";
    case ResidualUnit::PpmOfDryCoating: return "ppm_dry";
  }
  return "";
}

// The hard steps of a slow run, zone by zone; null for a run that is not slow.
std::string SlowJson(const SlowSteps& slow) {
  if (slow.Zones.empty()) return "null";
  std::string j = "{\"run_trials\": " + std::to_string(slow.RunTrials) + ", \"zones\": [";
  for (size_t i = 0; i < slow.Zones.size(); ++i) {
    const SlowZone& z = slow.Zones[i];
    j += (i ? ", {" : "{") + std::string("\"zone\": ") + std::to_string(z.Zone) + ", \"steps\": " +
         std::to_string(z.Steps) + ", \"fewest_trials\": " + std::to_string(z.Fewest) +
         ", \"most_trials\": " + std::to_string(z.Most) + ", \"trials\": " + std::to_string(z.Trials) + "}";
  }
  return j + "]}";
}

}  // namespace

const char* OutcomeName(RunEndKind kind) {
  switch (kind) {
    case RunEndKind::Finished: return "finished";
    case RunEndKind::Failed: return "failed";
    case RunEndKind::Cancelled: return "cancelled";
    case RunEndKind::Stopped: return "stopped";
    case RunEndKind::Refused: return "refused";
  }
  return "";
}

std::string SummaryJson(const RunSummary& s) {
  const RunTotals& r = s.Run;
  std::string j = "{\n  \"run\": {\n";
  j += "    \"outcome\": " + Str(OutcomeName(r.End.Kind)) + ",\n";
  j += "    \"message\": " + (r.End.Message.empty() ? std::string("null") : Str(r.End.Message)) + ",\n";
  j += "    \"stop_zone\": " + (r.StopZone ? std::to_string(r.StopZone) : std::string("null")) + ",\n";
  j += "    \"stop_position_m\": " + (r.StopZone ? Num(r.StopPosition) : std::string("null")) + ",\n";
  j += "    \"exit_solvent_remaining_percent\": " + Num(r.ResidualPercent) + ",\n";
  j += "    \"residual_g_per_m2\": " + Num(r.ResidualGrams) + ",\n";
  j += "    \"residual_ppm_dry\": " + Num(r.ResidualPpm) + ",\n";
  j += "    \"dry_thickness_um\": " + Num(r.DryThickness) + ",\n";
  j += "    \"evaporated_g_per_m2\": " + Num(r.Evaporated) + ",\n";
  j += "    \"heat_from_gas_kj_per_m2\": " + Num(r.TotalHeat) + ",\n";
  j += "    \"latent_heat_kj_per_m2\": " + Num(r.TotalLatent) + ",\n";
  j += "    \"sensible_heat_kj_per_m2\": " + Num(r.TotalSensible) + ",\n";
  j += "    \"heat_balance_residual_kj_per_m2\": " + Num(r.TotalResidual) + ",\n";
  j += "    \"power_kw\": " + Num(r.TotalPower) + ",\n";
  j += "    \"total_time_s\": " + Num(r.TotalTime) + ",\n";
  j += "    \"total_energy_kj_per_m2\": " + Num(r.TotalEnergy) + ",\n";
  j += "    \"residual_target_met\": " + (r.TargetMet ? std::string(*r.TargetMet ? "true" : "false") : "null") + ",\n";
  j += "    \"residual_target_first_met\": " + At(r.TargetFirstMet) + ",\n";
  j += "    \"slow_steps\": " + SlowJson(r.Slow) + "\n  },\n";

  j += "  \"zones\": [";
  for (size_t i = 0; i < s.Zones.size(); ++i) {
    const ZoneSummary& z = s.Zones[i];
    j += i ? ",\n    {" : "\n    {";
    j += "\"zone\": " + std::to_string(z.Zone);
    j += ", \"complete\": " + std::string(z.Complete ? "true" : "false");
    j += ", \"gas_temperature_c\": " + Num(z.GasTemperature);
    j += ", \"length_m\": " + Num(z.Length);
    j += ", \"residence_time_s\": " + Num(z.ResidenceTime);
    j += ", \"entry_film_temperature_c\": " + Num(z.EntryTemperature);
    j += ", \"exit_film_temperature_c\": " + Num(z.ExitTemperature);
    j += ", \"min_film_temperature_c\": " + Num(z.MinTemperature.Value);
    j += ", \"min_film_temperature_at\": " + At(z.MinTemperature.At);
    j += ", \"max_film_temperature_c\": " + Num(z.MaxTemperature.Value);
    j += ", \"max_film_temperature_at\": " + At(z.MaxTemperature.At);
    j += ", \"near_gas_temperature_at\": " + At(z.NearGas);
    j += ", \"exit_solvent_remaining_percent\": " + Num(z.RemainingPercent);
    j += ", \"remaining_g_per_m2\": [" + Num(z.Remaining1) + ", " + Num(z.Remaining2) + "]";
    j += ", \"remaining_percent_of_initial\": [" + Num(z.RemainingPercent1) + ", " + Num(z.RemainingPercent2) + "]";
    j += ", \"evaporated_g_per_m2\": [" + Num(z.Evaporated1) + ", " + Num(z.Evaporated2) + "]";
    j += ", \"exit_thickness_um\": " + Num(z.ExitThickness);
    j += ", \"heat_from_gas_kj_per_m2\": " + Num(z.Heat.FromGas);
    j += ", \"latent_heat_kj_per_m2\": " + Num(z.Heat.Latent);
    j += ", \"sensible_heat_kj_per_m2\": " + Num(z.Heat.Sensible);
    j += ", \"heat_balance_residual_kj_per_m2\": " + Num(z.Heat.Residual);
    j += ", \"specific_energy_kj_per_kg\": " + Num(z.Heat.SpecificEnergy);
    j += ", \"power_kw\": " + Num(z.Heat.Power);
    j += ", \"min_boiling_margin_mmhg\": " + Num(z.MinBoilingMargin.Value);
    j += ", \"min_boiling_margin_at\": " + At(z.MinBoilingMargin.At);
    j += ", \"solvent_given_off_g_per_s_per_m\": " + Num(z.Air.GivenOffPerWidth);
    j += ", \"solvent_given_off_kg_per_h\": " + Num(z.Air.GivenOffKgPerHour);
    j += ", \"exhaust_needed_m3_per_h\": " + Num(z.Air.ExhaustNeeded);
    j += ", \"exhaust_lfl_percent\": " + Num(z.Air.ExhaustLflPercent);
    j += ", \"air_heat_kw\": " + Num(z.Air.AirHeatKw);
    j += ", \"energy_kj_per_m2\": " + Num(z.Air.EnergyPerArea);
    j += "}";
  }
  j += s.Zones.empty() ? "],\n" : "\n  ],\n";

  j += "  \"warnings\": [";
  for (size_t i = 0; i < s.Warnings.size(); ++i) {
    const Warning& w = s.Warnings[i];
    j += i ? ",\n    {" : "\n    {";
    j += "\"kind\": " + Str(WarningKindName(w.Kind));
    j += ", \"zone\": " + std::to_string(w.At.Zone);
    j += ", \"position_m\": " + Num(w.At.Position);
    j += ", \"time_s\": " + Num(w.At.Time);
    j += ", \"value\": " + Num(w.Value);
    j += ", \"unit\": " + Str(w.Unit);
    j += ", \"worst\": " + Num(w.Worst);
    j += ", \"solvent\": " + (w.Solvent ? std::to_string(w.Solvent) : std::string("null"));
    j += ", \"text\": " + Str(w.Text) + ", \"advice\": " + Str(w.Advice) + "}";
  }
  j += s.Warnings.empty() ? "],\n" : "\n  ],\n";

  const SummarySettings& t = s.Settings;
  j += "  \"settings\": {";
  j += "\"boiling_point_share\": " + Num(t.BoilingPointShare);
  j += ", \"skin_surface_polymer\": " + Num(t.SkinSurfacePolymer);
  j += ", \"skin_solvent_remaining_percent\": " + Num(t.SkinSolventRemaining);
  j += ", \"gas_approach_k\": " + Num(t.GasApproach);
  j += ", \"web_width_m\": " + Num(t.WebWidth);
  j += ", \"residual_target\": " + Num(t.ResidualTarget);
  j += ", \"residual_target_unit\": " + Str(UnitKey(t.ResidualTargetUnit));
  j += ", \"max_film_temperature_c\": " + Num(t.MaxFilmTemperature);
  const AirSettings& a = t.Air;
  j += ", \"room_temperature_c\": " + Num(a.RoomTemperature);
  j += ", \"lfl_percent\": [" + Num(a.Lfl1) + ", " + Num(a.Lfl2) + "]";
  j += ", \"lfl_share_percent\": " + Num(a.LflShare);
  j += ", \"exhaust_m3_per_h\": {";
  for (int k = 1, n = 0; k <= AirMaxZones; ++k)
    if (a.ExhaustFlow[k]) j += (n++ ? ", \"" : "\"") + std::to_string(k) + "\": " + Num(*a.ExhaustFlow[k]);
  j += "}, \"zone_balance\": " + std::string(a.ZoneBalance ? "true" : "false");
  j += "}\n}\n";
  return j;
}

std::string SummaryCsv(const RunSummary& s) {
  std::string c =
      "zone,gas_temperature_c,length_m,residence_time_s,entry_film_temperature_c,exit_film_temperature_c,"
      "min_film_temperature_c,max_film_temperature_c,max_film_temperature_position_m,"
      "exit_solvent_remaining_percent,remaining1_g_per_m2,remaining2_g_per_m2,evaporated1_g_per_m2,"
      "evaporated2_g_per_m2,exit_thickness_um,heat_from_gas_kj_per_m2,latent_heat_kj_per_m2,"
      "sensible_heat_kj_per_m2,heat_balance_residual_kj_per_m2,specific_energy_kj_per_kg,power_kw,"
      "min_boiling_margin_mmhg,solvent_given_off_g_per_s_per_m,solvent_given_off_kg_per_h,exhaust_needed_m3_per_h,"
      "exhaust_lfl_percent,air_heat_kw,energy_kj_per_m2\r\n";
  auto num = [](double v) { return std::isfinite(v) ? Format("%.10g", v) : std::string(); };
  auto opt = [&](const std::optional<double>& v) { return v ? num(*v) : std::string(); };
  for (const ZoneSummary& z : s.Zones) {
    c += std::to_string(z.Zone) + "," + num(z.GasTemperature) + "," + num(z.Length) + "," + num(z.ResidenceTime) +
         "," + num(z.EntryTemperature) + "," + num(z.ExitTemperature) + "," + num(z.MinTemperature.Value) + "," +
         num(z.MaxTemperature.Value) + "," + num(z.MaxTemperature.At.Position) + "," + num(z.RemainingPercent) +
         "," + num(z.Remaining1) + "," + num(z.Remaining2) + "," + num(z.Evaporated1) + "," + num(z.Evaporated2) +
         "," + num(z.ExitThickness) + "," + num(z.Heat.FromGas) + "," + num(z.Heat.Latent) + "," +
         num(z.Heat.Sensible) + "," + num(z.Heat.Residual) + "," + opt(z.Heat.SpecificEnergy) + "," +
         opt(z.Heat.Power) + "," + num(z.MinBoilingMargin.Value) + "," + num(z.Air.GivenOffPerWidth) + "," +
         opt(z.Air.GivenOffKgPerHour) + "," + opt(z.Air.ExhaustNeeded) + "," + opt(z.Air.ExhaustLflPercent) + "," +
         opt(z.Air.AirHeatKw) + "," + opt(z.Air.EnergyPerArea) + "\r\n";
  }
  const RunTotals& r = s.Run;
  double length = 0, margin = 760, maxT = -1e300, maxAt = 0;
  for (const ZoneSummary& z : s.Zones) {
    length += z.Length;
    if (z.MinBoilingMargin.Value < margin) margin = z.MinBoilingMargin.Value;
    if (z.MaxTemperature.Value > maxT) maxT = z.MaxTemperature.Value, maxAt = z.MaxTemperature.At.Position;
  }
  if (!s.Zones.empty()) {
    const ZoneSummary& f = s.Zones.front();
    const ZoneSummary& l = s.Zones.back();
    double evap1 = 0, evap2 = 0;
    for (const ZoneSummary& z : s.Zones) evap1 += z.Evaporated1, evap2 += z.Evaporated2;
    // The air's totals: sums over the zones, none where a zone has none.
    double given = 0;
    for (const ZoneSummary& z : s.Zones) given += z.Air.GivenOffPerWidth;
    auto sum = [&](std::optional<double> ZoneAir::*field) -> std::optional<double> {
      double total = 0;
      for (const ZoneSummary& z : s.Zones) {
        if (!(z.Air.*field)) return std::nullopt;
        total += *(z.Air.*field);
      }
      return total;
    };
    const std::optional<double> givenKg = sum(&ZoneAir::GivenOffKgPerHour), needed = sum(&ZoneAir::ExhaustNeeded),
                                airKw = sum(&ZoneAir::AirHeatKw);
    std::optional<double> energy;
    if (r.Evaporated > 0) energy = r.TotalHeat / (r.Evaporated / 1000.0);
    c += "total,," + num(length) + "," + num(r.TotalTime) + "," +
         num(f.EntryTemperature) + "," + num(l.ExitTemperature) + ",," + num(maxT) + "," + num(maxAt) + "," +
         num(r.ResidualPercent) + "," + num(l.Remaining1) + "," + num(l.Remaining2) + "," + num(evap1) + "," +
         num(evap2) + "," + num(l.ExitThickness) + "," + num(r.TotalHeat) + "," + num(r.TotalLatent) + "," +
         num(r.TotalSensible) + "," + num(r.TotalResidual) + "," + opt(energy) + "," + opt(r.TotalPower) + "," +
         num(margin) + "," + num(given) + "," + opt(givenKg) + "," + opt(needed) + ",," + opt(airKw) + "," +
         opt(r.TotalEnergy) + "\r\n";
  }
  return c;
}

namespace {

// A run that did not finish says so before any figure: where it stopped
// (the last complete point; a failed step leaves no row) and why.
std::string StopLine(const RunSummary& s) {
  const RunTotals& r = s.Run;
  std::string line;
  switch (r.End.Kind) {
    case RunEndKind::Finished:
    case RunEndKind::Refused: return "";
    case RunEndKind::Failed:
      line = Format("Stopped: the march failed in zone %d after %.2f m, its last complete step", r.StopZone,
                    r.StopPosition);
      break;
    case RunEndKind::Cancelled:
      line = Format("Cancelled: the march was stopped in zone %d after %.2f m", r.StopZone, r.StopPosition);
      break;
    case RunEndKind::Stopped:
      line = Format("Stopped: the file ends in zone %d at %.2f m, a zone without results", r.StopZone,
                    r.StopPosition);
      break;
  }
  if (!r.End.Message.empty() && r.End.Kind != RunEndKind::Cancelled) line += ": " + r.End.Message;
  if (line.back() != '.' && line.back() != '!') line += ".";
  line += "\n";
  if (!r.End.Cause.empty()) line += r.End.Cause + "\n";
  return line + "The figures below end there; they are no result of the dryer.\n";
}

}  // namespace

std::string StopAccount(const RunSummary& s) { return StopLine(s); }

std::string SummaryTable(const RunSummary& s) {
  const bool power = s.Settings.WebWidth.has_value();
  const bool finished = s.Run.End.Kind == RunEndKind::Finished;
  std::string t = StopLine(s);
  t += Format("%-4s %6s %6s %6s %7s %8s %8s %8s %8s %8s %7s%s\n", "Zone", "Gas", "Exit", "Max", "Left",
                         "Evap 1", "Evap 2", "Heat", "Latent", "Sensible", "Margin", power ? "    Power" : "");
  t += Format("%-4s %6s %6s %6s %7s %8s %8s %8s %8s %8s %7s%s\n", "", "°C", "°C", "°C", "%", "g/m2", "g/m2",
              "kJ/m2", "kJ/m2", "kJ/m2", "mmHg", power ? "       kW" : "");
  for (const ZoneSummary& z : s.Zones) {
    t += Format("%-4d %6.1f %6.1f %6.1f %7.2f %8.2f %8.2f %8.2f %8.2f %8.2f %7.1f", z.Zone, z.GasTemperature,
                z.ExitTemperature, z.MaxTemperature.Value, z.RemainingPercent, z.Evaporated1, z.Evaporated2,
                z.Heat.FromGas, z.Heat.Latent, z.Heat.Sensible, z.MinBoilingMargin.Value);
    if (power) t += Format(" %8.2f", z.Heat.Power.value_or(0));
    t += z.Complete ? "\n" : "  (stopped)\n";
  }
  const RunTotals& r = s.Run;
  t += Format("%s: %.2f %% of the solvent left, %.2f g/m2, %.0f ppm of the dry coating; dry thickness %.2f um; "
              "heat %.1f kJ/m2 (balance residual %.3f)",
              finished ? "Exit" : "At the stop", r.ResidualPercent, r.ResidualGrams, r.ResidualPpm,
              r.DryThickness, r.TotalHeat, r.TotalResidual);
  if (r.TotalPower) t += Format(", %.1f kW", *r.TotalPower);
  t += Format("; %.1f s.\n", r.TotalTime);
  if (r.TargetMet) {
    if (*r.TargetMet && r.TargetFirstMet)
      t += Format("Residual target met, first in zone %d at %.2f m.\n", r.TargetFirstMet->Zone,
                  r.TargetFirstMet->Position);
  }
  if (!r.End.Takeover.empty()) t += r.End.Takeover + "\n";
  if (const std::string slow = SlowStepsText(r.Slow); !slow.empty()) t += slow + "\n";
  if (s.Warnings.empty()) t += finished ? "No warnings.\n" : "No warnings up to the stop.\n";
  else {
    t += Format("%zu warning%s:\n", s.Warnings.size(), s.Warnings.size() == 1 ? "" : "s");
    for (const Warning& w : s.Warnings) t += "  " + w.Text + "\n";
  }
  return t;
}

namespace {

// A residual as the outcome line gives it: one decimal where that shows
// the value, two significant digits for less.
std::string Residual(double v) { return std::fabs(v) >= 0.1 || v == 0 ? Format("%.1f", v) : Format("%.2g", v); }

// The exit's residual in the target's unit: "6.6 % of the solvent",
// "12.3 g/m2 of solvent", "149628 ppm of the dry coating".
std::string ResidualInUnit(const RunSummary& s) {
  const RunTotals& r = s.Run;
  switch (s.Settings.ResidualTargetUnit) {
    case ResidualUnit::GramsPerSquareMetre: return Residual(r.ResidualGrams) + " g/m2 of solvent";
    case ResidualUnit::PpmOfDryCoating: return Format("%.0f ppm of solvent in the dry coating", r.ResidualPpm);
    case ResidualUnit::PercentOfInitial: break;
  }
  return Residual(r.ResidualPercent) + " % of the solvent";
}

std::string TargetInUnit(const RunSummary& s) {
  const double t = *s.Settings.ResidualTarget;
  // Four significant digits, but a target of 20000 ppm as typed, never "2e+04".
  const std::string figure = std::fabs(t) >= 1e4 && std::fabs(t) < 1e15 ? Format("%.0f", t) : Format("%.4g", t);
  switch (s.Settings.ResidualTargetUnit) {
    case ResidualUnit::GramsPerSquareMetre: return figure + " g/m2";
    case ResidualUnit::PpmOfDryCoating: return figure + " ppm";
    case ResidualUnit::PercentOfInitial: break;
  }
  return figure + " %";
}

}  // namespace

std::string OutcomeLine(const RunSummary& s) {
  const RunTotals& r = s.Run;
  std::string line;
  switch (r.End.Kind) {
    case RunEndKind::Finished:
      // "Dry" is a claim about a target: without one the line says what
      // is left and that nothing was checked against it.
      if (!s.Settings.ResidualTarget || !r.TargetMet)
        line = "Finished: " + Residual(r.ResidualPercent) + " % of the solvent left at the exit (no residual target set)";
      else if (*r.TargetMet)
        line = "Dry: " + ResidualInUnit(s) + " left at the exit, within the target of " + TargetInUnit(s);
      else
        line = "Not dry: " + ResidualInUnit(s) + " left at the exit, above the target of " + TargetInUnit(s);
      break;
    case RunEndKind::Refused: return "No result: the input was refused";
    default:
      // A run that stopped meets no target, whatever it had left.
      line = Format("Stopped in zone %d at %.2f m with %s %% of the solvent left", r.StopZone, r.StopPosition,
                    Residual(r.ResidualPercent).c_str());
  }
  // Where the robust solve took over, in its first sentence's words.
  if (const std::string& t = r.End.Takeover; !t.empty()) {
    const std::string head = t.substr(0, t.find(" ("));
    line += " · " + std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(head[0])))) +
            head.substr(1, head.back() == '.' ? head.size() - 2 : std::string::npos);
  }
  const size_t n = s.Warnings.size();
  if (n == 0) return line + " · no warnings";
  return line + Format(" · %zu warning%s — see Results", n, n == 1 ? "" : "s");
}

}  // namespace kelvane
