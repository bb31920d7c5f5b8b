// kelvane._core's optimize: the best setting of one or more fields that
// meets the targets, as kelvane-run optimize finds it.  One field that is
// the objective: the bracketing search of the boundary; otherwise COBYLA.
// The runs march without the interpreter lock.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "fields/FieldTable.h"
#include "run/NearestName.h"
#include "study/BoundarySearch.h"
#include "study/Optimize.h"
#include "study/StudyTable.h"

namespace py = pybind11;
using namespace kelvane;

namespace {

using Range = std::tuple<std::string, std::string, std::string>;  // name, lower, upper as texts

SearchedField Searched(const Range& r) {
  SearchedField f;
  f.Field.Name = std::get<0>(r);
  f.Field.Field = FindField(f.Field.Name);
  if (!f.Field.Field) throw std::invalid_argument(NoSuchField(f.Field.Name));
  f.Lower = std::stod(std::get<1>(r));
  f.Upper = std::stod(std::get<2>(r));
  if (!(f.Lower < f.Upper))
    throw std::invalid_argument(f.Field.Name + ": the lower bound " + std::get<1>(r) + " is not below the upper " +
                                std::get<2>(r));
  return f;
}

py::dict OptimizeFields(const std::map<std::string, std::string>& texts, const std::string& objective, bool maximize,
                        const std::vector<Range>& ranges, std::optional<double> maxResidual,
                        std::optional<double> maxFilmTemperature, bool noBoiling, double tolerance,
                        int maxEvaluations, bool robust) {
  StudyDefinition study;
  for (const auto& [component, text] : texts) study.Base.SetText(component, text);
  Targets goal;
  goal.MaxResidual = maxResidual;
  goal.MaxFilmTemperature = maxFilmTemperature;
  goal.NoBoiling = noBoiling;
  std::vector<SearchedField> fields;
  for (const Range& r : ranges) fields.push_back(Searched(r));
  StudyOptions options;
  options.Robust = robust;
  StudyControl control;
  StudyDefinition evaluated;
  evaluated.Base = study.Base;
  for (const SearchedField& f : fields) evaluated.Varied.push_back(f.Field);

  py::dict d;
  std::vector<RowResult> evaluations;
  std::vector<std::string> best;
  bool found = false;
  std::string message;
  {
    py::gil_scoped_release unlocked;
    if (fields.size() == 1 && FindField(objective) == fields[0].Field.Field) {
      BoundarySearch s;
      s.Field = fields[0].Field;
      s.Lower = std::get<1>(ranges[0]);
      s.Upper = std::get<2>(ranges[0]);
      s.Maximize = maximize;
      s.Tolerance = tolerance;
      s.Goal = goal;
      const BoundaryResult r = SearchBoundary(study, s, options, control);
      evaluations = r.Evaluations;
      found = HasAnswer(r.End);
      message = BoundaryAnswer(s, r);
      if (found) best = {r.Best};
    } else {
      Optimization o;
      o.Fields = fields;
      o.Objective = objective;
      o.Maximize = maximize;
      o.Goal = goal;
      o.MaxEvaluations = maxEvaluations;
      const OptimizationResult r = Optimize(study, o, options, control);
      evaluations = r.Evaluations;
      found = r.Found;
      message = "COBYLA: " + r.Stop + " after " + std::to_string(r.Evaluations.size()) + " runs";
      if (found) best = r.Best;
    }
  }
  std::string table = CsvHeader(evaluated);
  for (const RowResult& r : evaluations) table += CsvLine(r);
  py::dict bestFields;
  for (std::size_t i = 0; i < best.size() && i < fields.size(); ++i) bestFields[py::str(fields[i].Field.Name)] = best[i];
  d["found"] = found;
  d["best"] = bestFields;
  d["message"] = message;
  d["evaluations"] = table;
  return d;
}

}  // namespace

void AddOptimizeFunctions(py::module_& m) {
  m.def("optimize", &OptimizeFields, py::arg("texts"), py::arg("objective"), py::arg("maximize"), py::arg("ranges"),
        py::arg("max_residual"), py::arg("max_film_temperature"), py::arg("no_boiling"), py::arg("tolerance"),
        py::arg("max_evaluations"), py::arg("robust"));
}
