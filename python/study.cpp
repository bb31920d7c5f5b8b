// kelvane._core's studies: the rows of a sweep, and one row run to its line
// of the study table, the same line kelvane-run study writes.  A row is a
// whole calculation marched without the interpreter lock, so that rows run
// at once on the threads of a pool, or anywhere a Python executor sends
// them.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <map>
#include <string>
#include <vector>

#include "run/ReadRunParameters.h"
#include "study/BaseCaseCheck.h"
#include "study/StudyRun.h"
#include "study/StudyTable.h"

namespace py = pybind11;
using namespace kelvane;

namespace {

// The study of field texts by field name, varied by "NAME=VALUES" texts.
// ParseVaried's std::invalid_argument reaches Python as ValueError.
StudyDefinition Study(const std::map<std::string, std::string>& texts, const std::vector<std::string>& varies) {
  StudyDefinition s;
  for (const auto& [component, text] : texts) s.Base.SetText(component, text);
  for (const std::string& v : varies) s.Varied.push_back(ParseVaried(v));
  return s;
}

// (the table's header line, the row numbers of the whole study).
py::tuple StudyPlan(const std::vector<std::string>& varies) {
  const StudyDefinition s = Study({}, varies);
  // A value that is not a number would only make rows that are refused: the
  // study is refused instead, as kelvane-run study refuses it.
  for (const VariedField& v : s.Varied) {
    if (v.Field && v.Field->Member == "SaveFileName") continue;
    for (const std::string& value : v.Values) {
      long double number = 0;
      if (!TextToExtended(value, '.', number))
        throw py::value_error("vary[" + v.Name + "]: \"" + value + "\" is not a number");
    }
  }
  const std::size_t rows = RowCount(s);
  if (rows > MaxStudyRows) throw py::value_error("the study has more than a million rows");
  std::vector<std::size_t> numbers(rows);
  for (std::size_t i = 0; i < rows; ++i) numbers[i] = i + 1;
  return py::make_tuple(CsvHeader(s), numbers);
}

// The base case's refusal, as run() reports it: (message, field,
// explanation), or None when every row reads its base case.
py::object BaseRefusal(const std::map<std::string, std::string>& texts, const std::vector<std::string>& varies) {
  const std::optional<BaseCaseRefusal> r = RefusedBaseCase(Study(texts, varies));
  if (!r) return py::none();
  return py::make_tuple(r->Message, r->Detail.Field, r->Detail.Explanation);
}

// Row `number`'s line of the table, its result file discarded.
std::string StudyRowLine(const std::map<std::string, std::string>& texts, const std::vector<std::string>& varies,
                         std::size_t number, bool robust, bool identical) {
  const StudyDefinition s = Study(texts, varies);
  if (number < 1 || number > RowCount(s)) throw py::index_error("no such row in the study");
  StudyOptions options;
  options.Robust = robust;
  options.Identical = identical;
  py::gil_scoped_release unlocked;
  return CsvLine(RunRow(s, RowAt(s, number), options));
}

}  // namespace

void AddStudyFunctions(py::module_& m) {
  m.def("study_plan", &StudyPlan, py::arg("varies"));
  m.def("study_base_refusal", &BaseRefusal, py::arg("texts"), py::arg("varies"));
  m.def("study_row", &StudyRowLine, py::arg("texts"), py::arg("varies"), py::arg("number"),
        py::arg("robust") = true, py::arg("identical") = false);
}
