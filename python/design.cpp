// kelvane._core's dryer design: the library's design of the zones' gas
// temperatures and the web speed, marched without the interpreter lock.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "study/Design.h"
#include "study/DesignAnswer.h"
#include "study/DesignFront.h"
#include "study/StudyTable.h"

namespace py = pybind11;
using namespace kelvane;

namespace {

ResidualUnit UnitOf(const std::string& unit) {
  if (unit == "%") return ResidualUnit::PercentOfInitial;
  if (unit == "g/m2") return ResidualUnit::GramsPerSquareMetre;
  if (unit == "ppm") return ResidualUnit::PpmOfDryCoating;
  throw py::value_error("residual_unit must be \"%\", \"g/m2\" or \"ppm\", not \"" + unit + "\"");
}

py::dict DesignDict(const std::map<std::string, std::string>& texts, std::optional<double> maxResidual,
                    const std::string& residualUnit, bool noBoiling, std::optional<double> boilingMargin,
                    bool noSkinning, std::optional<double> maxFilmTemperature, double span, double lowest,
                    double highest, double speedLower, double speedUpper,
                    const std::vector<std::tuple<std::string, double, double>>& over, bool nonDecreasing,
                    std::optional<double> webWidth, bool robust, int maxEvaluations, int front, double slowest, double gasTolerance) {
  if (front == 1 || front < 0) throw py::value_error("front must be at least 2 points, not " + std::to_string(front));
  StudyDefinition base;
  for (const auto& [component, text] : texts) base.Base.SetText(component, text);
  DesignProblem p;
  p.Goal.MaxResidual = maxResidual;
  p.Goal.ResidualIn = UnitOf(residualUnit);
  p.Goal.NoBoiling = noBoiling;
  p.Goal.MinBoilingMargin = boilingMargin;
  p.Goal.NoSkinning = noSkinning;
  p.Goal.MaxFilmTemperature = maxFilmTemperature;
  p.SpeedLower = speedLower;
  p.SpeedUpper = speedUpper;
  p.NonDecreasing = nonDecreasing;
  p.WebWidth = webWidth;
  p.MaxEvaluations = maxEvaluations;
  if (!(lowest < highest)) throw py::value_error("lowest must be below highest");
  if (!(slowest > 0 && slowest <= 100))
    throw py::value_error("slowest must lie above 0 and at most 100 (% of the speed), not " + ShortestNumber(slowest));
  p.Slowest = slowest / 100;
  if (!(gasTolerance >= 0 && gasTolerance < 100))
    throw py::value_error("gas_tolerance must lie from 0 to below 100 K, not " + ShortestNumber(gasTolerance));
  p.GasTolerance = gasTolerance;
  p.HighestGas = highest;
  if (const std::string zone = UnsearchableZone(base.Base, span, lowest, highest); !zone.empty())
    throw py::value_error(zone);
  p.Fields = ZoneTemperatureFields(base.Base, span, lowest, highest);
  for (const auto& [name, lo, hi] : over) {
    SearchedField f;
    f.Field = ParseVaried(name + "=0");
    f.Lower = lo;
    f.Upper = hi;
    p.Fields.push_back(f);
  }
  StudyOptions options;
  options.Robust = robust;
  StudyControl control;
  DesignResult r;
  DesignFrontResult fr;
  {
    py::gil_scoped_release unlocked;
    if (front >= 2) {
      fr = DesignFront(base, p, front, options, control);
      r = fr.Unconstrained;
      r.Evaluations = fr.Evaluations;
    } else {
      r = Design(base, p, options, control);
    }
  }
  StudyDefinition table;
  for (const SearchedField& f : p.Fields) table.Varied.push_back(f.Field);
  table.Varied.push_back(ParseVaried("WebSpeed=0"));
  std::string csv = CsvHeader(table);
  for (const RowResult& e : r.Evaluations) csv += CsvLine(e);
  py::dict d;
  d["found"] = r.Found;
  py::dict schedule;
  for (std::size_t i = 0; i < r.Best.size(); ++i) schedule[py::str(p.Fields[i].Field.Name)] = r.Best[i];
  d["schedule"] = schedule;
  d["speed"] = r.Speed;
  d["binding"] = r.Binding;
  py::list costs;
  for (const ZoneCost& c : r.Costs) {
    py::dict z;
    z["zone"] = c.Zone;
    z["heat_kj_per_m2"] = c.Heat;
    z["heat_kj_per_kg"] = c.PerKg ? py::cast(*c.PerKg) : py::none();
    z["power_kw"] = c.Power ? py::cast(*c.Power) : py::none();
    costs.append(z);
  }
  d["costs"] = costs;
  d["total_heat_kj_per_m2"] = r.TotalHeat;
  d["uniform_temperature"] = r.UniformFound ? py::cast(r.UniformTemperature) : py::none();
  d["uniform_speed"] = r.UniformFound ? py::cast(r.UniformSpeed) : py::none();
  d["active"] = r.Active;
  d["at_bounds"] = r.AtBounds;
  d["set_by_bounds"] = r.SetByBounds;
  d["slowest_speed"] = r.SlowestSpeed.empty() ? py::none() : py::cast(r.SlowestSpeed);
  d["window_holds"] = r.WindowHolds;
  d["window"] = r.Window;
  d["headline"] = DesignHeadline(r);
  d["local_check"] = r.LocalCheck;
  d["locally_optimal"] = r.LocallyOptimal;
  d["report"] = DesignReport(p, r);
  d["table"] = csv;
  d["front"] = front >= 2 && r.Found ? py::cast(FrontCsv(p, fr)) : py::none();
  return d;
}

}  // namespace

void AddDesignFunctions(py::module_& m) {
  m.def("design", &DesignDict, py::arg("texts"), py::arg("max_residual"), py::arg("residual_unit"),
        py::arg("no_boiling"), py::arg("boiling_margin"), py::arg("no_skinning"), py::arg("max_film_temperature"),
        py::arg("span"), py::arg("lowest"), py::arg("highest"), py::arg("speed_lower"), py::arg("speed_upper"),
        py::arg("over"), py::arg("non_decreasing"), py::arg("web_width"), py::arg("robust"),
        py::arg("max_evaluations"), py::arg("front") = 0, py::arg("slowest") = 100.0, py::arg("gas_tolerance") = 0.0);
}
