#include "resources/ResourceGcRoots.h"

#include "resources/ResourceTree.h"

namespace kelvo {

void TResourceGcRoots::MarkRoots(TCollector& collector) {
  if (TResource* root = tree_.Root()) root->mark(collector);
  if (HasRootProcess() && MarkProcess) MarkProcess(collector);
}

void TResourceGcRoots::SweepRoots(TCollector& collector) {
  if (TResource* root = tree_.Root()) root->sweep(collector);
}

}  // namespace kelvo
