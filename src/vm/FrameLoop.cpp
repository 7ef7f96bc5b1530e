#include "vm/FrameLoop.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "platform/Errors.h"
#include "platform/ShiftJis.h"

namespace kelvo {

bool TFrameLoop::Main() {
  bool done;
  if (!runSwitch || host_.DebugStopped() || !host_.HasRootProcess() || inFrameLoop_) {
    frameBase = clock_.NowMs();
    done = true;
  } else {
    inFrameLoop_ = true;
    host_.ClearPreempted();
    try {
      RunDueSteps();
    } catch (const EInvalidOperation& e) {
      loopFailed = true;
      host_.SetSkipDraw();
      host_.LogLine(SJ("実行時エラー:") + e.what());
      host_.ShowLoaderWindow();
    } catch (const std::exception& e) {
      loopFailed = true;
      host_.Report(SJ("実行時エラー:") + e.what(), true);
      host_.ShowLoaderWindow();
    }
    inFrameLoop_ = false;
    done = false;
  }
  Finish();
  return done;
}

void TFrameLoop::RunDueSteps() {
  double now = clock_.NowMs();
  int64_t steps = static_cast<int64_t>(std::floor((now - frameBase) / kStepMs));
  if (steps < 0) steps = 0;  // the clock never runs backwards, but a base set ahead may
  trail_[trailPosition_] = static_cast<char>('0' + std::min<int64_t>(steps, 255 - '0'));
  trailPosition_ = (trailPosition_ + 1) % static_cast<int>(trail_.size());
  frameBase += static_cast<double>(steps) * kStepMs;
  int64_t n = std::min<int64_t>(steps, kMaxStepsPerPass);
  drawStep = false;
  for (int64_t i = 0; i < n; ++i) {
    drawStep = (i == n - 1);
    if (drawStep) {
      host_.SetDoDraw(1);
      host_.ClearSprites();
    } else {
      host_.SetDoDraw(0);
    }
    host_.RunRootProcess(kStepBudget);
    ++stepsRun;
  }
  if (!loopFailed) host_.PumpSequencer();
  if (!host_.IsActiveApplication()) clock_.SleepMs(kBackgroundSleepMs);
  clock_.SleepMs(0);
  if (drawStep && !host_.SkipDraw()) {
    ++framesPresented;
    host_.DrawAll();
  }
  caption = "0:" + trail_ + "// GC=" + std::to_string(host_.HeldBlocks()) +
            " stk=" + std::to_string(host_.LiveStacks()) +
            "list =" + std::to_string(host_.ListCells());
}

void TFrameLoop::Finish() {
  host_.CarryOutPageChange();
  preemptionLabel = host_.Preempted() ? "Preempted" : "not Preempted";
}

void TFrameLoop::RunDrawStep() {
  host_.ClearPreempted();
  if (!host_.HasRootProcess() || inDrawStep_) return;
  inDrawStep_ = true;
  drawStep = true;
  try {
    host_.ClearSprites();
    host_.RunRootProcess(kStepBudget);
    host_.DrawAll();
  } catch (...) {
    inDrawStep_ = false;
    throw;
  }
  inDrawStep_ = false;
}

void TFrameLoop::StopGame() {
  host_.ClearSprites();
  host_.FreeRootProcess();
  host_.StopAllEffects();
}

void TFrameLoop::WaitForNextStep() {
  double wait = frameBase + kStepMs - clock_.NowMs();
  if (wait > 0) clock_.SleepMs(wait);
}

}  // namespace kelvo
