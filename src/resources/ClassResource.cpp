#include "resources/ClassResource.h"

#include "platform/Paths.h"
#include "platform/ShiftJis.h"
#include "resources/ResourceTree.h"
#include "resources/ScriptCaller.h"
#include "resources/TextFile.h"
#include "values/Collector.h"
#include "vm/Diagnostics.h"
#include "vm/Rtti.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

TClassResource::TClassResource(TResourceTree& tree, std::string name, std::string src)
    : TResource(tree, name, src), rtti_(tree.Vm().NewClass(name, name, src)) {
  rtti_->Resource = this;
  if (tree.AliasRegistration && !tree.Alias().Get(this->name())) {
    tree.Alias().Add(this->name(), this);
    rtti_->Aliased = true;
  }
}

void TClassResource::setName(std::string name) {
  rtti_->Name = name;
  TResource::setName(std::move(name));
}

void TClassResource::setSrc(std::string src) {
  rtti_->Src = src;
  TResource::setSrc(std::move(src));
}

void TClassResource::placeChanged() { rtti_->FullName = Tree().fullName(*this); }

TScriptValue* TClassResource::valueCell() { return &rtti_->SelfCell; }

void TClassResource::initStep(TInitContext& context) {
  if (!rtti_->Compiled) {
    rtti_->ResetClass();
    const std::string source = loadJoinedLines(Tree().Vm().Report(), src());
    if (TScriptCaller* caller = Tree().Caller()) caller->CompileClass(*rtti_, source, true);
  }
  if (rtti_->CompileFailed)
    ++context.failed;
  else if (rtti_->Compiled)
    ++context.done;
  else
    ++context.pending;
}

void TClassResource::save(std::vector<std::string>& writer, const std::string& indent, int flag) {
  writer.push_back(indent + "<class name=\"" + name() + "\" src=\"" +
                   RelativePath(src(), Tree().BaseDir()) + "\"/>");
}

void TClassResource::forgetValues() {
  TResource::forgetValues();
  rtti_->ForgetValues();
}

void TClassResource::mark(TCollector& collector) {
  TResource::mark(collector);
  collector.MarkClass(*rtti_);
}

void TClassResource::sweep(TCollector& collector) { collector.SweepClass(*rtti_); }

void TClassResource::checkDestroyable() const {
  if (rtti_->HasReferencedRecords())
    throw EScriptError(rtti_->IdentityText() + SJ(":オブジェクトがまだ残っています"));
}

void TClassResource::Dispose() {
  TResource::Dispose();
  TResourceTree& tree = Tree();
  if (rtti_->Aliased) tree.Alias().Delete(this);
  tree.Alias().Forget(this);
  rtti_->Resource = nullptr;
  tree.Vm().Cells().Unregister(&rtti_->SelfCell);
  try {
    tree.Vm().DestroyClass(rtti_);
  } catch (const std::exception& e) {
    // Objects of the class are still held: the class stays with the machine, detached.
    tree.Diagnostics().LogLine(e.what());
  }
}

TRTTI* ClassOf(TResource* r) {
  auto* cls = dynamic_cast<TClassResource*>(r);
  return cls ? &cls->Class() : nullptr;
}

TClassResource* ClassResourceOf(TRTTI* cls) {
  return cls ? dynamic_cast<TClassResource*>(cls->Resource) : nullptr;
}

}  // namespace kelvo
