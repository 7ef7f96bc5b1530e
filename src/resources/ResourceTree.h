#pragma once
// TResourceTree: the resource tree and its program-wide state: the root list, userGlobals
// (the list "usrglobal" that holds every global variable), the short class names, the base
// directory, the alias registration switch, and the script caller that runs the snippets of
// initialisation, wrapping and destruction. The system creates one; tests create fresh ones.
// Destroy it before the virtual machine.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "resources/Alias.h"
#include "resources/Resource.h"

namespace kelvo {

class TBRegExp;
class TDiagnostics;
class TSGML;
class TScriptCaller;
class TVirtualMachine;

class TResourceTree {
 public:
  // Builds a resource from an element of a given tag; `baseDir` resolves "src".
  using TagBuilder = std::function<TResourcePtr(const TSGML& element, const std::string& baseDir)>;

  TResourceTree(TVirtualMachine& vm, TBRegExp& regExp, TDiagnostics& diagnostics);
  ~TResourceTree();
  TResourceTree(const TResourceTree&) = delete;
  TResourceTree& operator=(const TResourceTree&) = delete;

  TVirtualMachine& Vm() const { return vm_; }
  TBRegExp& RegExp() const { return regExp_; }
  TDiagnostics& Diagnostics() const { return diagnostics_; }

  // ---- Root and userGlobals ----
  TResource* Root() const { return root_.get(); }
  // Replaces (and destroys) the root; userGlobals becomes the root's "usrglobal" when that is
  // a list, else none.
  void SetRoot(TResourcePtr root);
  TResourceList* UserGlobals() const { return userGlobals_; }
  void SetUserGlobals(TResourceList* list) { userGlobals_ = list; }
  // Root lookup; nullptr without a root.
  TResource* Lookup(std::string_view dotted) const;

  // ---- Short names, base directory, alias switch ----
  TAlias& Alias() { return alias_; }
  const std::string& BaseDir() const { return baseDir_; }
  void SetBaseDir(std::string dir) { baseDir_ = std::move(dir); }
  bool AliasRegistration = true;

  // ---- Scripts ----
  TScriptCaller* Caller() const { return caller_; }
  void SetCaller(TScriptCaller* caller) { caller_ = caller; }
  // Evaluates a snippet through the caller; without one nothing runs and the result is 1.
  int Eval(const std::string& text) const;

  // ---- Names ----
  // The parent's full name, ".", and the name; the name alone below the root or detached.
  std::string fullName(const TResource& r) const;
  static std::string parentPath(std::string_view dotted);
  static std::string lastSegment(std::string_view dotted);
  // `name` when no child of the list carries it; otherwise the name without its "_digits"
  // suffix, "_" and one more than the largest such suffix among the children.
  std::string uniqueChildName(const TResourceList& list, const std::string& name) const;

  // Names r after the last segment and adds it to the resource its parent path names; answers
  // r, or nullptr (r is destroyed) when that resource is missing or not a list.
  TResource* attachResource(std::string_view dotted, TResourcePtr r);
  // Removes and destroys the resource `dotted` names from its parent, when both exist.
  void deleteResource(std::string_view dotted);

  // ---- Building from markup ----
  // The tag table. Built in: "resourcelist", "classlist", "class", "globalvalue", "param".
  // Other parts register their tags; a tag nobody builds goes to the fallback (custom
  // resources), and without a fallback shows T + "は不正なタグ名です" and builds nothing.
  void SetTagBuilder(const std::string& tag, TagBuilder builder);
  void SetFallbackBuilder(TagBuilder builder) { fallback_ = std::move(builder); }
  // Elements nested deeper than kMaxNesting levels are left out (logged).
  static constexpr int kMaxNesting = 200;
  TResourcePtr buildResource(const TSGML& element, const std::string& baseDir);
  // Reads the first element of the text with the fast reader and builds it.
  TResourcePtr parseResource(const std::string& text, const std::string& baseDir);
  TResourcePtr parseResource(const std::string& text) { return parseResource(text, baseDir_); }

  // ---- Used by the resources ----
  // Where the root's single-name lookup of a "$" name lands: userGlobals' child, created
  // with a null value when missing; nullptr without userGlobals.
  TResource* globalVariable(std::string_view name);
  // Clears the pointers the tree keeps to a resource that is going away.
  void forget(const TResource* r);

 private:
  TVirtualMachine& vm_;
  TBRegExp& regExp_;
  TDiagnostics& diagnostics_;
  TScriptCaller* caller_ = nullptr;
  TAlias alias_;
  std::string baseDir_;
  std::map<std::string, TagBuilder> builders_;
  TagBuilder fallback_;
  int buildDepth_ = 0;
  TResourceList* userGlobals_ = nullptr;
  TResourcePtr root_;  // last: destroyed first, while the rest of the tree state exists
};

}  // namespace kelvo
