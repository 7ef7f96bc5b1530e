#pragma once
// TClassResource: a script class as a resource of the tree. The class itself (TRTTI) is made
// and owned by the virtual machine; this resource creates it, keeps its name, full name and
// source in step with the tree, compiles it during initialisation and destroys it with
// itself. The class points back at its resource (TRTTI::Resource).
#include <string>

#include "resources/Resource.h"

namespace kelvo {

class TRTTI;

class TClassResource : public TResource {
 public:
  // Creates the class. With alias registration on, a name not yet in TAlias is entered under
  // the class's own name (Aliased) and removed again when the class goes away.
  TClassResource(TResourceTree& tree, std::string name, std::string src = {});
  std::string HostClassName() const override { return "TRTTI"; }

  TRTTI& Class() const { return *rtti_; }

  void setName(std::string name) override;
  void setSrc(std::string src) override;
  // The class's SelfCell.
  TScriptValue* valueCell() override;
  // Not compiled yet: reset, read the source (a missing file shows src + "が見つかりません"
  // and raises the file error) and compile it. Reports failed / done / pending.
  void initStep(TInitContext& context) override;
  // <class name="NAME" src="PATH"/>, PATH relative to the base directory.
  void save(std::vector<std::string>& writer, const std::string& indent, int flag) override;
  // Also finalizes every instance of the pool that is not a free slot.
  void forgetValues() override;
  void mark(TCollector& collector) override;
  void sweep(TCollector& collector) override;
  // IdentityText + ":オブジェクトがまだ残っています" while objects of the class are held.
  void checkDestroyable() const override;
  void Dispose() override;
  void placeChanged() override;

 private:
  TRTTI* rtti_;
};

// The class a resource is, or nullptr.
TRTTI* ClassOf(TResource* r);
TClassResource* ClassResourceOf(TRTTI* cls);

}  // namespace kelvo
