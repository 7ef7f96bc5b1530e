#include "vm/FrameLoop.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/Errors.h"
#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

// Records what the loop asks of the system, as a list of short event names.
class RecordingHost : public TFrameHost {
 public:
  bool HasRootProcess() override { return hasRoot; }
  void RunRootProcess(int32_t budget) override {
    events.push_back("run" + std::to_string(doDraw));
    EXPECT_EQ(budget, 123456);
    if (throwInRun) throwInRun();
  }
  void FreeRootProcess() override { events.push_back("free"); hasRoot = false; }
  bool DebugStopped() override { return debugStopped; }
  bool Preempted() override { return preempted; }
  void ClearPreempted() override { preempted = false; }
  void SetDoDraw(int32_t value) override { doDraw = value; }
  void ClearSprites() override { events.push_back("clear"); }
  void PumpSequencer() override { events.push_back("pump"); }
  void StopAllEffects() override { events.push_back("stopfx"); }
  bool IsActiveApplication() override { return active; }
  bool SkipDraw() override { return skipDraw; }
  void SetSkipDraw() override { skipDraw = true; }
  void DrawAll() override { events.push_back("draw"); }
  void CarryOutPageChange() override { events.push_back("page"); }
  void ShowLoaderWindow() override { events.push_back("loader"); }
  void LogLine(const std::string& text) override { logs.push_back(text); }
  void Report(const std::string& text, bool dialog) override {
    reports.push_back(text);
    EXPECT_TRUE(dialog);
  }
  int64_t HeldBlocks() override { return 12; }
  int64_t LiveStacks() override { return 3; }
  int64_t ListCells() override { return 40; }

  bool hasRoot = true, debugStopped = false, preempted = false, active = true, skipDraw = false;
  int32_t doDraw = -1;
  std::function<void()> throwInRun;
  std::vector<std::string> events, logs, reports;
};

class FrameLoopTest : public ::testing::Test {
 protected:
  FrameLoopTest() : loop(host, clock) { loop.runSwitch = true; }
  // A pass `ms` milliseconds after the current frame base.
  bool PassAfter(double ms) {
    clock.Advance(loop.frameBase + ms - clock.NowMs());
    host.events.clear();
    return loop.Main();
  }
  RecordingHost host;
  TSimulatedClock clock;
  TFrameLoop loop;
};

TEST_F(FrameLoopTest, StepsDueAreRunAndOnlyTheLastDraws) {
  struct Case { double ms; std::vector<std::string> events; double baseAdvance; };
  const Case cases[] = {
      {10, {"pump", "page"}, 0},
      {40, {"run0", "clear", "run1", "pump", "draw", "page"}, 34},
      {500, {"run0", "run0", "run0", "run0", "run0", "run0", "clear", "run1", "pump", "draw",
             "page"}, 493},
  };
  for (const auto& c : cases) {
    double base = loop.frameBase;
    EXPECT_FALSE(PassAfter(c.ms));
    EXPECT_EQ(host.events, c.events) << c.ms;
    EXPECT_DOUBLE_EQ(loop.frameBase - base, c.baseAdvance) << c.ms;
  }
  EXPECT_EQ(loop.stepsRun, 9);
  EXPECT_EQ(loop.framesPresented, 2);
  EXPECT_EQ(loop.StepTrail(), "02M0000000");  // 29 steps: code 48 + 29 is 'M'
  EXPECT_EQ(loop.caption, "0:02M0000000// GC=12 stk=3list =40");
}

TEST_F(FrameLoopTest, TrailWrapsAfterTenPasses) {
  for (int i = 0; i < 10; ++i) PassAfter(17);
  PassAfter(12 * 17);
  EXPECT_EQ(loop.StepTrail(), "<111111111");  // 12 steps: code 48 + 12 = 60
}

TEST_F(FrameLoopTest, IdleLoopOnlyMovesTheBaseSoMissedStepsAreNotRun) {
  loop.runSwitch = false;
  EXPECT_TRUE(PassAfter(1000));
  EXPECT_EQ(host.events, std::vector<std::string>{"page"});
  loop.runSwitch = true;
  EXPECT_FALSE(PassAfter(20));
  EXPECT_EQ(host.events, (std::vector<std::string>{"clear", "run1", "pump", "draw", "page"}));
  host.debugStopped = true;
  EXPECT_TRUE(PassAfter(100));
  host.debugStopped = false;
  host.hasRoot = false;
  EXPECT_TRUE(PassAfter(100));
  EXPECT_EQ(loop.stepsRun, 1);
}

TEST_F(FrameLoopTest, BackgroundSleepAndPreemptionLabel) {
  host.active = false;
  double before = clock.NowMs();
  PassAfter(17);
  EXPECT_DOUBLE_EQ(clock.NowMs() - before, 17 + 100);
  host.throwInRun = [&] { host.preempted = true; };
  PassAfter(17);
  EXPECT_EQ(loop.preemptionLabel, "Preempted");
  host.throwInRun = nullptr;
  PassAfter(17);
  EXPECT_EQ(loop.preemptionLabel, "not Preempted");
}

TEST_F(FrameLoopTest, EscapedErrorsFailTheLoop) {
  host.throwInRun = [] { throw EInvalidOperation("surface lost"); };
  EXPECT_FALSE(PassAfter(17));
  EXPECT_TRUE(loop.loopFailed);
  EXPECT_TRUE(host.skipDraw);
  EXPECT_EQ(host.logs, std::vector<std::string>{SJ("実行時エラー:") + "surface lost"});
  EXPECT_EQ(host.events, (std::vector<std::string>{"clear", "run1", "loader", "page"}));

  host.skipDraw = false;
  host.throwInRun = [] { throw std::runtime_error("boom"); };
  PassAfter(17);
  EXPECT_EQ(host.reports, std::vector<std::string>{SJ("実行時エラー:") + "boom"});
  EXPECT_FALSE(host.skipDraw);

  // Once failed, the loop no longer pumps the sequencer.
  host.throwInRun = nullptr;
  PassAfter(17);
  EXPECT_EQ(host.events, (std::vector<std::string>{"clear", "run1", "draw", "page"}));
}

TEST_F(FrameLoopTest, DrawStepAndStopGame) {
  loop.RunDrawStep();
  EXPECT_EQ(host.events, (std::vector<std::string>{"clear", "run-1", "draw"}));
  EXPECT_TRUE(loop.drawStep);
  host.events.clear();
  loop.StopGame();
  EXPECT_EQ(host.events, (std::vector<std::string>{"clear", "free", "stopfx"}));
  host.events.clear();
  loop.RunDrawStep();  // no root process any more
  EXPECT_TRUE(host.events.empty());
}

TEST_F(FrameLoopTest, WaitingForTheNextStepSleepsInsteadOfSpinning) {
  PassAfter(17);
  clock.Advance(5);
  loop.WaitForNextStep();
  EXPECT_DOUBLE_EQ(clock.NowMs(), loop.frameBase + 17);
  host.events.clear();
  loop.Main();
  EXPECT_EQ(host.events, (std::vector<std::string>{"clear", "run1", "pump", "draw", "page"}));
}

}  // namespace
}  // namespace kelvo
