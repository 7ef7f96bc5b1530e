#include "resources/Resource.h"

#include "platform/Paths.h"
#include "platform/ShiftJis.h"
#include "resources/ClassResource.h"
#include "resources/ResourceTree.h"
#include "values/Collector.h"
#include "values/Globals.h"
#include "vm/Diagnostics.h"
#include "vm/Rtti.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

void TResourceDeleter::operator()(TResource* r) const {
  if (!r) return;
  // Disposing runs scripts; nothing they raise may escape a destruction.
  try {
    r->DisposeOnce();
  } catch (const std::exception& e) {
    r->Tree().Diagnostics().LogLine(e.what());
  }
  delete r;
}

// ---- TResource ----

TResource::TResource(TResourceTree& tree, std::string name, std::string src)
    : THostObject(tree.Vm().Hosts(), kHostKind), tree_(tree), src_(std::move(src)) {
  name_ = std::move(name);
  lowerName_ = LowerCaseSjis(name_);
}

TResource::~TResource() { tree_.forget(this); }

void TResource::setName(std::string name) {
  name_ = std::move(name);
  lowerName_ = LowerCaseSjis(name_);
  placeChanged();
}

TScriptValue* TResource::getObject() {
  if (objectCell.Tag == vkObject) return &objectCell;
  // The wrapper is made by the script class BuiltInResource from a host pointer in $_1 and
  // handed back in $_2. $_2 is emptied first, so that a failed evaluation leaves the resource
  // without an object rather than with the last resource's wrapper.
  TScriptValue* arg = GlobalCell(tree_, globals::kWrap1);
  TScriptValue* result = GlobalCell(tree_, globals::kWrap2);
  if (!arg || !result) return &objectCell;
  SetHost(*arg, HostHandle());
  SetNull(*result);
  tree_.Eval("$_2=new BuiltInResource($_1);");
  // The evaluation may have replaced the variables' resources; look them up again.
  if (TScriptValue* made = GlobalCell(tree_, globals::kWrap2)) CopyVal(objectCell, *made);
  return &objectCell;
}

TResource* TResource::lookup(std::string_view path) {
  if (path.empty()) return this;
  const size_t dot = path.find('.');
  const std::string_view head = path.substr(0, dot);
  TResource* child = findChild(head);
  if (dot != std::string_view::npos) return child ? child->lookup(path.substr(dot + 1)) : nullptr;
  if (this != tree_.Root() || child) return child;
  if (TClassResource* cls = tree_.Alias().Get(path)) return cls;
  if (path[0] == '$') return tree_.globalVariable(path);
  return nullptr;
}

bool TResource::init() {
  int32_t previousDone = -1;
  for (;;) {
    TInitContext context;
    initStep(context);
    if (context.failed > 0) {
      const std::string text = SJ("初期化に失敗しました");
      tree_.Diagnostics().LogLine(text);
      throw EResourceError(text);
    }
    if (context.done == previousDone) throw EResourceError(SJ("循環参照があります"));
    previousDone = context.done;
    if (context.pending == 0) return true;
  }
}

void TResource::forgetValues() {
  if (objectCell.Tag == vkObject || objectCell.Tag == vkHost) ClearCell(objectCell);
}

void TResource::mark(TCollector& collector) { collector.MarkValue(objectCell); }

TResourcePtr TResource::clone() {
  std::vector<std::string> lines;
  save(lines, "", 0);
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return tree_.parseResource(text);
}

void TResource::Dispose() {
  if (objectCell.Tag != vkObject) return;
  if (TScriptValue* arg = GlobalCell(tree_, globals::kWrap1)) {
    CopyVal(*arg, objectCell);
    tree_.Eval("$_1.onDestroy();");
  }
  SetInt(objectCell, 0);
}

// ---- TResourceList ----

TResource* TResourceList::addChild(TResourcePtr r) {
  if (!r) return nullptr;
  TResource* raw = r.get();
  // A resource moved here from another list leaves that list first.
  if (raw->parent_ && raw->parent_ != this) {
    (void)raw->parent_->detachChild(raw).release();
  }
  raw->parent_ = this;
  children_.push_back(std::move(r));
  raw->placeChanged();
  return raw;
}

TResourcePtr TResourceList::detachChild(TResource* r) {
  for (auto it = children_.begin(); it != children_.end(); ++it) {
    if (it->get() != r) continue;
    TResourcePtr taken = std::move(*it);
    children_.erase(it);
    taken->parent_ = nullptr;
    taken->placeChanged();
    return taken;
  }
  return nullptr;
}

TResource* TResourceList::findChild(std::string_view name) const {
  const std::string key = LowerCaseSjis(name);
  for (const TResourcePtr& child : children_)
    if (child->lowerName() == key) return child.get();
  return nullptr;
}

void TResourceList::removeChild(TResource* r) {
  bool isChild = false;
  for (const TResourcePtr& child : children_) isChild = isChild || child.get() == r;
  if (!isChild) return;
  r->checkDestroyable();
  detachChild(r);  // the returned owner destroys it here
}

std::unique_ptr<TIterator> TResourceList::iterator() {
  return std::make_unique<TResListIterator>(*this);
}

// The walks go by index and re-read the count, so scripts that run inside a step and add
// resources do not invalidate them.
void TResourceList::initStep(TInitContext& context) {
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->initStep(context);
}

void TResourceList::save(std::vector<std::string>& writer, const std::string& indent, int flag) {
  writer.push_back(indent + "<resourcelist name=\"" + name() + "\">");
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->save(writer, indent + " ", flag);
  writer.push_back(indent + "</resourcelist>");
}

void TResourceList::forgetValues() {
  TResource::forgetValues();
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->forgetValues();
}

void TResourceList::mark(TCollector& collector) {
  TResource::mark(collector);
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->mark(collector);
}

void TResourceList::sweep(TCollector& collector) {
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->sweep(collector);
}

void TResourceList::listNames(std::vector<std::string>& names, const std::string& path) {
  names.push_back(path.empty() ? std::string("<root>") : path);
  for (size_t i = 0; i < children_.size(); ++i) {
    TResource& child = *children_[i];
    child.listNames(names, path.empty() ? child.name() : path + "." + child.name());
  }
}

void TResourceList::accept(TResourceIterator& visitor) {
  visitor.visit(*this);
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->accept(visitor);
}

void TResourceList::checkDestroyable() const {
  for (const TResourcePtr& child : children_) child->checkDestroyable();
}

void TResourceList::Dispose() {
  // The children go first, from the first to the last; each leaves the list before it is
  // destroyed, so scripts run by its destruction never meet it half destroyed.
  Tree().forget(this);
  while (!children_.empty()) {
    TResourcePtr first = std::move(children_.front());
    children_.erase(children_.begin());
    first->parent_ = nullptr;
    first.reset();
  }
  TResource::Dispose();
}

void TResourceList::placeChanged() {
  for (const TResourcePtr& child : children_) child->placeChanged();
}

// ---- TResListIterator ----

void TResListIterator::remove() {
  if (index_ == 0) return;
  --index_;
  list_.removeChild(list_.childAt(index_));
}

// ---- Host pointers ----

TResource* ResourceFromValue(const THostRegistry& hosts, const TScriptValue& v) {
  if (v.Tag != vkHost) return nullptr;
  THostObject* host = hosts.Find(v.Host);
  if (!host) return nullptr;
  if (host->HostKind() == THostKind::Resource) return static_cast<TResource*>(host);
  if (host->HostKind() == THostKind::Class) return static_cast<TRTTI*>(host)->Resource;
  return nullptr;
}

}  // namespace kelvo
