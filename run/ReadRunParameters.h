#pragma once
// Field texts -> validated run parameters, with the window's messages.

#include <string>
#include <string_view>
#include <utility>

#include "engine/EngineHost.h"
#include "engine/Faults.h"
#include "fields/FieldTable.h"
#include "engine/RunParameters.h"

namespace kelvane {

// Converts a field text with the standard decimal conversion (optional sign,
// digits with `decimalSeparator`, optional exponent) into an extended value.
// False when the text is empty or not a number.  Space characters before and
// after the number are ignored (a text of blanks only is empty); tabs,
// grouping, hexadecimal, "inf"/"nan" and values beyond the extended range are
// rejected.  The process locale plays no part, and the floating-point status
// flags are left as they were.
bool TextToExtended(const std::string& text, char decimalSeparator, long double& value);
// The standard integer conversion (optional sign, decimal digits, 32 bits),
// with the same tolerance of surrounding spaces; out of range is a failure.
bool TextToInt(const std::string& text, int& value);

// Where a real record member, as the field table names it ("WebSpeed",
// "ZoneLength[1]", "DiffParams2[7]"), is stored; null for any other name.
double* RealMember(RunParameters& p, std::string_view member);

// A field text that is not a number, outside every guard of the reading: the
// general error report's text, and the field it came from.
class FieldTextError : public GeneralError {
 public:
  FieldTextError(const std::string& text, std::string field) : GeneralError(text), Field(std::move(field)) {}
  std::string Field;  // component name
};

// Reads every field into setup.Params, decides ZoneCount and ZoneStepCount,
// sets InputAccepted and shows at most one message through `messages`, with
// an explanation that names the refused field (ShowExplainedMessage).
// A zone's outer-temperature text that is not a number throws FieldTextError
// with the general error report's text ("'x' は浮動小数点数ではありません").
void ReadRunParameters(const FieldTexts& fields, EngineHost& messages, RunSetup& setup,
                       char decimalSeparator = '.');

}  // namespace kelvane
