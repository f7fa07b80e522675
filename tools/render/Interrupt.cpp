#include "Interrupt.h"

#include <csignal>

namespace tolmar::render
{
namespace
{
volatile std::sig_atomic_t requested = 0;

// Called by the operating system on whatever thread receives the signal.
extern "C" void onInterrupt(int) { requested = 1; }
} // namespace

void catchInterrupts()
{
    struct sigaction action{};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool interrupted() { return requested != 0; }
} // namespace tolmar::render
