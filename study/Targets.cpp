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
  if (t.MaxResidual) v.Residual = ran && residual ? *residual - *t.MaxResidual : failedBy;
  if (t.MaxFilmTemperature) v.FilmTemperature = ran && temp ? *temp - *t.MaxFilmTemperature : failedBy;
  // Boiling as the run summary warns of it; the margin says by how much.
  if (t.NoBoiling)
    v.Boiling = ran && margin && boiling ? (*boiling == 0 ? std::min(-*margin, 0.0) : std::max(-*margin, 1.0))
                                        : failedBy;
  return v;
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
  if (v.Residual && *v.Residual > 0)
    return say("residual " + ShortestNumber(*v.Residual + *t.MaxResidual) + " % > " +
               ShortestNumber(*t.MaxResidual) + " %");
  if (v.FilmTemperature && *v.FilmTemperature > 0)
    return say("film temperature " + ShortestNumber(*v.FilmTemperature + *t.MaxFilmTemperature) + " degC > " +
               ShortestNumber(*t.MaxFilmTemperature) + " degC");
  if (v.Boiling && *v.Boiling > 0) return say("the coating boils (bubble pressure reaches 760 mmHg)");
  if (why) why->clear();
  return true;
}

}  // namespace kelvane
