#pragma once
// Time as the frame loop sees it: milliseconds as a double, and a way to wait. The real clock
// reads the monotonic system clock; the simulated clock only moves when told to, so headless
// runs and tests are exact and repeatable.
namespace kelvo {

class TClock {
 public:
  virtual ~TClock() = default;
  virtual double NowMs() = 0;
  // Gives up the processor for `ms` milliseconds (0: the rest of the time slice).
  virtual void SleepMs(double ms) = 0;
};

class TRealClock : public TClock {
 public:
  double NowMs() override;
  void SleepMs(double ms) override;
};

class TSimulatedClock : public TClock {
 public:
  double NowMs() override { return now_; }
  void SleepMs(double ms) override { if (ms > 0) now_ += ms; }
  void Advance(double ms) { now_ += ms; }

 private:
  double now_ = 0;
};

}  // namespace kelvo
