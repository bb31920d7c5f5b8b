#pragma once
// The summary's targets and thresholds read from texts, as a person types
// them: the residual target with its unit ("1%", "0.5g/m2", "500ppm"), the
// film-temperature limit, the web width and the thresholds of the
// above-boiling-point and skinning warnings.  An empty text keeps the
// setting's default (no target, no limit, no width).  Numbers use a full
// stop whatever the process locale.

#include <string>

#include "summary/RunSummary.h"

namespace kelvane {

struct SummarySettingsTexts {
  std::string ResidualTarget;        // a number with %, g/m2 or ppm
  std::string MaxFilmTemperature;    // degC
  std::string WebWidth;              // m, above 0
  std::string BoilingPointShare;     // % by mass, 0 to 100
  std::string SkinSurfacePolymer;    // volume fraction, 0 to 1
  std::string SkinSolventRemaining;  // % of the initial solvent, 0 to 100
};

enum class SummarySettingField {
  None,
  ResidualTarget,
  MaxFilmTemperature,
  WebWidth,
  BoilingPointShare,
  SkinSurfacePolymer,
  SkinSolventRemaining
};

struct SummarySettingsRead {
  SummarySettings Settings;
  SummarySettingField Field = SummarySettingField::None;  // the first text that could not be read
  std::string Error;  // what that text should have been; empty when all were read
  bool Ok() const { return Field == SummarySettingField::None; }
};

SummarySettingsRead ReadSummarySettings(const SummarySettingsTexts& texts);

// "Residual target", "Film-temperature limit", ...: a field's name for messages.
const char* SummarySettingCaption(SummarySettingField field);

}  // namespace kelvane
