#pragma once
// TGlobalValue: a global variable of the scripts. Its value cell is the variable; compiled
// code reaches it through a cell handle, which the resource withdraws when it goes away.
#include <string>

#include "resources/Resource.h"

namespace kelvo {

class TGlobalValue : public TResource {
 public:
  // `valueText`: script source of the initial value, possibly empty.
  TGlobalValue(TResourceTree& tree, std::string name, std::string src = {},
               std::string valueText = {});
  std::string HostClassName() const override { return "TGlobalValue"; }

  TScriptValue* valueCell() override { return &value; }
  // Counts done; a non-empty valueText is assigned with the snippet NAME=VALUE;.
  void initStep(TInitContext& context) override;
  // <globalvalue name="NAME" value="VALUE"/> with the variable's current value: an integer in
  // decimal, a string as a quoted literal, anything else empty; VALUE becomes valueText and is
  // written escaped.
  void save(std::vector<std::string>& writer, const std::string& indent, int flag) override;
  void forgetValues() override;
  void mark(TCollector& collector) override;
  void Dispose() override;

  TScriptValue value;
  std::string valueText;
};

}  // namespace kelvo
