#include "study/Targets.h"

#include <algorithm>

#include "study/StudyTable.h"

namespace kelvane {

namespace {

std::optional<double> Column(const RowResult& row, const char* name) {
  const int i = SummaryColumnIndex(name);
  if (i < 0 || static_cast<std::size_t>(i) >= row.Summary.size()) return std::nullopt;
  return row.Summary[static_cast<std::size_t>(i)];
}

}  // namespace

TargetViolations Violations(const RowResult& row, const Targets& t, double failedBy) {
  TargetViolations v;
  const bool ran = row.Outcome == RowOutcome::Finished;
  const auto residual = Column(row, "final_residual_percent");
  const auto temp = Column(row, "max_film_temperature_c");
  const auto margin = Column(row, "min_boiling_margin_mmhg");
  const auto boiling = Column(row, "boiling_warnings");
  const char* residualColumn = t.ResidualIn == ResidualUnit::GramsPerSquareMetre ? "residual_g_per_m2"
                               : t.ResidualIn == ResidualUnit::PpmOfDryCoating   ? "residual_ppm_dry"
                                                                                 : "final_residual_percent";
  const auto left = t.ResidualIn == ResidualUnit::PercentOfInitial ? residual : Column(row, residualColumn);
  if (t.MaxResidual) v.Residual = ran && left ? *left - *t.MaxResidual : failedBy;
  if (t.MinBoilingMargin) v.BoilingMargin = ran && margin ? *t.MinBoilingMargin - *margin : failedBy;
  if (t.NoSkinning) {
    // The surface's polymer fraction above the skin threshold while the
    // skin traps solvent, at its worst; a skinning warning is a miss even
    // where the margin rounds to zero.
    std::optional<double> worst;
    for (const ZoneSummary& z : row.Details.Zones)
      if (z.MinSkinMargin) worst = std::max(worst.value_or(-1.0), -z.MinSkinMargin->Value);
    const bool skins = std::any_of(row.Details.Warnings.begin(), row.Details.Warnings.end(),
                                   [](const Warning& w) { return w.Kind == WarningKind::Skinning; });
    v.Skinning = !ran ? failedBy : skins ? std::max(worst.value_or(0.0), 1e-9) : std::min(worst.value_or(-1.0), -1e-12);
  }
  if (t.MaxFilmTemperature) v.FilmTemperature = ran && temp ? *temp - *t.MaxFilmTemperature : failedBy;
  if (t.MaxLflShare) {
    v.LflShare = ran ? -*t.MaxLflShare : failedBy;
    if (ran) {
      const std::vector<ZoneAir> zones = ZonesAirUnder(row.Details, t.Air, t.WebWidth);
      for (size_t i = 0; i < zones.size(); ++i)
        if (zones[i].ExhaustLflPercent && *zones[i].ExhaustLflPercent - *t.MaxLflShare > *v.LflShare) {
          v.LflShare = *zones[i].ExhaustLflPercent - *t.MaxLflShare;
          v.LflZone = row.Details.Zones[i].Zone;
        }
    }
  }
  // Boiling as the run summary warns of it; the margin says by how much.
  if (t.NoBoiling)
    v.Boiling = ran && margin && boiling ? (*boiling == 0 ? std::min(-*margin, 0.0) : std::max(-*margin, 1.0))
                                        : failedBy;
  return v;
}

const char* ResidualUnitSuffix(ResidualUnit unit) {
  switch (unit) {
    case ResidualUnit::GramsPerSquareMetre: return " g/m2";
    case ResidualUnit::PpmOfDryCoating: return " ppm";
    case ResidualUnit::PercentOfInitial: break;
  }
  return " %";
}

bool MeetsTargets(const RowResult& row, const Targets& t, std::string* why) {
  auto say = [&](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  if (row.Outcome != RowOutcome::Finished) {
    std::string s = RowOutcomeName(row.Outcome);
    if (!row.Message.empty()) s += ": " + row.Message;
    return say(s);
  }
  const TargetViolations v = Violations(row, t, 1.0);
  const char* unit = ResidualUnitSuffix(t.ResidualIn);
  if (v.Residual && *v.Residual > 0)
    return say("residual " + ReadableNumber(*v.Residual + *t.MaxResidual) + unit + " > " +
               ShortestNumber(*t.MaxResidual) + unit);
  if (v.FilmTemperature && *v.FilmTemperature > 0)
    return say("film temperature " + ReadableNumber(*v.FilmTemperature + *t.MaxFilmTemperature) + " degC > " +
               ShortestNumber(*t.MaxFilmTemperature) + " degC");
  if (v.Boiling && *v.Boiling > 0) return say("the coating boils (bubble pressure reaches 760 mmHg)");
  if (v.BoilingMargin && *v.BoilingMargin > 0)
    return say("boiling margin " + ReadableNumber(*t.MinBoilingMargin - *v.BoilingMargin) + " mmHg < " +
               ShortestNumber(*t.MinBoilingMargin) + " mmHg");
  if (v.Skinning && *v.Skinning > 0) return say("the surface skins (skinning warning)");
  if (v.LflShare && *v.LflShare > 0)
    return say("zone " + std::to_string(v.LflZone) + "'s exhaust at " + ReadableNumber(*v.LflShare + *t.MaxLflShare) +
               " % of the LFL > " + ShortestNumber(*t.MaxLflShare) + " %");
  if (why) why->clear();
  return true;
}

}  // namespace kelvane
