// kelvane._core's dryer design: the library's design of the zones' gas
// temperatures and the web speed, marched without the interpreter lock.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <future>
#include <map>
#include <optional>
#include <thread>
#include <stdexcept>
#include <string>
#include <vector>

#include "air_arguments.h"
#include "study/DesignEnergy.h"
#include "study/BaseCaseCheck.h"
#include "study/Design.h"
#include "study/DesignAnswer.h"
#include "study/DesignFront.h"
#include "study/SearchChecks.h"
#include "study/StudyTable.h"

namespace py = pybind11;
using namespace kelvane;

namespace {

// Runs `work` on a thread of its own without the interpreter lock, while
// this thread takes the lock a few times a second to let the interpreter's
// signal handlers run: Ctrl-C (any handler that raises) sets `cancel`, the
// search stops after the current step of its runs, and the exception is
// raised once it has.
template <class Work>
void RunInterruptibly(std::atomic<bool>& cancel, Work&& work) {
  std::exception_ptr failed;
  std::optional<py::error_already_set> interrupt;
  {
    py::gil_scoped_release unlocked;
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread worker([&] {
      try {
        work();
      } catch (...) {
        failed = std::current_exception();
      }
      done.set_value();
    });
    while (finished.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
      if (interrupt) continue;
      py::gil_scoped_acquire locked;
      if (PyErr_CheckSignals() != 0) {
        interrupt.emplace();  // takes the pending exception
        cancel = true;
      }
    }
    worker.join();
  }
  if (interrupt) throw py::error_already_set(std::move(*interrupt));
  if (failed) std::rethrow_exception(failed);
}

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
                    std::optional<double> webWidth, bool robust, int maxEvaluations, int front,
                    bool identical, std::optional<double> maxLflShare, const py::dict& air, double slowest,
                    double gasTolerance) {
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
  // The dryer's air: the energy at the given (or needed) exhaust, and the
  // LFL share as a target for the zones given a flow.
  py::dict withWidth(air);
  withWidth["web_width"] = webWidth ? py::cast(*webWidth) : py::none();
  p.Goal.Air = AirFrom(withWidth).Air;
  p.Goal.WebWidth = webWidth;
  if (maxLflShare) {
    std::string why;
    if (!CheckLflShare(*maxLflShare, why)) throw py::value_error("max_lfl_share: " + why);
    if (!p.Goal.Air.AnyFlow())
      throw py::value_error("max_lfl_share: no zone has an exhaust flow to hold to it; give them with exhaust=");
    p.Goal.MaxLflShare = maxLflShare;
  }
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
    if (const std::string why = OverFieldClash(p.Fields, f.Field); !why.empty())
      throw py::value_error("over[\"" + name + "\"]: " + why);
    f.Lower = lo;
    f.Upper = hi;
    p.Fields.push_back(f);
  }
  // A base case every run would be refused for, as run() refuses it.
  if (const std::optional<BaseCaseRefusal> refused = RefusedSearchBase(base.Base, p.Fields)) {
    py::object error = py::module_::import("kelvane.fields").attr("InputError");
    PyErr_SetObject(error.ptr(), error(refused->Message, refused->Detail.Field, refused->Detail.Explanation).ptr());
    throw py::error_already_set();
  }
  StudyOptions options;
  options.Robust = robust;
  options.Identical = identical;
  StudyControl control;
  DesignResult r;
  DesignFrontResult fr;
  RunInterruptibly(control.Cancel, [&] {
    if (front >= 2) {
      fr = DesignFront(base, p, front, options, control);
      r = fr.Unconstrained;
      r.Evaluations = fr.Evaluations;
    } else {
      r = Design(base, p, options, control);
    }
  });
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
  // With the make-up air's heat at the needed flows: the energy the front trades.
  d["total_energy_kj_per_m2"] = r.Found ? py::cast(DesignEnergy(p, r.BestRow)) : py::none();
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
  std::string report = DesignReport(p, r);
  if (!r.Found && !r.Cancelled) {
    if (const std::string why = WhyNoRunCounted(r.Evaluations); !why.empty()) report += "Why: " + why + "\n";
  }
  d["report"] = report;
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
        py::arg("max_evaluations"), py::arg("front") = 0, py::arg("identical") = false,
        py::arg("max_lfl_share") = py::none(), py::arg("air") = py::dict(), py::arg("slowest") = 100.0,
        py::arg("gas_tolerance") = 0.0);
}
