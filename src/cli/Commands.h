#pragma once
// The modes of the kelvo command line, one function each.

namespace kelvo::cli {

inline constexpr const char* kVersionText = "1.11";

// kelvo tokens FILE: prints each token as its definition name, a tab and its text in UTF-8.
int RunTokens(const char* path);

}  // namespace kelvo::cli
