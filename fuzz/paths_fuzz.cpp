// Path arithmetic and the host-path mapping on arbitrary bytes. The first byte chooses where
// the rest splits into a path and a base directory (or a name and a wildcard pattern). Besides
// memory safety it checks properties every input must keep.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvo;
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t cut = rest.empty() ? 0 : data[0] % (rest.size() + 1);
  const std::string a = rest.substr(0, cut), b = rest.substr(cut);

  Check(LowerCaseSjis(a).size() == a.size());
  Check(SamePath(a, a) && IsWithinDir(a, a) && SamePath(a, b) == SamePath(b, a));
  Check(StartsWithNoCase(a, a) && StartsWithNoCase(a, ""));
  Check(StripTrailingBackslash(a).size() + 1 >= a.size());
  if (!a.empty()) Check(ParentDir(a).size() < a.size());

  // The pieces joined again give the path without its trailing separators.
  std::string joined;
  const std::vector<std::string> pieces = SplitPath(a);
  for (size_t i = 0; i < pieces.size(); ++i) joined += (i ? "\\" : "") + pieces[i];
  Check(a.compare(0, joined.size(), joined) == 0);

  if (IsAbsolutePath(a)) Check(ResolvePath(a, b) == a);
  (void)RelativePath(a, b);
  (void)CommonDir(a, b);
  (void)ExtractFileDir(a);
  (void)ExtractFileExt(a);
  Check(ExtractFileName(a).size() <= a.size() && ExtractBaseName(a).size() <= a.size());

  (void)MatchesWildcard(a, b);
  (void)ToPosixPath(a);
  (void)FromPosixPath(a);
  return 0;
}
