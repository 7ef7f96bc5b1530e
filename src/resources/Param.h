#pragma once
// TfParam: a named parameter text (the project's title, version, mainPage, ...).
#include <string>

#include "resources/Resource.h"

namespace kelvo {

class TfParam : public TResource {
 public:
  TfParam(TResourceTree& tree, std::string name, std::string src = {}, std::string valueText = {})
      : TResource(tree, std::move(name), std::move(src)), valueText(std::move(valueText)) {}
  std::string HostClassName() const override { return "TfParam"; }

  // <param name="NAME" value="VALUE"/>, written unescaped.
  void save(std::vector<std::string>& writer, const std::string& indent, int flag) override;

  std::string valueText;
};

}  // namespace kelvo
