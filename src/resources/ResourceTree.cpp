#include "resources/ResourceTree.h"

#include <cstdint>

#include "platform/BRegExp.h"
#include "platform/Paths.h"
#include "platform/ShiftJis.h"
#include "resources/ClassResource.h"
#include "resources/GlobalValue.h"
#include "resources/Param.h"
#include "resources/SGML.h"
#include "resources/ScriptCaller.h"
#include "vm/Diagnostics.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

namespace {

// The common part of every kind: "name", and "src" resolved against the text's directory.
std::string NameOf(const TSGML& e) { return e.getAttr("name"); }
std::string SrcOf(const TSGML& e, const std::string& baseDir) {
  return ResolvePath(e.getAttr("src"), baseDir);
}

}  // namespace

TResourceTree::TResourceTree(TVirtualMachine& vm, TBRegExp& regExp, TDiagnostics& diagnostics)
    : vm_(vm), regExp_(regExp), diagnostics_(diagnostics) {
  auto list = [this](const TSGML& e, const std::string& baseDir) -> TResourcePtr {
    TResourcePtr r(new TResourceList(*this, NameOf(e), SrcOf(e, baseDir)));
    if (e.subItems)
      for (const auto& item : *e.subItems)
        if (TResourcePtr child = buildResource(*item, baseDir)) r->addChild(std::move(child));
    return r;
  };
  builders_["resourcelist"] = list;
  builders_["classlist"] = list;
  builders_["class"] = [this](const TSGML& e, const std::string& baseDir) {
    return TResourcePtr(new TClassResource(*this, NameOf(e), SrcOf(e, baseDir)));
  };
  builders_["globalvalue"] = [this](const TSGML& e, const std::string& baseDir) {
    return TResourcePtr(
        new TGlobalValue(*this, NameOf(e), SrcOf(e, baseDir), e.getAttr("value")));
  };
  builders_["param"] = [this](const TSGML& e, const std::string& baseDir) {
    return TResourcePtr(new TfParam(*this, NameOf(e), SrcOf(e, baseDir), e.getAttr("value")));
  };
}

TResourceTree::~TResourceTree() {
  // The root is disposed while the tree still knows it, so that the scripts its resources'
  // objects run on destruction can still reach the variables that remain.
  if (root_) root_->DisposeOnce();
  root_.reset();
}

void TResourceTree::SetRoot(TResourcePtr root) {
  if (root_) root_->DisposeOnce();
  root_ = std::move(root);
  userGlobals_ = nullptr;
  if (!root_) return;
  // The tree was built bottom-up; full names are right only now that its root is known.
  root_->placeChanged();
  userGlobals_ = dynamic_cast<TResourceList*>(root_->lookup("usrglobal"));
}

TResource* TResourceTree::Lookup(std::string_view dotted) const {
  return root_ ? root_->lookup(dotted) : nullptr;
}

int TResourceTree::Eval(const std::string& text) const {
  return caller_ ? caller_->Eval(text) : 1;
}

// ---- Names ----

std::string TResourceTree::fullName(const TResource& r) const {
  const TResourceList* parent = r.parent();
  if (!parent || parent == root_.get()) return r.name();
  return fullName(*parent) + "." + r.name();
}

std::string TResourceTree::parentPath(std::string_view dotted) {
  const size_t dot = dotted.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(dotted.substr(0, dot));
}

std::string TResourceTree::lastSegment(std::string_view dotted) {
  const size_t dot = dotted.rfind('.');
  return std::string(dot == std::string_view::npos ? dotted : dotted.substr(dot + 1));
}

std::string TResourceTree::uniqueChildName(const TResourceList& list,
                                           const std::string& name) const {
  if (!list.findChild(name)) return name;
  std::string base = name;
  regExp_.Subst("s/\\_[0-9][0-9]*$//", base);
  const std::string lowerBase = LowerCaseSjis(base);
  // Suffixes too long to count are left out: the answer (at most this bound) cannot equal
  // them, and the arithmetic cannot overflow.
  constexpr int64_t kLargest = 999999999999999999;
  int64_t max = 0;
  for (const TResourcePtr& child : list.children()) {
    if (child->lowerName().find(lowerBase) == std::string::npos) continue;
    if (!regExp_.Match("/\\_([0-9][0-9]*)$/", child->name())) continue;
    const std::string digits = regExp_.GroupText(1);
    int64_t n = 0;
    for (char c : digits) {
      if (n > kLargest / 10) {
        n = -1;
        break;
      }
      n = n * 10 + (c - '0');
    }
    if (n > max && n < kLargest) max = n;
  }
  return base + "_" + std::to_string(max + 1);
}

TResource* TResourceTree::attachResource(std::string_view dotted, TResourcePtr r) {
  if (!r) return nullptr;
  r->setName(lastSegment(dotted));
  TResource* parent = Lookup(parentPath(dotted));
  return parent ? parent->addChild(std::move(r)) : nullptr;
}

void TResourceTree::deleteResource(std::string_view dotted) {
  TResource* parent = Lookup(parentPath(dotted));
  if (!parent) return;
  if (TResource* r = parent->findChild(lastSegment(dotted))) parent->removeChild(r);
}

// ---- Building ----

void TResourceTree::SetTagBuilder(const std::string& tag, TagBuilder builder) {
  builders_[tag] = std::move(builder);
}

TResourcePtr TResourceTree::buildResource(const TSGML& element, const std::string& baseDir) {
  // Every walk of the tree recurses along its depth, so hostile markup must not make it deep
  // enough to exhaust the stack: elements below the limit are left out.
  if (buildDepth_ >= kMaxNesting) {
    diagnostics_.LogLine(SJ("リソースの入れ子が深すぎます: ") + element.tagName);
    return nullptr;
  }
  struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
  } guard(buildDepth_);
  auto it = builders_.find(element.tagName);
  if (it != builders_.end()) return it->second(element, baseDir);
  if (fallback_) return fallback_(element, baseDir);
  vm_.Report().MessageBox(element.tagName + SJ("は不正なタグ名です"));
  return nullptr;
}

TResourcePtr TResourceTree::parseResource(const std::string& text, const std::string& baseDir) {
  const char* cursor = text.c_str();
  std::unique_ptr<TSGML> element = TSGML::readElement(cursor);
  if (!element) return nullptr;
  return buildResource(*element, baseDir);
}

// ---- Used by the resources ----

TResource* TResourceTree::globalVariable(std::string_view name) {
  if (!userGlobals_) return nullptr;
  if (TResource* found = userGlobals_->findChild(name)) return found;
  // Built directly rather than from the markup <globalvalue name="NAME">: the markup reader
  // would decode "%xx" and stop at quotes, and the variable would not carry the name it was
  // asked for (a later lookup would then create another one).
  return userGlobals_->addChild(TResourcePtr(new TGlobalValue(*this, std::string(name))));
}

void TResourceTree::forget(const TResource* r) {
  if (userGlobals_ == r) userGlobals_ = nullptr;
}

}  // namespace kelvo
