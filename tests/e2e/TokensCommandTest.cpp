// Runs the built kelvo on fixtures: `kelvo tokens FILE`.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct RunResult {
  int exitCode;
  std::string out;
};

// Runs `kelvo tokens <path>` and answers its exit code and standard output; standard error
// goes to `errPath`.
RunResult RunTokens(const std::string& path, const std::string& errPath) {
  const std::string command =
      std::string("'") + KELVO_EXE + "' tokens '" + path + "' 2>'" + errPath + "'";
  RunResult result{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ReadAll(const std::string& path) {
  std::string text;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
  }
  return text;
}

TEST(TokensCommand, PrintsNameTabAndUtf8TextPerToken) {
  const std::string err = ::testing::TempDir() + "tokens_ok.err";
  RunResult r = RunTokens(KELVO_FIXTURES "/tokens/sample.kelvo", err);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "SYMBOL\tx\n=\t=\nSYMBOL\ta\nNUM\t1\n;\t;\n"
            "COMM\t/* two\\nlines */\n"
            "SYMBOL\ts\n=\t=\nSTRING\t\"表\"\n;\t;\n");
  EXPECT_EQ(ReadAll(err), "");
}

TEST(TokensCommand, UnreadableFileIsAnError) {
  for (const std::string& path : {std::string(KELVO_FIXTURES "/tokens/missing.kelvo"),
                                 std::string(KELVO_FIXTURES "/tokens")}) {
    const std::string err = ::testing::TempDir() + "tokens_bad.err";
    RunResult r = RunTokens(path, err);
    EXPECT_EQ(r.exitCode, 1) << path;
    EXPECT_EQ(r.out, "") << path;
    EXPECT_NE(ReadAll(err).find(path), std::string::npos) << ReadAll(err);
  }
}

}  // namespace
