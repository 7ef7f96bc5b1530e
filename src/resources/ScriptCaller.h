#pragma once
// What the resource tree needs of the script machine: evaluating a source snippet and
// compiling a class. The snippet evaluator and the compile driver provide it; the tree calls
// nothing while none is installed (snippets do not run, classes stay uncompiled).
#include <string>

namespace kelvo {

class TRTTI;

class TScriptCaller {
 public:
  virtual ~TScriptCaller() = default;
  // Compiles `text` as a throw-away class and runs its main code to the end, reporting
  // compile and run-time errors. 0 after a run without error; any other value is a failure.
  virtual int Eval(const std::string& text) = 0;
  // The compile driver: compiles `source` into the class (or loads its class file), setting
  // Compiled or CompileFailed; with `report` errors are reported. Answers whether it failed.
  virtual bool CompileClass(TRTTI& cls, const std::string& source, bool report) = 0;
};

}  // namespace kelvo
