#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace kelvo {

double TRealClock::NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void TRealClock::SleepMs(double ms) {
  if (ms <= 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

}  // namespace kelvo
