#pragma once
// The frame loop: the one place the game advances from. Each pass runs the root process once
// per 17 ms step that is due (at most 7), lets only the last step of the pass draw, pumps the
// sequencer, yields, presents the frame and carries out a pending page change.
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace kelvo {

// What the loop drives. The system implements it over the root process, the sprite list,
// the sequencer, the screen and the project manager.
class TFrameHost {
 public:
  virtual ~TFrameHost() = default;
  virtual bool HasRootProcess() = 0;
  virtual void RunRootProcess(int32_t budget) = 0;
  virtual void FreeRootProcess() = 0;
  virtual bool DebugStopped() = 0;
  virtual bool Preempted() = 0;
  virtual void ClearPreempted() = 0;
  virtual void SetDoDraw(int32_t value) = 0;  // the global "$_doDraw"
  virtual void ClearSprites() = 0;
  virtual void PumpSequencer() = 0;
  virtual void StopAllEffects() = 0;
  virtual bool IsActiveApplication() = 0;
  virtual bool SkipDraw() = 0;
  virtual void SetSkipDraw() = 0;
  virtual void DrawAll() = 0;
  virtual void CarryOutPageChange() = 0;
  virtual void ShowLoaderWindow() = 0;
  virtual void LogLine(const std::string& text) = 0;
  virtual void Report(const std::string& text, bool showDialog) = 0;
  // Counters shown in the caption: blocks held by the counting allocator, live stack blocks,
  // live array element cells.
  virtual int64_t HeldBlocks() = 0;
  virtual int64_t LiveStacks() = 0;
  virtual int64_t ListCells() = 0;
};

class TFrameLoop {
 public:
  static constexpr int32_t kStepMs = 17;
  static constexpr int32_t kMaxStepsPerPass = 7;
  static constexpr int32_t kStepBudget = 123456;
  static constexpr int32_t kBackgroundSleepMs = 100;

  TFrameLoop(TFrameHost& host, TClock& clock) : host_(host), clock_(clock) {}

  // One pass. Returns "done": true when the pass ran no steps because the loop is idle (run
  // switch off, debugger holding, no root process, or a nested call), false otherwise.
  bool Main();
  // Runs one drawing step at once and presents it (design mode).
  void RunDrawStep();
  // Ends the running page's root process.
  void StopGame();
  // Waits until the next step is due, so that an idle player does not spin.
  void WaitForNextStep();

  bool runSwitch = false;  // "自動実行"
  bool loopFailed = false;
  bool drawStep = false;
  double frameBase = 0;
  int64_t stepsRun = 0;
  int64_t framesPresented = 0;
  std::string caption;            // the debugger window's caption
  std::string preemptionLabel;    // "Preempted" or "not Preempted"
  const std::string& StepTrail() const { return trail_; }

 private:
  void RunDueSteps();
  void Finish();

  TFrameHost& host_;
  TClock& clock_;
  bool inFrameLoop_ = false;
  bool inDrawStep_ = false;
  std::string trail_ = "0000000000";
  int trailPosition_ = 0;  // 0-based here; the trail shows positions 1 to 10
};

}  // namespace kelvo
