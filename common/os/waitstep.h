// The wait step: the unit of every wait of the link. It lets the waiting
// thread handle one pending event of its own (a GUI thread keeps its windows
// alive that way), then sleeps 100 ms.
#pragma once

#include <functional>

enum class PendingEvent { None, Handled, Quit };

// Takes and handles at most one pending event of the calling thread.
using WaitStepHook = std::function<PendingEvent()>;

// Installs the calling thread's hook (empty: none) and returns the previous one.
WaitStepHook SetWaitStepHook(WaitStepHook hook);

// Runs the calling thread's hook once; if it reports the quit event the step
// returns at once, else it sleeps 100 ms.
void WaitStep();
