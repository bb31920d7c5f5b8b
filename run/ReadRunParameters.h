#pragma once
// Field texts -> validated run parameters, with the window's messages.

#include <string>

#include "engine/EngineHost.h"
#include "run/FieldTable.h"
#include "run/RunParameters.h"

namespace kelvane {

// Converts a field text with the standard decimal conversion (optional sign,
// digits with `decimalSeparator`, optional exponent) into an extended value.
// False when the text is empty or not a number.
bool TextToExtended(const std::string& text, char decimalSeparator, long double& value);
// The standard integer conversion (optional sign, decimal digits, 32 bits).
bool TextToInt(const std::string& text, int& value);

// Reads every field into setup.Params, decides ZoneCount and ZoneStepCount,
// sets InputAccepted and shows at most one message through `messages`.
// A zone's outer-temperature text that is not a number throws GeneralError
// with the general error report's text ("'x' は浮動小数点数ではありません").
void ReadRunParameters(const FieldTexts& fields, EngineHost& messages, RunSetup& setup,
                       char decimalSeparator = '.');

}  // namespace kelvane
