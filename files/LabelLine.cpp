#include "files/LabelLine.h"

#include <stdexcept>

#include "files/CodePage932.h"

namespace kelvane {

LabelGroup LabelGroupOf(const FieldSpec& field) {
  switch (field.Group) {
    case FieldGroup::Diffusion1:
    case FieldGroup::Diffusion2:
      return LabelGroup::L44;
    case FieldGroup::General:
    case FieldGroup::Zone:
      return LabelGroup::L57;
    default:
      return LabelGroup::L58;
  }
}

std::string LabelPrefix(LabelGroup group, std::string_view sjisLabel) {
  std::size_t indent = 4, equalsColumn = 56;
  if (group == LabelGroup::L44) indent = 8, equalsColumn = 42;
  if (group == LabelGroup::L57) equalsColumn = 55;

  std::string line(indent, ' ');
  line += sjisLabel;
  if (line.size() < equalsColumn - 1) line.append(equalsColumn - 1 - line.size(), ' ');
  line += "=  ";
  return line;
}

std::string LabelPrefix(const FieldSpec& field) {
  std::string label;
  if (!Utf8ToCp932(field.EchoLabel, label))
    throw std::logic_error("echo label of " + field.Component + " has no Shift_JIS form");
  return LabelPrefix(LabelGroupOf(field), label);
}

}  // namespace kelvane
