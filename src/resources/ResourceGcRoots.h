#pragma once
// The collector's roots: the resource tree, walked in child order, and the root process the
// frame loop runs (plugged in by whoever owns it).
#include <functional>

#include "values/Collector.h"

namespace kelvo {

class TResourceTree;

class TResourceGcRoots : public TGcRoots {
 public:
  explicit TResourceGcRoots(TResourceTree& tree) : tree_(tree) {}

  bool HasRootProcess() const override { return HasProcess && HasProcess(); }
  // The tree's mark(), then the root process.
  void MarkRoots(TCollector& collector) override;
  // The tree's sweep().
  void SweepRoots(TCollector& collector) override;

  // Whether a root process exists, and how to mark its stack (MarkProcess).
  std::function<bool()> HasProcess;
  std::function<void(TCollector&)> MarkProcess;

 private:
  TResourceTree& tree_;
};

}  // namespace kelvo
