#pragma once
// What a data file that reads says about itself beyond its values.  The
// reader is positional: line N fills the field of line N whatever its label
// says, and the twelve fixed fields keep their values whatever the file
// holds.  These checks name the lines where that reading is not what the
// file claims: a label that belongs to another line (two lines swapped, a
// file of another layout), or a fixed field's value that the run will not
// use.

#include <string>
#include <vector>

#include "fields/FieldTable.h"

namespace kelvane {

// One text per line whose label is not the one that belongs there (its
// ASCII part compared, spaces collapsed), and per fixed field whose value
// in the file differs from `used`, the text the run uses.  `lines` as
// ReadDataFileLines gives them (raw Shift_JIS).
std::vector<std::string> CheckDataFile(const std::vector<std::string>& lines, const FieldTexts& used);

}  // namespace kelvane
