#include "cli/HelpText.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "run/FieldHelp.h"
#include "fields/FieldTable.h"
#include "run/NearestName.h"

namespace kelvane {
namespace {

// "  Edit1    InitialCoatingThickness    cm          default \"0.00577\"" and
// below it the caption, the ranges and the allowed values.
void FieldRows(std::ostream& out, const std::string& component, const std::string& member, const FieldSpec& f,
               const std::string& defaults) {
  char line[320];
  std::snprintf(line, sizeof line, "  %-8s %-26s %-11s %s%s\n", component.c_str(), member.c_str(), f.Unit.c_str(),
                defaults.c_str(), f.Enabled ? "" : "  (greyed in the window)");
  out << line;
  std::string caption = f.Caption;
  while (!caption.empty() && (caption.back() == ' ' || caption.back() == '=')) caption.pop_back();
  out << "           \"" << caption << "\"" << (f.Meaning.empty() ? "" : ": " + f.Meaning) << "\n";
  std::string limits;
  if (const std::string typical = RangeText(f.Typical, f.Unit); !typical.empty()) limits += "; typical " + typical;
  if (const std::string valid = RangeText(f.Valid, f.Unit); !valid.empty()) limits += "; plausible " + valid;
  if (!f.Allowed.empty()) limits += "; allowed " + f.Allowed;
  if (!limits.empty()) out << "           " << limits.substr(2) << "\n";
}

void ZonePattern(std::ostream& out) {
  out << "\n  Zones 2 to 14 (zone 2 on \"" << PageCaption(0) << "\", zones 3 to 8 on \"" << PageCaption(1)
      << "\",\n  zones 9 to 14 on \"" << PageCaption(2)
      << "\"): six fields each, as zone 1's, with k the zone number.\n"
         "  Zone 2 starts with zone 1's texts, zones 3 to 14 empty; a gas temperature\n"
         "  of 0 or an empty one ends the list of zones.\n";
  for (const FieldSpec& f : FieldTable()) {
    if (f.Zone != 2) continue;
    const std::string member = f.Member.substr(0, f.Member.find('[')) + "[k]";
    const std::string component = "Edit(10k+" + std::to_string(f.Index) + ")";
    FieldRows(out, component, member, f, "default \"" + f.DefaultText + "\" in zone 2");
  }
}

}  // namespace

std::string CommandsText() {
  return "Commands:\n"
         "  kelvane-run [run] [OPTIONS]    one calculation, as the window's OK button (this page)\n"
         "  kelvane-run study OPTIONS      many runs at once: sweeps over fields, one table row per run\n"
         "                                 (kelvane-run study --help)\n"
         "  kelvane-run optimize OPTIONS   the best setting that meets targets, such as the fastest\n"
         "                                 line speed (kelvane-run optimize --help)\n"
         "  kelvane-run design OPTIONS     the fastest line speed over every zone's gas temperature:\n"
         "                                 the dryer's schedule (kelvane-run design --help)\n";
}

std::string FieldListText() {
  std::ostringstream out;
  out << "\nFields (NAME for --set: the field name or its record name), page by page as in the window:\n";
  for (int page = 0; page < FieldPageCount; ++page) {
    if (page == 1 || page == 2) continue;  // zones 3 to 14: the pattern on the first page
    out << "\nPage \"" << PageCaption(page) << "\"\n";
    std::string group;
    for (const FieldSpec& f : FieldTable()) {
      if (FieldPage(f) != page || f.Zone > 1) continue;
      if (const std::string g = FieldGroupCaption(f); g != group) {
        group = g;
        out << " " << group << "\n";
      }
      FieldRows(out, f.Component, f.Member, f, "default \"" + f.DefaultText + "\"");
    }
    if (page == 0) ZonePattern(out);
  }
  out << "\nGreyed fields cannot be edited in the window and a data file leaves them\n"
         "alone; --set still changes them.\n"
         "\nBefore the march the inputs are checked for values that make no physical\n"
         "sense or lie far outside the model's range (the \"plausible\" ranges above,\n"
         "room for the polymer, supersaturated gas, gas far above a solvent's boiling\n"
         "point, fewer than 5 steps in a zone); each is printed as a warning, and\n"
         "--strict refuses the run.\n";
  return out.str();
}

bool ReportUnknownOption(const CLI::App& app, int argc, const char* const* argv, const std::string& program) {
  std::vector<std::string> known;
  for (const CLI::Option* o : app.get_options())
    for (const std::string& name : o->get_lnames()) known.push_back("--" + name);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") break;
    if (arg.rfind("--", 0) != 0 || arg.size() == 2) continue;
    const std::string name = arg.substr(0, arg.find('='));
    bool isKnown = false;
    for (const std::string& k : known) isKnown = isKnown || k == name;
    if (isKnown) continue;
    const std::string near = NearestName(name, known);
    std::fprintf(stderr, "%s: unknown option %s%s\n", program.c_str(), name.c_str(),
                 near.empty() ? " (--help lists the options)" : (" (did you mean " + near + "?)").c_str());
    return true;
  }
  return false;
}

}  // namespace kelvane
