#include "vm/Diagnostics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "platform/Errors.h"
#include "platform/LogFile.h"

namespace kelvo {
namespace {

struct Capture {
  Capture() : diagnostics(reporter) {
    reporter.SetMessageBoxSink([this](const std::string& t) { events.push_back("box:" + t); });
    reporter.SetLogLineSink([this](const std::string& t) { events.push_back("log:" + t); });
    diagnostics.SetKeepAlive([this] { events.push_back("alive"); });
    diagnostics.SetSkipDrawHook([this] { events.push_back("skipdraw"); });
  }
  Reporter reporter;
  TDiagnostics diagnostics;
  std::vector<std::string> events;
};

TEST(Diagnostics, LogLineKeepsAliveAndShowsNoDialog) {
  Capture c;
  c.diagnostics.LogLine("compiling");
  c.diagnostics.Report("broken", true);
  EXPECT_EQ(c.events, (std::vector<std::string>{"alive", "log:compiling", "alive",
                                                "log:broken", "box:broken"}));
}

TEST(Diagnostics, ApplicationErrorHandlerTellsSurfaceErrorsApart) {
  Capture c;
  c.diagnostics.HandleApplicationError(EInvalidOperation("not ready"));
  c.diagnostics.HandleApplicationError(std::runtime_error("list index"));
  EXPECT_EQ(c.events, (std::vector<std::string>{"skipdraw", "alive", "log:not ready", "alive",
                                                "log:list index", "box:list index"}));
}

TEST(Diagnostics, LogFileSinkWritesUtf8Lines) {
  std::string path = ::testing::TempDir() + "kelvo_log_test.txt";
  std::string error;
  {
    Reporter::Sink sink = MakeLogFileSink(path, error);
    ASSERT_TRUE(sink) << error;
    sink("\x95\x5C\x8E\xA6");  // 表示 in Shift-JIS
    sink("next");
  }
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "表示\nnext\n");
  std::remove(path.c_str());
  EXPECT_FALSE(MakeLogFileSink("/nonexistent-dir/x.log", error));
  EXPECT_NE(error.find("/nonexistent-dir/x.log"), std::string::npos);
}

}  // namespace
}  // namespace kelvo
