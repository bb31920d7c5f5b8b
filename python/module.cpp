// kelvane._core: the calculation, the field table and the files for Python.
// A thin layer over the run driver and the file libraries; the Python
// package around it shapes the results into NumPy arrays and raises the
// errors.  The march itself runs without the interpreter lock, so several
// threads compute at once, each with its own Calculation.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KelvaneVersion.h"
#include "engine/MiscCalc.h"
#include "files/DataFile.h"
#include "files/ResultFileReader.h"
#include "files/ResultTables.h"
#include "fields/FieldTable.h"
#include "run/RunHost.h"
#include "run/StartRun.h"
#include "summary/RunSummary.h"
#include "summary/RunTrace.h"
#include "summary/SummaryText.h"

namespace py = pybind11;
using namespace kelvane;

namespace {

// Keeps every message of a run with its explanation and field, and the
// plausibility warnings (the run goes on despite them, as kelvane-run
// without --strict).  Called from the marching thread, without the
// interpreter lock: it touches nothing of Python.
class CollectingHost : public RunHost {
 public:
  void ShowMessage(const std::string& text) override { ShowExplainedMessage(text, {}); }
  void ShowExplainedMessage(const std::string& text, const MessageDetail& detail) override {
    Messages.push_back(text);
    Details.push_back(detail);
  }
  void ShowFinishDialog() override { ShowMessage("Calculation is successfully finished !"); }
  void ShowErrorReport(const std::string& text) override { ShowMessage(text); }
  void ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) override {
    ShowExplainedMessage(text, detail);
  }
  bool RunDespite(const std::vector<PlausibilityWarning>& warnings) override {
    Plausibility = warnings;
    return true;
  }
  // On the main thread, Ctrl-C (or any signal handler that raises) stops
  // the march after its current step.  The interpreter's signal handlers
  // run under its lock, taken a few times a second only.
  bool CancelRequested() override {
    if (!Interruptible || Interrupt) return Interrupt.has_value();
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ < std::chrono::milliseconds(100)) return false;
    lastPoll_ = now;
    py::gil_scoped_acquire locked;
    if (PyErr_CheckSignals() != 0) Interrupt.emplace();  // takes the pending exception
    return Interrupt.has_value();
  }
  bool Interruptible = false;
  std::optional<py::error_already_set> Interrupt;
  std::vector<std::string> Messages;
  std::vector<MessageDetail> Details;
  std::vector<PlausibilityWarning> Plausibility;

 private:
  std::chrono::steady_clock::time_point lastPoll_ = std::chrono::steady_clock::now();
};

const char* OutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Refused: return "refused";
    case RunOutcome::Declined: return "declined";
    case RunOutcome::Finished: return "finished";
    case RunOutcome::EngineFailed: return "engine_failed";
    case RunOutcome::ArithmeticFault: return "arithmetic_fault";
    case RunOutcome::FileError: return "file_error";
    case RunOutcome::Cancelled: return "cancelled";
    case RunOutcome::GeneralError: return "general_error";
  }
  return "unknown";
}

py::array_t<double> Column(const std::vector<double>& values) {
  py::array_t<double> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

template <class Row, std::size_t N>
py::array_t<double> Matrix(const std::vector<Row>& rows, std::array<double, N> Row::*member) {
  py::array_t<double> a({static_cast<py::ssize_t>(rows.size()), static_cast<py::ssize_t>(N)});
  double* out = a.mutable_data();
  for (const Row& r : rows)
    for (double v : r.*member) *out++ = v;
  return a;
}

template <class Get>
py::array_t<double> RowColumn(const std::vector<ResultRow>& rows, Get get) {
  std::vector<double> v;
  v.reserve(rows.size());
  for (const ResultRow& r : rows) v.push_back(get(r));
  return Column(v);
}

// One dict per zone: its conditions and its four tables.
py::dict ZoneDict(const ResultFileData& data, const ZoneResults& z) {
  py::dict d;
  d["zone"] = z.Zone;
  d["start"] = data.ZoneStart(z.Zone);
  if (const ZoneConditions* c = data.ConditionsOf(z.Zone)) {
    d["gas_temperature"] = c->OuterTemperature;
    d["length"] = c->ZoneLength;
    d["partial_pressure_1"] = c->PartialPressure1;
    d["partial_pressure_2"] = c->PartialPressure2;
    d["base_heat_transfer"] = c->BaseHeatTransferCoeff;
    d["coat_heat_transfer"] = c->CoatHeatTransferCoeff;
  }
  d["time"] = RowColumn(z.Rows, [](const ResultRow& r) { return r.Time; });
  d["position"] = RowColumn(z.Rows, [](const ResultRow& r) { return r.Length; });
  d["film_temperature"] = RowColumn(z.Rows, [](const ResultRow& r) { return r.Temp; });
  d["concentration_1"] = RowColumn(z.Rows, [](const ResultRow& r) { return r.AvgConc1; });
  d["concentration_2"] = RowColumn(z.Rows, [](const ResultRow& r) { return r.AvgConc2; });
  d["solvent_remaining"] = RowColumn(z.Rows, [](const ResultRow& r) { return r.SolRemain; });
  d["thickness"] = RowColumn(z.Rows, [](const ResultRow& r) { return r.CoatThick; });
  d["layer_thickness"] = Matrix(z.Layers, &LayerRow::Thick);
  d["profile_1"] = Matrix(z.Solvent1, &ProfileRow::Conc);
  d["profile_2"] = Matrix(z.Solvent2, &ProfileRow::Conc);
  return d;
}

py::dict DataDict(const ResultFileData& data) {
  py::dict d;
  d["increment_z"] = data.IncrementZ;
  d["layers"] = data.NumberOfLayers;
  d["web_speed"] = data.WebSpeed;
  d["initial_temperature"] = data.InitialTemperature;
  d["truncated"] = data.Truncated;
  py::list zones;
  for (const ZoneResults& z : data.Zones) zones.append(ZoneDict(data, z));
  d["zones"] = zones;
  return d;
}

ZoneConditions ConditionsFromParams(const RunParameters& p, int k) {
  return {k, p.OuterTemperature[k], p.ZoneLength[k], p.PartialPressure1[k], p.PartialPressure2[k],
          p.BaseHeatTransferCoeff[k], p.CoatHeatTransferCoeff[k]};
}

FieldTextMap TextsFrom(const std::map<std::string, std::string>& texts) {
  FieldTextMap fields;
  for (const auto& [component, text] : texts) {
    // NUL and line ends are in no field's text: a text with one was
    // read from something that is not text.
    if (ControlByteAt(text) != std::string::npos)
      throw py::value_error("the text of " + component + " holds a control byte (NUL, a line end, ...)");
    fields.SetText(component, text);
  }
  return fields;
}

py::dict Run(const std::map<std::string, std::string>& texts, bool robust, bool interruptible, bool continuation) {
  FieldTextMap fields = TextsFrom(texts);
  auto calc = std::make_unique<Calculation>();
  // Off the plain path: the continuation solve first (fast), or the secant
  // search and the full robust solve, whose steps move smoothly with the
  // inputs where a run crosses between the plain path and off it.
  calc->ContinuationSolve = continuation;
  CollectingHost host;
  host.Interruptible = interruptible;
  RunOptions options;
  options.Robust = robust;
  // After each zone's march: the summary's trace at every step, and the
  // rows the result file prints of a zone marched to its end.
  TraceRecorder recorder;
  std::vector<ZoneResults> zones;
  options.ZoneMarched = [&](const Calculation& c, int zone, int lastRow, bool complete) {
    recorder.Zone(c, zone, lastRow, complete);
    if (zone == 1) zones.clear();  // a robust run marched again starts over
    if (complete) zones.push_back(SampledZoneResults(c.Setup, c.State, zone, c.Setup.ZoneStepCount[zone]));
  };
  RunReport report;
  std::string summary, table;
  {
    py::gil_scoped_release unlocked;
    report = StartRun(fields, host, *calc, options);
    if (!recorder.Trace().Zones.empty()) {
      recorder.Trace().End = RunEndOf(report, *calc);
      const RunSummary s = SummarizeRun(recorder.Trace());
      summary = SummaryJson(s);
      table = SummaryTable(s);
    }
  }

  ResultFileData data;
  const RunParameters& p = calc->Setup.Params;
  if (calc->Setup.InputAccepted) {
    data.IncrementZ = p.IncrementZ;
    data.NumberOfLayers = p.TotalLayerCount - 4;
    data.WebSpeed = p.WebSpeed;
    data.InitialTemperature = p.InitialTemperature;
    // The file holds the conditions of every zone the march entered.
    const int entered = report.FailedZone > 0 ? report.FailedZone : report.ZonesWritten;
    for (int k = 1; k <= entered; ++k) data.Conditions.push_back(ConditionsFromParams(p, k));
  }
  // The file holds a zone's results once it was marched to its end and
  // written; a failed write ends the run at that zone.
  if (report.Outcome == RunOutcome::FileError && !zones.empty() && zones.back().Zone == report.FailedZone)
    zones.pop_back();
  // The run stopped on the interrupt, its partial result file in place.
  if (host.Interrupt) throw std::move(*host.Interrupt);
  data.Zones = std::move(zones);

  py::dict d = DataDict(data);
  d["outcome"] = OutcomeName(report.Outcome);
  d["messages"] = host.Messages;
  py::list details, plausibility;
  for (const MessageDetail& m : host.Details) details.append(py::make_tuple(m.Explanation, m.Field));
  for (const PlausibilityWarning& w : host.Plausibility) plausibility.append(py::make_tuple(w.Field, w.Text));
  d["details"] = details;
  d["input_warnings"] = plausibility;
  d["summary"] = summary;
  d["summary_table"] = table;
  d["failed_zone"] = report.FailedZone;
  py::list rescued;
  for (const RescuedStep& r : calc->Rescued) rescued.append(py::make_tuple(r.Zone, r.Step));
  d["rescued"] = rescued;
  // The polymer per unit area (g/m2), which drying never changes.
  d["dry_weight"] = calc->Setup.InputAccepted
                        ? py::object(py::float_(calc->State.InitPolymerConc * p.InitialCoatingThickness * 1.0e4))
                        : py::object(py::none());
  return d;
}

py::dict ReadResult(const std::string& path) {
  ResultFileRead read;
  {
    py::gil_scoped_release unlocked;
    read = ReadResultFile(path);
  }
  py::dict d = DataDict(read.Data);
  d["ok"] = read.Ok;
  d["error"] = read.Error;
  // The summary of the rows the file holds, where its echo has what the
  // summary needs.
  std::string summary, table, why;
  RunTrace trace;
  if (read.Ok && TraceFromResultFile(read.Data, trace, why)) {
    const RunSummary s = SummarizeRun(trace);
    summary = SummaryJson(s);
    table = SummaryTable(s);
  }
  d["summary"] = summary;
  d["summary_table"] = table;
  return d;
}

class SilentMessages : public EngineHost {
 public:
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  std::vector<std::string> Messages;
};

// (status, messages, texts): status "applied", "cannot_open" or "not_a_data_file".
py::tuple ReadData(const std::string& path) {
  FieldTextMap fields;
  SilentMessages messages;
  const DataFileStatus status = InputDataFile(path, fields, messages);
  const char* name = status == DataFileStatus::Applied      ? "applied"
                     : status == DataFileStatus::CannotOpen ? "cannot_open"
                                                            : "not_a_data_file";
  std::map<std::string, std::string> texts(fields.All().begin(), fields.All().end());
  return py::make_tuple(name, messages.Messages, texts);
}

// (status, field, errno): status "ok", "unwritable_text", "open_failed" or "write_failed".
py::tuple WriteData(const std::string& path, const std::map<std::string, std::string>& texts) {
  using Status = DataFileWriteResult::Status;
  const DataFileWriteResult r = WriteDataFileChecked(path, TextsFrom(texts));
  const char* name = r.Result == Status::Ok               ? "ok"
                     : r.Result == Status::UnwritableText ? "unwritable_text"
                     : r.Result == Status::OpenFailed     ? "open_failed"
                                                          : "write_failed";
  return py::make_tuple(name, r.Field, r.ErrorCode);
}

py::list Fields() {
  py::list out;
  for (const FieldSpec& f : FieldTable())
    out.append(py::make_tuple(f.Component, f.Member, f.Unit, f.Caption, f.DefaultText, f.Enabled));
  return out;
}

}  // namespace

void AddStudyFunctions(py::module_& m);
void AddDesignFunctions(py::module_& m);

PYBIND11_MODULE(_core, m) {
  m.doc() = "The Kelvane calculation (internal; use the kelvane package).";
  m.attr("__version__") = KELVANE_VERSION;
  m.def("field_table", &Fields,
        "Every field as (field name, record name, unit, caption, default text, editable in the window).");
  m.def("run", &Run, py::arg("texts"), py::arg("robust") = false, py::arg("interruptible") = false,
        py::arg("continuation") = true,
        "Run the calculation on field texts by field name; the result file goes to the text of Edit250.");
  m.def("read_result_file", &ReadResult, py::arg("path"));
  m.def("read_data_file", &ReadData, py::arg("path"));
  m.def("write_data_file", &WriteData, py::arg("path"), py::arg("texts"));
  AddStudyFunctions(m);
  AddDesignFunctions(m);
}
