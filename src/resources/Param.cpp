#include "resources/Param.h"

namespace kelvo {

void TfParam::save(std::vector<std::string>& writer, const std::string& indent, int flag) {
  writer.push_back(indent + "<param name=\"" + name() + "\" value=\"" + valueText + "\"/>");
}

}  // namespace kelvo
