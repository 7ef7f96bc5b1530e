#include "resources/GlobalValue.h"

#include "resources/ResourceTree.h"
#include "resources/SGML.h"
#include "values/Collector.h"
#include "values/Conversions.h"
#include "values/Globals.h"
#include "values/Strings.h"
#include "vm/Diagnostics.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

TGlobalValue::TGlobalValue(TResourceTree& tree, std::string name, std::string src,
                           std::string valueText)
    : TResource(tree, std::move(name), std::move(src)), valueText(std::move(valueText)) {}

void TGlobalValue::initStep(TInitContext& context) {
  ++context.done;
  if (!valueText.empty()) Tree().Eval(name() + "=" + valueText + ";");
}

void TGlobalValue::save(std::vector<std::string>& writer, const std::string& indent, int flag) {
  const TVirtualMachine& vm = Tree().Vm();
  std::string text;
  if (const TScriptValue* cell = GlobalCell(Tree(), name())) {
    if (cell->Tag == vkInt)
      text = std::to_string(cell->Int);
    else if (cell->Tag == vkObject && IsStringObject(vm, cell->Object))
      text = QuoteStringLiteral(StringText(vm, *cell->Object));
  }
  valueText = text;
  writer.push_back(indent + "<globalvalue name=\"" + name() + "\" value=\"" +
                   TSGML::escapeAttr(text) + "\"/>");
}

void TGlobalValue::forgetValues() {
  TResource::forgetValues();
  ClearCell(value);
}

void TGlobalValue::mark(TCollector& collector) {
  TResource::mark(collector);
  collector.MarkValue(value);
}

void TGlobalValue::Dispose() {
  TResource::Dispose();
  // Code that refers to the variable by handle finds nothing from now on.
  Tree().Vm().Cells().Unregister(&value);
  try {
    SetNull(value);
  } catch (const std::exception& e) {
    ClearCell(value);
    Tree().Diagnostics().LogLine(e.what());
  }
}

}  // namespace kelvo
