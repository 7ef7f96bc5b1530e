#pragma once
// The record the grammar reader hands to the OnCreateList handler: the engine sets the
// line's name, the handler answers a fresh node object, which the line keeps as its
// prototype.
#include <functional>
#include <memory>
#include <string>

#include "frontend/ResList.h"

namespace kelvo {

struct TResListGetter {
  std::string Name;
  std::unique_ptr<TResList> Node;
};
using PResListGetter = TResListGetter*;
using TCrLst = std::function<void(PResListGetter p)>;

}  // namespace kelvo
